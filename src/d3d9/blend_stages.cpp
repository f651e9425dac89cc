// The blend-stage set-up: the recording setters of the blend mode and blend
// image, and the set-up that turns them into render states, textures and stage
// states right before a draw adds vertices, sending only what changed.
#include "d3d9/blend_tables.h"
#include "d3d9/d3d9_backend.h"
#include "d3d9/shader_state.h"
#include "graphics/graphics_internal.h"

#include <cstring>

namespace {

struct WorkingSet {
    BlendStageSet set;
    IDirect3DTexture9* textures[kMaxStages];
    bool custom;             // a caller's set or the override: walk exactly its count
    int32_t texturesOnly;
};

IDirect3DTexture9* TextureOf(uintptr_t word, int32_t handles) {
    if (!handles) return reinterpret_cast<IDirect3DTexture9*>(word);
    return ImageFirstTexture(static_cast<int32_t>(static_cast<intptr_t>(word)));
}

void TakeCallerSet(WorkingSet& w, const BlendStageSet& from, int32_t handles, int32_t texturesOnly) {
    w.set = from;
    for (int32_t s = 0; s < kMaxStages; ++s) w.textures[s] = TextureOf(from.stages[s].texture, handles);
    w.custom = true;
    w.texturesOnly = texturesOnly;
}

// Moves the batch to another sub-kind (emptied first when it holds vertices).
void SetSubKind(int32_t subKind) {
    VertexBatch& b = Device().batch;
    if (b.subKind != subKind && b.count != 0) FlushVertexBatch();
    b.subKind = subKind;
    b.write = b.rows[subKind + 3 * b.kind];
}

void CopyStages(WorkingSet& w, const DeviceStageRecord* preset) {
    std::memcpy(w.set.stages, preset, sizeof w.set.stages);
    w.set.stageCount = static_cast<int32_t>(preset[0].texture);
}

void Untextured(WorkingSet& w, int32_t mode, int32_t flag, bool blending) {
    const DeviceStateCache& c = Cache();
    Cache().drawSuppressed = 0;
    SetSubKind(0);
    w.set.stageCount = 1;
    w.set.alphaTestEnable = 0;
    w.set.alphaRef = c.current.alphaRef;
    w.set.alphaFunc = c.current.alphaFunc;
    w.set.alphaBlendEnable = blending;
    w.set.textureFactor = flag == 1 ? 0xFFFFFFFFu : c.current.textureFactor;
    BuildUntexturedStages(mode, flag, w.set.stages);
}

void SingleTexture(WorkingSet& w, int32_t preset, bool blending) {
    DeviceStateCache& c = Cache();
    c.drawSuppressed = 0;
    SetSubKind(1);
    CopyStages(w, StagePreset(preset));
    w.textures[0] = c.drawTexture;
    w.set.alphaRef = c.current.alphaRef;
    w.set.alphaFunc = c.current.alphaFunc;
    w.set.alphaTestEnable = 0;
    if (c.alphaTest) {
        w.set.alphaTestEnable = 1;
        w.set.alphaRef = 16;
        w.set.alphaFunc = D3DCMP_GREATER;
    } else {
        if (c.zEnable == 1) {
            w.set.alphaTestEnable = 1;
            w.set.alphaRef = 0;
            w.set.alphaFunc = D3DCMP_GREATER;
        }
        if (c.textureAlpha && !blending) {
            w.set.srcBlend = D3DBLEND_SRCALPHA;
            w.set.destBlend = D3DBLEND_INVSRCALPHA;
        }
    }
    w.set.alphaBlendEnable = (c.textureAlpha || blending) ? 1 : 0;
}

// The blend image's threshold: a hard cut at the border parameter, or a soft
// ramp whose steepness follows the border range.
void BlendThreshold(WorkingSet& w) {
    const DeviceStateCache& c = Cache();
    const int32_t p = c.blendBorderParameter < 0 ? 0 : c.blendBorderParameter, r = c.blendBorderRange;
    w.set.alphaRef = c.current.alphaRef;
    w.set.alphaFunc = c.current.alphaFunc;
    if (r <= 1) {
        w.set.alphaTestEnable = 1;
        w.set.alphaRef = (p == 0 && (c.textureAlpha || c.alphaTest)) ? 1 : p;
        w.set.alphaFunc = D3DCMP_GREATEREQUAL;
        w.set.alphaBlendEnable = 0;
        w.set.textureFactor = 0x00FFFFFF;
        return;
    }
    w.set.alphaTestEnable = 0;
    w.set.alphaBlendEnable = 1;
    int32_t k = 512, m = 256, scale = 255;
    uint16_t stage1Op = D3DTOP_MODULATE;
    if (r <= 64) {
        k = 1280, m = 1024, scale = 64, stage1Op = D3DTOP_MODULATE4X;
    } else if (r <= 128) {
        k = 768, m = 512, scale = 128, stage1Op = D3DTOP_MODULATE2X;
    }
    w.set.stages[1].alphaOp = stage1Op;
    const int32_t v = k - (p * k / 255);
    uint32_t alpha;
    if (v < m) {
        alpha = static_cast<uint32_t>(255 - v * 255 / m);
        w.set.stages[0].alphaOp = D3DTOP_SUBTRACT;
    } else {
        alpha = static_cast<uint32_t>((v - m) * scale / 256);
        w.set.stages[0].alphaOp = D3DTOP_ADD;
    }
    w.set.textureFactor = (alpha << 24) | 0xFFFFFF;
}

void TwoTextures(WorkingSet& w, int32_t preset, bool blending) {
    DeviceStateCache& c = Cache();
    CopyStages(w, StagePreset(preset));
    if (!blending) {
        w.set.srcBlend = D3DBLEND_SRCALPHA;
        w.set.destBlend = D3DBLEND_INVSRCALPHA;
    }
    c.drawSuppressed = c.blendBorderParameter == 255 ? 1 : 0;
    SetSubKind(2);
    w.textures[0] = c.blendTexture;
    w.textures[c.textureAlpha ? 2 : 1] = c.drawTexture;
    BlendThreshold(w);
}

// The full set-up from the cached blend values.
void BuildFromCache(WorkingSet& w) {
    DeviceStateCache& c = Cache();
    const int32_t mode = c.blendMode >= 0 && c.blendMode < kBlendModeCount ? c.blendMode : 0;
    const BlendFactorRow& row = kBlendFactorTable[mode];
    w.set.destBlend = row.destBlend;
    w.set.srcBlend = row.srcBlend;
    w.set.blendOp = row.blendOp;
    w.set.textureFactor = 0xFFFFFFFF;
    c.setupDirty = 0;
    c.textureDirty = 0;
    const bool blending = mode != 0 && mode != 6;
    if (mode == 3 && Device().blendOpCap) {
        w.set.destBlend = D3DBLEND_ONE;
        w.set.srcBlend = D3DBLEND_SRCALPHA;
        w.set.blendOp = D3DBLENDOP_REVSUBTRACT;
    }
    const bool twoTextures = c.drawTexture != nullptr && c.blendTexture != nullptr;
    int32_t a = 0;
    if (c.textureAlpha) {
        a = 1;
    } else if (c.alphaTest) {
        a = 2;
    } else if (c.zEnable == 1) {
        a = twoTextures ? 0 : 2;
    }
    const int32_t x = c.colorModulation ? 1 : 0, y = c.alphaModulation ? 1 : 0;
    if (c.drawTexture == nullptr) {
        Untextured(w, mode, row.flag, blending);
    } else if (!twoTextures) {
        SingleTexture(w, 24 * row.flag + 6 * x + 3 * y + a, blending);
    } else {
        TwoTextures(w, 12 + 6 * x + 3 * y + a, blending);
    }
}

// Binds a changed stage-0 texture alone; the stage it goes to depends on the path.
int RebindTexture() {
    DeviceStateCache& c = Cache();
    int32_t stage = 0;
    if (c.blendTexture != nullptr) stage = c.textureAlpha ? 2 : 1;
    Device().device->SetTexture(stage, c.drawTexture);
    c.current.stages[stage].texture = reinterpret_cast<uintptr_t>(c.drawTexture);
    c.textureDirty = 0;
    return 0;
}

// A changed stage count: the samplers now in use take the filter and anisotropy.
void UpdateStageCount(int32_t count) {
    DeviceStateCache& c = Cache();
    if (count == c.current.stageCount) return;
    c.current.stageCount = count;
    int32_t& force = ForceResend();
    const int32_t saved = force;
    force = 1;
    SetDeviceTextureFilter(c.filterMode);
    SetDeviceMaxAnisotropy(c.maxAnisotropy);
    force = saved;
}

void SendState(int32_t& cached, int32_t value, D3DRENDERSTATETYPE state, bool always) {
    if (!always && cached == value) return;
    cached = value;
    Device().device->SetRenderState(state, static_cast<DWORD>(value));
}

// A blend word: -1 keeps the device's value; under the force flag a value the
// cache ever held is sent again, ZERO (1) included: a device made anew holds
// ONE as its source factor, and only the cache would still say ZERO.
void SendBlendWord(int32_t& cached, int32_t value, D3DRENDERSTATETYPE state) {
    if (value == -1) {
        if (ForceResend() && cached > 0) Device().device->SetRenderState(state, static_cast<DWORD>(cached));
        return;
    }
    SendState(cached, value, state, ForceResend() != 0);
}

// The texture factor as the pixel shaders read it: its bytes from the lowest
// up (blue, green, red, alpha), each from 0 to 1.
void SendTextureFactorRegister(uint32_t factor) {
    float r[4];
    for (int i = 0; i < 4; ++i) r[i] = static_cast<float>((factor >> (8 * i)) & 0xFF) / 255.0f;
    SetDevicePixelShaderConstants(kTextureFactorRegister, 1, r);
}

void SendRenderStates(const BlendStageSet& set) {
    BlendStageSet& c = Cache().current;
    const bool force = ForceResend() != 0;
    SendState(c.alphaFunc, set.alphaFunc, D3DRS_ALPHAFUNC, force);
    SendState(c.alphaRef, set.alphaRef, D3DRS_ALPHAREF, force);
    SendState(c.alphaTestEnable, set.alphaTestEnable, D3DRS_ALPHATESTENABLE, force);
    SendState(c.alphaBlendEnable, set.alphaBlendEnable, D3DRS_ALPHABLENDENABLE, force);
    if (force || c.textureFactor != set.textureFactor) {
        c.textureFactor = set.textureFactor;
        Device().device->SetRenderState(D3DRS_TEXTUREFACTOR, set.textureFactor);
        SendTextureFactorRegister(set.textureFactor);
    }
    SendBlendWord(c.srcBlend, set.srcBlend, D3DRS_SRCBLEND);
    SendBlendWord(c.destBlend, set.destBlend, D3DRS_DESTBLEND);
    SendBlendWord(c.blendOp, set.blendOp, D3DRS_BLENDOP);
}

void SendStageValue(uint16_t& cached, uint16_t value, DWORD stage, D3DTEXTURESTAGESTATETYPE type) {
    if (value == kKeep16 || (!ForceResend() && cached == value)) return;
    cached = value;
    Device().device->SetTextureStageState(stage, type, static_cast<DWORD>(static_cast<int32_t>(static_cast<int16_t>(value))));
}

void SendStage(const WorkingSet& w, int32_t s) {
    IDirect3DDevice9* device = Device().device;
    DeviceStageRecord& c = Cache().current.stages[s];
    const DeviceStageRecord& n = w.set.stages[s];
    const bool force = ForceResend() != 0;
    const auto texture = reinterpret_cast<uintptr_t>(w.textures[s]);
    if (force || c.texture != texture) {
        device->SetTexture(s, w.textures[s]);
        c.texture = texture;
    }
    if (n.texCoordIndex != -1 && (force || c.texCoordIndex != n.texCoordIndex)) {
        device->SetTextureStageState(s, D3DTSS_TEXCOORDINDEX, n.texCoordIndex);
        c.texCoordIndex = n.texCoordIndex;
    }
    if (w.texturesOnly) return;
    if (Device().tempRegister && n.resultTemp != -1 && (force || c.resultTemp != n.resultTemp)) {
        device->SetTextureStageState(s, D3DTSS_RESULTARG, n.resultTemp ? D3DTA_TEMP : D3DTA_CURRENT);
        c.resultTemp = n.resultTemp;
    }
    SendStageValue(c.alphaOp, n.alphaOp, s, D3DTSS_ALPHAOP);
    SendStageValue(c.alphaArg1, n.alphaArg1, s, D3DTSS_ALPHAARG1);
    SendStageValue(c.alphaArg2, n.alphaArg2, s, D3DTSS_ALPHAARG2);
    SendStageValue(c.colorOp, n.colorOp, s, D3DTSS_COLOROP);
    SendStageValue(c.colorArg1, n.colorArg1, s, D3DTSS_COLORARG1);
    SendStageValue(c.colorArg2, n.colorArg2, s, D3DTSS_COLORARG2);
}

void Send(const WorkingSet& w) {
    int32_t walk = w.set.stageCount;
    if (!w.custom) {
        UpdateStageCount(w.set.stageCount);
        if (walk < kMaxStages) ++walk;
    }
    if (walk > kMaxStages) walk = kMaxStages;
    SendRenderStates(w.set);
    for (int32_t s = 0; s < walk; ++s) {
        if (s >= 2 && w.set.stages[s - 1].alphaOp == D3DTOP_DISABLE && !w.texturesOnly) break;
        SendStage(w, s);
    }
}

}  // namespace

