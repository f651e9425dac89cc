// The model textures after a device reset: the three built-in textures and
// every base's and model's texture images, rebuilt from their sources.
#include "d3d9/model_internal.h"
#include "graphics/graphics.h"
#include "graphics/graphics_internal.h"
#include "image/image_decode.h"

#include <cstring>

namespace {

// TGA, run-length true colour (type 10), 8 x 8, 32 bits with 8 alpha bits,
// bottom-left origin: each row one run of 8 opaque white pixels; then the
// TGA 2.0 footer (no extension or developer area).
constexpr uint8_t kWhiteTga[84] = {
    0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 8, 0, 32, 8,
    0x87, 0xFF, 0xFF, 0xFF, 0xFF, 0x87, 0xFF, 0xFF, 0xFF, 0xFF, 0x87, 0xFF, 0xFF, 0xFF, 0xFF,
    0x87, 0xFF, 0xFF, 0xFF, 0xFF, 0x87, 0xFF, 0xFF, 0xFF, 0xFF, 0x87, 0xFF, 0xFF, 0xFF, 0xFF,
    0x87, 0xFF, 0xFF, 0xFF, 0xFF, 0x87, 0xFF, 0xFF, 0xFF, 0xFF,
    0, 0, 0, 0, 0, 0, 0, 0, 'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O', 'N', '-', 'X', 'F', 'I', 'L', 'E', '.', 0,
};

// TGA, run-length true colour, 256 x 8, 24 bits, bottom-left origin: each
// row four runs of 64 pixels of grey 0x00, 0x55, 0xAA and 0xFF; then the
// same footer.
#define MODEL_RAMP_ROW 0xBF, 0x00, 0x00, 0x00, 0xBF, 0x55, 0x55, 0x55, 0xBF, 0xAA, 0xAA, 0xAA, 0xBF, 0xFF, 0xFF, 0xFF
constexpr uint8_t kSteppedRampTga[172] = {
    0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 8, 0, 24, 0,
    MODEL_RAMP_ROW, MODEL_RAMP_ROW, MODEL_RAMP_ROW, MODEL_RAMP_ROW,
    MODEL_RAMP_ROW, MODEL_RAMP_ROW, MODEL_RAMP_ROW, MODEL_RAMP_ROW,
    0, 0, 0, 0, 0, 0, 0, 0, 'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O', 'N', '-', 'X', 'F', 'I', 'L', 'E', '.', 0,
};
#undef MODEL_RAMP_ROW

constexpr int32_t kRampWidth = 256;
constexpr int32_t kRampHeight = 8;

// The fringe fix's setting as SetTransparentFringeFix takes it.
int32_t FringeFixSetting() { return g_drawState.transparentFringeFixOff ? 0 : 1; }

// Decodes the sources and puts the pictures into the image; a failure
// leaves the image as it is.
void RebuildTextureImage(const void* colorSource, int32_t colorSize, const void* alphaSource, int32_t alphaSize,
                         int32_t normalMap, float bumpHeight, int32_t image) {
    PixelImage color{}, alpha{};
    if (LoadModelTexturePictures(&color, &alpha, colorSource, colorSize, alphaSource, alphaSize, normalMap,
                                 bumpHeight, 0) != 0)
        return;
    TransferPictureToImage(&color, alphaSource != nullptr ? &alpha : nullptr, image, 1, 0, 1);
    ReleasePixelImage(&color);
    ReleasePixelImage(&alpha);
}

void RebuildBaseTextures(const ModelBaseRecord* base) {
    for (int32_t i = 0; i < base->textureCount && base->textures != nullptr; ++i) {
        const ModelTextureEntry& t = base->textures[i];
        RebuildTextureImage(t.colorSource, t.colorSize, t.alphaSource, t.alphaSize, t.normalMap, t.bumpHeight,
                            t.image);
    }
}

void RebuildModelTextures(const ModelRecord* model) {
    for (int32_t i = 0; i < model->base->textureCount && model->overrides != nullptr; ++i) {
        const ModelTextureOverride& o = model->overrides[i];
        if (o.inUse)
            RebuildTextureImage(o.colorSource, o.colorSize, o.alphaSource, o.alphaSize, o.normalMap, o.bumpHeight,
                                o.image);
    }
}

}  // namespace

const uint8_t* ModelWhiteTextureFile(int32_t* size) {
    *size = static_cast<int32_t>(sizeof kWhiteTga);
    return kWhiteTga;
}

const uint8_t* ModelSteppedRampFile(int32_t* size) {
    *size = static_cast<int32_t>(sizeof kSteppedRampTga);
    return kSteppedRampTga;
}

int32_t BuildGreyRampTexture(int32_t image) {
    PixelImage ramp{};
    if (CreateXRGB8PixelImage(kRampWidth, kRampHeight, &ramp) != 0) return -1;
    for (int32_t y = 0; y < kRampHeight; ++y) {
        auto* row = static_cast<uint8_t*>(ramp.pixels) + static_cast<ptrdiff_t>(y) * ramp.pitch;
        for (int32_t x = 0; x < kRampWidth; ++x) {
            const uint8_t grey = static_cast<uint8_t>(x);
            const uint8_t pixel[4] = {grey, grey, grey, 0};
            std::memcpy(row + x * 4, pixel, 4);
        }
    }
    const int32_t fix = FringeFixSetting();
    SetTransparentFringeFix(0);
    CopyPictureToImage(&ramp, image);
    SetTransparentFringeFix(fix);
    ReleasePixelImage(&ramp);
    return image;
}

int32_t RestoreModelTextures() {
    ModelModuleState& s = Models();
    const int32_t fix = FringeFixSetting();
    SetTransparentFringeFix(0);
    ReloadImageFromMemory(kWhiteTga, sizeof kWhiteTga, s.builtInTextures[0], 0, 0, 1, 0);
    ReloadImageFromMemory(kSteppedRampTga, sizeof kSteppedRampTga, s.builtInTextures[1], 0, 0, 1, 0);
    BuildGreyRampTexture(s.builtInTextures[2]);
    SetTransparentFringeFix(fix);
    for (int32_t slot = 0; slot < s.baseHighWater; ++slot)
        if (const ModelBaseRecord* base = FindModelBase(kModelBaseIdType | slot)) RebuildBaseTextures(base);
    for (int32_t slot = 0; slot < s.modelHighWater; ++slot) {
        const ModelRecord* model = s.models[slot];
        if (model != nullptr && model != MODEL_SLOT_RESERVED) RebuildModelTextures(model);
    }
    return 0;
}
