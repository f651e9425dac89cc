// Light handles: the lights of 3D draws, each enabled or not, given device
// indices when the draw state's lights changed. Directional lights take the
// lowest indices, then spot lights, then point lights; indices that fall out
// of use are switched off on the device.
#include "graphics/light_handles.h"

#include "core/memory.h"
#include "d3d9/d3d9_backend.h"
#include "softrender/draw_state.h"

namespace {

LightTable g_lights(kHandleTypeLight);
int32_t g_deviceLightsInUse = 0;  // device indices given at the last send

}  // namespace

LightTable& LightHandles() { return g_lights; }

int32_t AddLight(const D3DLIGHT9& light, int32_t enabled) {
    auto* record = static_cast<LightRecord*>(AllocMemoryZeroed(sizeof(LightRecord), __FILE__, __LINE__));
    if (record == nullptr) return -1;
    record->light = light;
    record->enabled = enabled;
    record->deviceIndex = -1;
    const int32_t handle = g_lights.Add(record);
    if (handle == -1) FreeMemory(record);
    g_drawState.lightsChanged = 1;
    return handle;
}

int DeleteAllLights() {
    for (int slot = 0; slot < g_lights.HighWater(); ++slot) FreeMemory(g_lights.At(slot));
    g_lights.Reset();
    g_deviceLightsInUse = 0;
    return 0;
}

int SendLightsToDevice() {
    DrawState& d = g_drawState;
    SetDeviceLighting(d.lightingOff == 0 ? 1 : 0);
    int32_t index = 0;
    for (D3DLIGHTTYPE type : {D3DLIGHT_DIRECTIONAL, D3DLIGHT_SPOT, D3DLIGHT_POINT}) {
        for (int slot = 0; slot < g_lights.HighWater(); ++slot) {
            LightRecord* r = g_lights.At(slot);
            if (r == nullptr || !r->enabled || r->light.Type != type) continue;
            if (r->deviceIndex != index || r->changed) SetDeviceLightState(index, 1, &r->light);
            r->deviceIndex = index++;
            r->changed = 0;
        }
    }
    for (int32_t i = index; i < g_deviceLightsInUse; ++i) SetDeviceLightState(i, 0, nullptr);
    // Lights no longer enabled lose their index, so that enabling one again sends it.
    for (int slot = 0; slot < g_lights.HighWater(); ++slot) {
        LightRecord* r = g_lights.At(slot);
        if (r != nullptr && !r->enabled) r->deviceIndex = -1;
    }
    g_deviceLightsInUse = index;
    d.lightsChanged = 0;
    return 0;
}