int SetupDeviceBlendStages(int32_t handles, const BlendStageSet* set, int32_t texturesOnly) {
    if (Device().device == nullptr) return -1;
    DeviceStateCache& c = Cache();
    WorkingSet w{};
    if (set != nullptr) {
        TakeCallerSet(w, *set, handles, texturesOnly);
    } else if (c.overrideOn) {
        TakeCallerSet(w, c.override, handles, c.overrideTexturesOnly);
    } else {
        if (!ForceResend() && !c.setupDirty) {
            if (!c.textureDirty) return -1;
            return RebindTexture();
        }
        BuildFromCache(w);
    }
    Send(w);
    return 0;
}

int SetDeviceBlendMode(int32_t mode, int32_t textureAlpha, int32_t alphaTest) {
    if (Device().device == nullptr) return -1;
    DeviceStateCache& c = Cache();
    if (!ForceResend() && c.blendMode == mode && c.textureAlpha == textureAlpha && c.alphaTest == alphaTest) return 0;
    FlushVertexBatch();
    c.blendMode = mode;
    c.textureAlpha = textureAlpha;
    c.alphaTest = alphaTest;
    c.setupDirty = 1;
    return 0;
}

int SetDeviceBlendImage(IDirect3DTexture9* texture, int32_t borderParameter, int32_t borderRange) {
    if (Device().device == nullptr) return -1;
    DeviceStateCache& c = Cache();
    if (!ForceResend()) {
        if (texture == nullptr && c.blendTexture == nullptr) return 0;
        if (texture == c.blendTexture && borderParameter == c.blendBorderParameter &&
            borderRange == c.blendBorderRange) {
            return 0;
        }
    }
    FlushVertexBatch();
    c.blendTexture = texture;
    if (borderParameter != -1) c.blendBorderParameter = borderParameter;
    if (borderRange != -1) c.blendBorderRange = borderRange;
    c.setupDirty = 1;
    return 0;
}

int SetDeviceBlendOverride(const BlendStageSet* set, int32_t texturesOnly) {
    FlushVertexBatch();
    DeviceStateCache& c = Cache();
    if (set == nullptr) {
        c.overrideOn = 0;
        return 0;
    }
    c.override = *set;
    c.overrideTexturesOnly = texturesOnly;
    c.overrideOn = 1;
    c.setupDirty = 1;
    c.textureDirty = 1;
    SetupDeviceBlendStages(1, nullptr, 0);
    return 0;
}

int ApplyDeviceBlendTextures(const BlendStageSet* set, int32_t texturesOnly, int32_t handles) {
    FlushVertexBatch();
    SetupDeviceBlendStages(handles, set, texturesOnly);
    Cache().setupDirty = 1;
    Cache().textureDirty = 1;
    return 0;
}
