// The shader constant registers: the library set the back end's setters
// write, the user set beside it, which set is on the device, and the variant
// index chosen by the lighting and fog state.
#include "d3d9/shader_state.h"

#include "d3d9/d3d9_backend.h"

#include <cstring>

namespace {

IDirect3DDevice9* Dev() { return Device().device; }

// Constants reach the device only while shaders are used.
bool Sending() { return Cache().shadersInUse != 0 && Dev() != nullptr; }

bool InBank(int32_t first, int32_t count, int32_t size) {
    return first >= 0 && count >= 0 && count <= size - first;
}

// The library set goes back onto the device before a library register is sent.
void LibrarySetOnDevice() {
    if (ShaderConstants().activeSet != 0) SelectShaderConstantSet(0);
}

UINT Count(int32_t n) { return static_cast<UINT>(n); }

void UploadUserSet(IDirect3DDevice9* d, const ShaderConstantCache& s) {
    const DirtyRange& vf = s.dirtyVertexF;
    if (vf.count) d->SetVertexShaderConstantF(Count(vf.first), s.userVertexF[vf.first], Count(vf.count));
    const DirtyRange& vi = s.dirtyVertexI;
    if (vi.count) d->SetVertexShaderConstantI(Count(vi.first), s.userVertexI[vi.first], Count(vi.count));
    const DirtyRange& vb = s.dirtyVertexB;
    if (vb.count) d->SetVertexShaderConstantB(Count(vb.first), &s.userVertexB[vb.first], Count(vb.count));
    const DirtyRange& pf = s.dirtyPixelF;
    if (pf.count) d->SetPixelShaderConstantF(Count(pf.first), s.userPixelF[pf.first], Count(pf.count));
    const DirtyRange& pi = s.dirtyPixelI;
    if (pi.count) d->SetPixelShaderConstantI(Count(pi.first), s.userPixelI[pi.first], Count(pi.count));
    const DirtyRange& pb = s.dirtyPixelB;
    if (pb.count) d->SetPixelShaderConstantB(Count(pb.first), &s.userPixelB[pb.first], Count(pb.count));
}

// Lights 0 to 2 as the variant index sees them: the light type of an enabled
// light (point 1, spot 2, directional 3), else 0.
int32_t VariantLightType(int32_t index) {
    const DeviceLightState& l = Cache().lights;
    return l.enabled[index] == 1 ? static_cast<int32_t>(l.light[index].Type) : 0;
}

// The pixel side tells directional lights (2) from point and spot lights (1).
int32_t PixelLightKind(int32_t type) { return type == D3DLIGHT_DIRECTIONAL ? 2 : type != 0 ? 1 : 0; }

}  // namespace

ShaderConstantCache& ShaderConstants() {
    static ShaderConstantCache cache{};
    return cache;
}

int SelectShaderConstantSet(int32_t set) {
    ShaderConstantCache& s = ShaderConstants();
    if (!Cache().shadersInUse || set == s.activeSet) return 0;
    if (Dev() != nullptr) {
        if (set == 1) {
            UploadUserSet(Dev(), s);
        } else {
            Dev()->SetVertexShaderConstantF(0, s.vertexF[0], kLibraryVertexRegisters);
            Dev()->SetPixelShaderConstantF(0, s.pixelF[0], kLibraryPixelRegisters);
        }
    }
    s.activeSet = set;
    return 0;
}

namespace {

// A library register bank: the shadow always takes the values, the device
// only while shaders are used.
template <int Size, typename Send>
int SetLibraryRegisters(float (&bank)[Size][4], int32_t first, int32_t count, const float* values, Send send) {
    if (values == nullptr || !InBank(first, count, Size)) return -1;
    std::memcpy(bank[first], values, sizeof(float) * 4 * static_cast<size_t>(count));
    if (Sending()) {
        LibrarySetOnDevice();
        send(Dev(), Count(first), values, Count(count));
    }
    return 0;
}

}  // namespace

int SetDeviceVertexShaderConstants(int32_t first, int32_t count, const float* values) {
    return SetLibraryRegisters(ShaderConstants().vertexF, first, count, values,
                               [](IDirect3DDevice9* d, UINT f, const float* v, UINT n) {
                                   d->SetVertexShaderConstantF(f, v, n);
                               });
}

int SetDevicePixelShaderConstants(int32_t first, int32_t count, const float* values) {
    return SetLibraryRegisters(ShaderConstants().pixelF, first, count, values,
                               [](IDirect3DDevice9* d, UINT f, const float* v, UINT n) {
                                   d->SetPixelShaderConstantF(f, v, n);
                               });
}

int SetDeviceVertexShaderBooleans(int32_t first, int32_t count, const BOOL* values, bool always) {
    if (values == nullptr || !InBank(first, count, kBooleanRegisters)) return -1;
    std::memcpy(&ShaderConstants().vertexB[first], values, sizeof(BOOL) * static_cast<size_t>(count));
    if (Dev() != nullptr && (always || Cache().shadersInUse)) {
        Dev()->SetVertexShaderConstantB(Count(first), values, Count(count));
    }
    return 0;
}

void UpdateFogConstant() {
    const DeviceStateCache& c = Cache();
    const float range = c.fogEnd - c.fogStart;
    // Start equal to end gives infinities, which the shaders take as they are.
    const float fog[4] = {c.fogEnd / range, -1.0f / range, c.fogDensity, 2.7182817f};
    SetDeviceVertexShaderConstants(kFogRegister, 1, fog);
}

void UpdateShaderVariantIndex() {
    const DeviceStateCache& c = Cache();
    if (!c.shadersInUse) return;
    const int32_t lighting = c.lighting ? 1 : 0;
    int32_t t[3] = {0, 0, 0};
    int32_t anyLight = 0;
    if (lighting) {
        for (int32_t i = 0; i < 3; ++i) {
            t[i] = VariantLightType(i);
            if (c.lights.enabled[i] == 1) anyLight = 1;
        }
    }
    const int32_t fog = c.fogEnable ? c.fogMode : 0;
    DeviceBlock& d = Device();
    d.vertexVariant = ((((((lighting * 6 + anyLight) * 8 + fog) * 4 + t[0]) * 4 + t[1]) * 4 + t[2]) * 8);
    d.pixelVariant = ((((lighting * 4 + anyLight) * 6 + PixelLightKind(t[0])) * 3 + PixelLightKind(t[1])) * 3 +
                      PixelLightKind(t[2])) * 8;
}
