// Brings the device's fixed-function state in line with the draw state and the
// texture about to be drawn, through the cached setters: a draw that needs no
// change costs only comparisons.
#include "d3d9/d3d9_backend.h"
#include "graphics/graphics_internal.h"
#include "graphics/light_handles.h"
#include "softrender/draw_state.h"

#include <cstring>

namespace {

constexpr uint32_t kTransparency = 0x1;
constexpr uint32_t kImageBit = 0x2;
constexpr uint32_t kGouraud = 0x8;
constexpr uint32_t kColorModulation = 0x20;
constexpr uint32_t kAlphaModulation = 0x40;
constexpr uint32_t kFog = 0x80;
constexpr uint32_t kKeepBlending = 0x100;
constexpr uint32_t kLighting = 0x200;
constexpr uint32_t kSpecular = 0x400;
constexpr uint32_t kZ3D = 0x800;
constexpr uint32_t kAddressModes = 0x1000;
constexpr uint32_t kKeepShaders = 0x2000;

bool HasDevice() { return Device().device != nullptr; }

// A render state the cache keeps but no setter owns: flush, record, send.
void SetPlainState(int32_t& shadow, int32_t value, D3DRENDERSTATETYPE state) {
    if (shadow == value || !HasDevice()) return;
    FlushVertexBatch();
    shadow = value;
    Device().device->SetRenderState(state, static_cast<DWORD>(value));
}

void SwitchShadersOff() {
    DeviceStateCache& c = Cache();
    if (c.vertexShader != nullptr && HasDevice()) {
        Device().device->SetVertexShader(nullptr);
        c.vertexShader = nullptr;
        c.vertexDeclaration = nullptr;
        c.fvf = 0;
    }
    if (c.pixelShader != nullptr && HasDevice()) {
        Device().device->SetPixelShader(nullptr);
        c.pixelShader = nullptr;
    }
}

void ApplyLighting(uint32_t flags) {
    DeviceStateCache& c = Cache();
    DrawState& d = g_drawState;
    if (!(flags & kLighting)) {
        if (c.lighting) SetDeviceLighting(0);
        return;
    }
    if (d.lightsChanged) {
        SendLightsToDevice();
    } else if (!c.lighting) {
        SetDeviceLighting(1);
    }
    if (d.materialChanged) {
        d.materialChanged = 0;
        D3DMATERIAL9 material;
        static_assert(sizeof(material) == sizeof(d.material));
        std::memcpy(&material, d.material, sizeof(material));
        SetDeviceMaterial(&material);
    }
    const int32_t diffuse = d.diffuseMaterialSource == 0 ? 1 : 0;
    const int32_t specular = d.specularMaterialSource == 0 ? 1 : 0;
    if (c.diffuseSource != diffuse) SetDeviceDiffuseSource(diffuse);
    if (c.specularSource != specular) SetDeviceSpecularSource(specular);
}

void ApplyZ(uint32_t flags) {
    DeviceStateCache& c = Cache();
    const int32_t* z = (flags & kZ3D) ? g_drawState.zSet3D : g_drawState.zSet2D;
    if (z[0] == 0) {
        SetPlainState(c.zEnable, 0, D3DRS_ZENABLE);
        return;
    }
    if (c.zEnable != z[0]) SetDeviceZEnable(z[0]);
    if (c.zWriteEnable != z[1]) SetDeviceZWriteEnable(z[1]);
    if (c.zFunc != z[2]) SetDeviceZFunc(z[2]);
    if (c.depthBias != static_cast<uint32_t>(z[3])) SetDeviceDepthBias(static_cast<uint32_t>(z[3]));
}

void SetModulation(int32_t& shadow, int32_t value) {
    if (shadow == value || !HasDevice()) return;
    FlushVertexBatch();
    shadow = value;
    Cache().setupDirty = 1;
}

void ApplyBlending(const uint8_t* formatFlags, IDirect3DTexture9* texture, uint32_t flags) {
    DeviceStateCache& c = Cache();
    const DrawState& d = g_drawState;
    int32_t t = 0, cut = 0;
    if (texture != nullptr && formatFlags != nullptr && (flags & kTransparency)) {
        const int32_t alphaChannel = formatFlags[kPictureAlphaChannel];
        const int32_t cutOut = formatFlags[kPictureCutOut];
        if (alphaChannel || cutOut) {
            if (d.blendMode != 0 && d.blendMode != 8) {
                t = 1;
            } else if (!(flags & kImageBit) && d.filterMode == 1) {
                t = 1;
            } else {
                t = alphaChannel;
                cut = cutOut;
            }
        }
    }
    const bool white = d.brightnessRed == 255 && d.brightnessGreen == 255 && d.brightnessBlue == 255;
    SetModulation(c.colorModulation, (flags & kColorModulation) || !white ? 1 : 0);
    SetModulation(c.alphaModulation, (flags & kAlphaModulation) || d.blendMode != 0 ? 1 : 0);
    if (texture != c.drawTexture) SetDeviceTexture(texture);
    if (d.blendMode != c.blendMode || t != c.textureAlpha || cut != c.alphaTest) SetDeviceBlendMode(d.blendMode, t, cut);
    if (c.setupDirty || c.textureDirty) SetupDeviceBlendStages(1, nullptr, 0);
}

void ApplyAddressModes(uint32_t flags) {
    DeviceStateCache& c = Cache();
    if (flags & kAddressModes) {
        for (int32_t s = 0; s < kMaxStages; ++s) {
            if (c.addressU[s] == g_drawState.addressU[s] || !HasDevice()) continue;
            FlushVertexBatch();
            c.addressU[s] = g_drawState.addressU[s];
            Device().device->SetSamplerState(s, D3DSAMP_ADDRESSU, c.addressU[s]);
        }
        for (int32_t s = 0; s < kMaxStages; ++s) {
            if (c.addressV[s] == g_drawState.addressV[s] || !HasDevice()) continue;
            FlushVertexBatch();
            c.addressV[s] = g_drawState.addressV[s];
            Device().device->SetSamplerState(s, D3DSAMP_ADDRESSV, c.addressV[s]);
        }
        return;
    }
    for (int32_t s = 0; s < 4; ++s) {
        if (c.addressU[s] != D3DTADDRESS_CLAMP || c.addressV[s] != D3DTADDRESS_CLAMP)
            SetDeviceAddressMode(s, D3DTADDRESS_CLAMP);
    }
}

}  // namespace

