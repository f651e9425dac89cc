// The light handles of the draw state (type 0x48000000, 4096 slots). The
// library has no public call that makes a light yet; AddLight is its own entry
// for the calls that will, and for tests.
#pragma once

#include "core/handle_table.h"
#include "platform/d3d9/d3d9.h"

#include <cstdint>

struct LightRecord {
    int32_t handleCheck;
    int32_t handle;
    int32_t enabled;
    int32_t changed;       // the light's values changed since its last send
    int32_t deviceIndex;   // the device light it was sent as, -1 none
    D3DLIGHT9 light;
};

constexpr int kMaxLightHandles = 4096;
using LightTable = HandleTable<LightRecord, kMaxLightHandles>;
LightTable& LightHandles();

// A new light; its handle, or -1. Marks the draw state's lights changed.
int32_t AddLight(const D3DLIGHT9& light, int32_t enabled);
// Frees every light (at graphics end).
int DeleteAllLights();
// Lighting on unless switched off; the enabled lights to device indices 0, 1,
// ... (directional, spot, point), sent when their index or values changed;
// the indices above switched off; the lights-changed flag cleared. 0.
int SendLightsToDevice();
