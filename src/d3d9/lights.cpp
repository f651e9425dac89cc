// Lights, material, ambient colour and the camera on the device, with the
// shader constant registers built from them: light positions and directions in
// view space, light colours times the material, the transposed matrices.
#include "core/utility.h"
#include "d3d9/d3d9_backend.h"
#include "d3d9/shader_state.h"
#include "softrender/draw_state.h"

#include <cstring>

namespace {

DeviceLightState& Lights() { return Cache().lights; }

using Register = float[4];

void SetRegister(Register& r, float a, float b, float c, float d) {
    r[0] = a, r[1] = b, r[2] = c, r[3] = d;
}

// The shadows always take the registers; the device only while shaders are in use.
void SendVertexF(int start, const Register* data, int count) { SetDeviceVertexShaderConstants(start, count, data[0]); }
void SendPixelF(int start, const Register* data, int count) { SetDevicePixelShaderConstants(start, count, data[0]); }

// The four registers of a matrix transposed (the first holds its first column).
void SendTransposed(int start, const D3DMATRIX& m) {
    Register t[4];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) t[r][c] = m.m[c][r];
    SendVertexF(start, t, 4);
}

Matrix4 AsMatrix(const D3DMATRIX& m) {
    Matrix4 out;
    std::memcpy(out.m, m.m, sizeof(out.m));
    return out;
}

// Position (x, y, z, 1) and direction (x, y, z, 0) of a light in view space,
// each by a camera of its own.
void ViewSpace(const D3DLIGHT9& light, const Matrix4& placing, const Matrix4& turning, Register& position,
               Register& direction) {
    Vector3 p{light.Position.x, light.Position.y, light.Position.z};
    TransformPoint(&p, &p, &placing);
    Vector3 d{light.Direction.x, light.Direction.y, light.Direction.z};
    TransformDirection(&d, &d, &turning);
    SetRegister(position, p.x, p.y, p.z, 1.0f);
    SetRegister(direction, d.x, d.y, d.z, 0.0f);
}

void Product(Register& out, const D3DCOLORVALUE& a, const D3DCOLORVALUE& b) {
    SetRegister(out, a.r * b.r, a.g * b.g, a.b * b.b, a.a * b.a);
}

}  // namespace

D3DMATRIX AsDeviceMatrix(const Matrix4& m) {
    D3DMATRIX out;
    std::memcpy(out.m, m.m, sizeof(out.m));
    return out;
}

Vector3* TransformPoint(Vector3* out, const Vector3* point, const Matrix4* m) {
    return TransformVector(out, point, m);
}

Vector3* TransformDirection(Vector3* out, const Vector3* direction, const Matrix4* m) {
    const Vector3 d = *direction;
    out->x = d.x * m->m[0][0] + d.y * m->m[1][0] + d.z * m->m[2][0];
    out->y = d.x * m->m[0][1] + d.y * m->m[1][1] + d.z * m->m[2][1];
    out->z = d.x * m->m[0][2] + d.y * m->m[1][2] + d.z * m->m[2][2];
    return out;
}

void UpdateLightColorConstants() {
    DeviceLightState& s = Lights();
    const D3DCOLORVALUE& ambient = s.material.Ambient;
    for (int i = 0; i <= s.highest && i < kShaderLights; ++i) {
        if (s.enabled[i] == 0) continue;
        Register term[1];
        Product(term[0], s.light[i].Ambient, ambient);
        SendVertexF(18 + 7 * i, term, 1);
        SendPixelF(11 + 3 * i, term, 1);
    }
    const D3DCOLORVALUE& e = s.material.Emissive;
    Register global[1];
    SetRegister(global[0], s.ambient[0] * ambient.r + e.r, s.ambient[1] * ambient.g + e.g,
                s.ambient[2] * ambient.b + e.b, s.ambient[3] * ambient.a + e.a);
    SendVertexF(1, global, 1);
    SendPixelF(1, global, 1);
}

int SetDeviceViewMatrix(const D3DMATRIX* m) {
    DeviceBlock& d = Device();
    if (d.device == nullptr || m == nullptr) return 0;
    d.device->SetTransform(D3DTS_VIEW, m);
    const DeviceLightState& s = Lights();
    SendTransposed(6, *m);
    // Every light with registers moves, enabled or not: its position by the
    // draw state's camera, its direction by the matrix given.
    const Matrix4 view = AsMatrix(*m);
    for (int i = 0; i < kShaderLights; ++i) {
        Register r[2];
        ViewSpace(s.light[i], g_drawState.viewMatrix, view, r[0], r[1]);
        SendVertexF(14 + 7 * i, r, 2);
    }
    return 0;
}

int SetDeviceProjectionMatrix(const D3DMATRIX* m) {
    DeviceBlock& d = Device();
    if (d.device == nullptr || m == nullptr) return 0;
    d.device->SetTransform(D3DTS_PROJECTION, m);
    Lights().projection = *m;
    Lights().projectionSent = 1;
    SendTransposed(2, *m);
    return 0;
}