void ApplyDrawState(const uint8_t* formatFlags, IDirect3DTexture9* texture, uint32_t flags) {
    DeviceStateCache& c = Cache();
    const DrawState& d = g_drawState;
    // Every application takes a waiting texture-transform request; nothing
    // in the library asks for one yet.
    if (c.texTransformRequest != 0) c.texTransformRequest = 0;
    if (!(flags & kKeepShaders)) SwitchShadersOff();
    ApplyLighting(flags);
    SetPlainState(c.specularEnable, (flags & kSpecular) ? 1 : 0, D3DRS_SPECULARENABLE);
    ApplyZ(flags);
    SetPlainState(c.fillMode, d.fillMode, D3DRS_FILLMODE);
    const int32_t fog = (flags & kFog) ? d.fogEnable : 0;
    if (fog != c.fogEnable) SetDeviceFogEnable(fog);
    if (!(flags & kKeepBlending)) ApplyBlending(formatFlags, texture, flags);
    SetPlainState(c.shadeMode, (flags & kGouraud) ? D3DSHADE_GOURAUD : D3DSHADE_FLAT, D3DRS_SHADEMODE);
    if (d.filterMode != c.filterMode) SetDeviceTextureFilter(d.filterMode);
    if (d.maxAnisotropy != c.maxAnisotropy) SetDeviceMaxAnisotropy(d.maxAnisotropy);
    if (d.cullMode != c.cullMode) SetDeviceCullMode(d.cullMode);
    ApplyAddressModes(flags);
}
