// The blend factor table and the texture-stage presets that reproduce the
// library's blend modes on the fixed-function stages.
#include "d3d9/blend_tables.h"

namespace {

constexpr uint16_t U(uint32_t v) { return static_cast<uint16_t>(v); }

DeviceStageRecord Stage(int32_t texCoordIndex, uint16_t colorOp, uint16_t colorArg1, uint16_t colorArg2,
                        uint16_t alphaOp, uint16_t alphaArg1, uint16_t alphaArg2) {
    return {0, texCoordIndex, 0, alphaArg1, alphaArg2, alphaOp, colorArg1, colorArg2, colorOp};
}

// The entry after the last used stage: the cascade ends there.
DeviceStageRecord EndStage() {
    return {0, -1, -1, kKeep16, kKeep16, U(D3DTOP_DISABLE), kKeep16, kKeep16, U(D3DTOP_DISABLE)};
}

// The image's own colour: the texture, times the vertex colour with X.
void ImageColor(DeviceStageRecord& s, int32_t x, uint16_t textureArg) {
    s.colorOp = U(x ? D3DTOP_MODULATE : D3DTOP_SELECTARG1);
    s.colorArg1 = textureArg;
    s.colorArg2 = x ? U(D3DTA_DIFFUSE) : kKeep16;
}

void Alpha(DeviceStageRecord& s, uint32_t op, uint32_t arg1, uint32_t arg2) {
    s.alphaOp = U(op);
    s.alphaArg1 = U(arg1);
    s.alphaArg2 = U(arg2);
}

// Stage 0 of the single-texture sets.
DeviceStageRecord SingleStage(int32_t x, int32_t y, int32_t a, uint16_t textureArg) {
    DeviceStageRecord s = Stage(0, 0, 0, 0, 0, 0, 0);
    ImageColor(s, x, textureArg);
    if (a == 0) {
        Alpha(s, D3DTOP_SELECTARG2, kKeep16, D3DTA_DIFFUSE);
    } else if (y) {
        Alpha(s, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    } else {
        Alpha(s, D3DTOP_SELECTARG1, D3DTA_TEXTURE, kKeep16);
    }
    return s;
}

int32_t BuildSingle(DeviceStageRecord* set, int32_t flag, int32_t x, int32_t y, int32_t a) {
    const uint16_t textureArg = U(flag == 2 ? D3DTA_TEXTURE | D3DTA_COMPLEMENT : D3DTA_TEXTURE);
    set[0] = SingleStage(x, y, a, textureArg);
    if (flag != 1) return 1;
    set[1] = Stage(1, U(D3DTOP_BLENDCURRENTALPHA), U(D3DTA_CURRENT), U(D3DTA_TFACTOR), U(D3DTOP_SELECTARG1),
                   U(D3DTA_CURRENT), kKeep16);
    return 2;
}

// A stage that passes the colour on and modulates the alpha.
DeviceStageRecord PassStage(int32_t texCoordIndex, uint32_t alphaArg1) {
    DeviceStageRecord s = Stage(texCoordIndex, U(D3DTOP_SELECTARG1), U(D3DTA_CURRENT), kKeep16, 0, 0, 0);
    Alpha(s, D3DTOP_MODULATE, alphaArg1, D3DTA_CURRENT);
    return s;
}

DeviceStageRecord ImageStage(int32_t x, uint32_t alphaOp, uint32_t alphaArg1, uint32_t alphaArg2) {
    DeviceStageRecord s = Stage(1, 0, 0, 0, 0, 0, 0);
    ImageColor(s, x, U(D3DTA_TEXTURE));
    Alpha(s, alphaOp, alphaArg1, alphaArg2);
    return s;
}

int32_t BuildTwoTexture(DeviceStageRecord* set, int32_t x, int32_t y, int32_t a) {
    set[0] = Stage(0, U(D3DTOP_SELECTARG2), kKeep16, U(D3DTA_DIFFUSE), U(D3DTOP_ADD), U(D3DTA_TEXTURE),
                   U(D3DTA_TFACTOR));
    if (a == 0) {
        set[1] = y ? ImageStage(x, D3DTOP_MODULATE, D3DTA_DIFFUSE, D3DTA_CURRENT)
                   : ImageStage(x, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_DIFFUSE);
        return 2;
    }
    if (a == 1) {
        set[1] = PassStage(1, D3DTA_SPECULAR);
        set[2] = ImageStage(x, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT);
        if (!y) return 3;
        set[3] = PassStage(0, D3DTA_DIFFUSE);
        return 4;
    }
    set[1] = ImageStage(x, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT);
    if (!y) return 2;
    set[2] = PassStage(1, D3DTA_DIFFUSE);
    return 3;
}

struct StagePresetTable {
    DeviceStageRecord sets[kStagePresetCount][kMaxStages];
    StagePresetTable() {
        for (int32_t n = 0; n < kStagePresetCount; ++n) {
            const int32_t group = n / 12, x = (n / 6) % 2, y = (n / 3) % 2, a = n % 3;
            const int32_t flag = group / 2, twoTextures = group % 2;
            DeviceStageRecord* set = sets[n];
            for (int32_t s = 0; s < kMaxStages; ++s) set[s] = EndStage();
            // The two-texture path always reads the flag-0 group.
            if (twoTextures && flag != 0) continue;
            const int32_t count = twoTextures ? BuildTwoTexture(set, x, y, a) : BuildSingle(set, flag, x, y, a);
            set[0].texture = static_cast<uintptr_t>(count);
        }
    }
};

}  // namespace

const BlendFactorTable kBlendFactorTable = {
    {-1, -1, 0, D3DBLENDOP_ADD},
    {D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA, 0, D3DBLENDOP_ADD},
    {D3DBLEND_ONE, D3DBLEND_SRCALPHA, 0, D3DBLENDOP_ADD},
    {D3DBLEND_ZERO, D3DBLEND_INVDESTCOLOR, 0, D3DBLENDOP_ADD},
    {D3DBLEND_SRCCOLOR, D3DBLEND_ZERO, 0, D3DBLENDOP_ADD},
    {D3DBLEND_ONE, D3DBLEND_SRCALPHA, 0, D3DBLENDOP_ADD},
    {-1, -1, 0, D3DBLENDOP_ADD},
    {-1, -1, 0, D3DBLENDOP_ADD},
    {D3DBLEND_ONE, D3DBLEND_ZERO, 0, D3DBLENDOP_ADD},
    {D3DBLEND_ZERO, D3DBLEND_INVDESTCOLOR, 0, D3DBLENDOP_ADD},
    {D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA, 2, D3DBLENDOP_ADD},
    {D3DBLEND_SRCCOLOR, D3DBLEND_ZERO, 1, D3DBLENDOP_ADD},
    {D3DBLEND_ONE, D3DBLEND_SRCALPHA, 0, D3DBLENDOP_REVSUBTRACT},
};

const DeviceStageRecord* StagePreset(int32_t number) {
    static const StagePresetTable table;
    if (number < 0 || number >= kStagePresetCount) return nullptr;
    return table.sets[number];
}

void BuildUntexturedStages(int32_t mode, int32_t flag, DeviceStageRecord* set) {
    for (int32_t s = 0; s < kMaxStages; ++s) set[s] = EndStage();
    if (mode == 3) {
        set[0] = Stage(0, U(D3DTOP_SELECTARG1), U(D3DTA_DIFFUSE), kKeep16, U(D3DTOP_SELECTARG2), kKeep16,
                       U(D3DTA_DIFFUSE));
        set[1] = Stage(0, U(D3DTOP_DISABLE), kKeep16, kKeep16, U(D3DTOP_DISABLE), kKeep16, kKeep16);
        return;
    }
    const uint16_t diffuse = U(D3DTA_DIFFUSE);
    set[1] = Stage(0, U(D3DTOP_DISABLE), diffuse, diffuse, U(D3DTOP_DISABLE), diffuse, diffuse);
    if (flag == 1) {
        set[0] = Stage(0, U(D3DTOP_BLENDDIFFUSEALPHA), diffuse, U(D3DTA_TFACTOR), U(D3DTOP_SELECTARG2), diffuse,
                       diffuse);
    } else if (flag == 2) {
        set[0] = Stage(0, U(D3DTOP_SELECTARG1), U(D3DTA_DIFFUSE | D3DTA_COMPLEMENT), diffuse, U(D3DTOP_SELECTARG2),
                       diffuse, diffuse);
    } else {
        set[0] = Stage(0, U(D3DTOP_SELECTARG2), diffuse, diffuse, U(D3DTOP_SELECTARG2), diffuse, diffuse);
    }
}