int SetDeviceLight(int32_t index, const D3DLIGHT9* light) {
    DeviceBlock& d = Device();
    if (d.device == nullptr) return 0;
    if (light == nullptr || index < 0) return -1;
    FlushVertexBatch();
    DeviceLightState& s = Lights();
    if (index < kCachedLights) s.light[index] = *light;
    if (index < kShaderLights) {
        Register r[7];
        // The camera the draw state holds, also before any was sent.
        ViewSpace(*light, g_drawState.viewMatrix, g_drawState.viewMatrix, r[0], r[1]);
        std::memcpy(r[2], &light->Diffuse, sizeof(Register));
        std::memcpy(r[3], &light->Specular, sizeof(Register));
        std::memcpy(r[4], &light->Ambient, sizeof(Register));
        SetRegister(r[5], light->Range * light->Range, light->Falloff, light->Attenuation0, light->Attenuation1);
        float cosTheta = 0, cosPhi = 0;
        SinCosFloat(light->Theta * 0.5f, nullptr, &cosTheta);
        SinCosFloat(light->Phi * 0.5f, nullptr, &cosPhi);
        // Equal cone angles divide by zero; the shader takes the infinity.
        SetRegister(r[6], light->Attenuation2, cosPhi, 1.0f / (cosTheta - cosPhi), 0.0f);
        SendVertexF(7 * (index + 2), r, 7);
        SendPixelF(9 + 3 * index, &r[2], 3);
        UpdateLightColorConstants();
        const BOOL kinds[2] = {light->Type == D3DLIGHT_POINT || light->Type == D3DLIGHT_SPOT,
                               light->Type == D3DLIGHT_SPOT};
        SetDeviceVertexShaderBooleans(5 + 3 * index, 2, kinds, true);
    }
    UpdateShaderVariantIndex();
    return FAILED(d.device->SetLight(static_cast<DWORD>(index), light)) ? -1 : 0;
}

int SetDeviceLightEnable(int32_t index, int32_t flag) {
    DeviceBlock& d = Device();
    if (d.device == nullptr) return 0;
    if (index < 0) return -1;
    FlushVertexBatch();
    DeviceLightState& s = Lights();
    if (index < kCachedLights) {
        s.enabled[index] = flag;
        if (flag == 1 && index > s.highest) {
            s.highest = index;
        } else if (flag != 1 && index == s.highest) {
            while (s.highest > 0 && s.enabled[--s.highest] == 0) {}
        }
        UpdateLightColorConstants();
    }
    if (Cache().shadersInUse && index < kShaderLights) {
        const BOOL on = flag;
        SetDeviceVertexShaderBooleans(4 + 3 * index, 1, &on, false);
    }
    UpdateShaderVariantIndex();
    return FAILED(d.device->LightEnable(static_cast<DWORD>(index), flag)) ? -1 : 0;
}

int SetDeviceLightState(int32_t index, int32_t flag, const D3DLIGHT9* light) {
    if (flag == 1 && light != nullptr) SetDeviceLight(index, light);
    SetDeviceLightEnable(index, flag);
    return 0;
}

int SetDeviceMaterial(const D3DMATERIAL9* material) {
    DeviceBlock& d = Device();
    if (d.device == nullptr || material == nullptr) return 0;
    DeviceLightState& s = Lights();
    if (std::memcmp(&s.material, material, sizeof(D3DMATERIAL9)) == 0 && ForceResend() == 0) return 0;
    FlushVertexBatch();
    s.material = *material;
    Register r[3];
    std::memcpy(r[0], &material->Diffuse, sizeof(Register));
    std::memcpy(r[1], &material->Specular, sizeof(Register));
    SetRegister(r[2], material->Power, 0.0f, 0.0f, 0.0f);
    SendVertexF(11, r, 3);
    SendPixelF(2, r, 3);
    UpdateLightColorConstants();
    return FAILED(d.device->SetMaterial(material)) ? -1 : 0;
}

int SetDeviceAmbientColor(uint32_t color) {
    DeviceBlock& d = Device();
    if (d.device == nullptr) return 0;
    FlushVertexBatch();
    SetRegister(Lights().ambient, static_cast<float>((color >> 16) & 0xFF) / 255.0f,
                static_cast<float>((color >> 8) & 0xFF) / 255.0f, static_cast<float>(color & 0xFF) / 255.0f,
                static_cast<float>(color >> 24) / 255.0f);
    UpdateLightColorConstants();
    return FAILED(d.device->SetRenderState(D3DRS_AMBIENT, color)) ? -1 : 0;
}

void ReapplyLightsAndMaterial() {
    const D3DMATERIAL9 material = Lights().material;
    SetDeviceMaterial(&material);
}

void ReapplyAmbientColor() {
    // The ambient colour as it was set: each float times 255, cut toward zero.
    const DeviceLightState& s = Lights();
    const auto channel = [](float v, int shift) { return static_cast<uint32_t>(static_cast<int32_t>(v * 255.0f)) << shift; };
    SetDeviceAmbientColor(channel(s.ambient[3], 24) | channel(s.ambient[0], 16) | channel(s.ambient[1], 8) |
                          channel(s.ambient[2], 0));
}

void ReapplyLights() {
    // Only lights ever set reach the new device.
    DeviceLightState& s = Lights();
    for (int32_t i = 0; i < kCachedLights; ++i) {
        if (s.light[i].Type == 0) continue;
        const D3DLIGHT9 light = s.light[i];
        SetDeviceLight(i, &light);
        SetDeviceLightEnable(i, s.enabled[i]);
    }
}

void ClearLightsAndCamera() { Lights() = DeviceLightState{}; }
