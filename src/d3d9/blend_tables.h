// The blend factor table (one row per blend mode) and the texture-stage
// presets of the blend-stage set-up.
#pragma once

#include "d3d9/device_block.h"

constexpr int32_t kBlendModeCount = 13;
constexpr int32_t kStagePresetCount = 72;

// Destination and source factor (-1 keeps the device's), how the source colour
// is formed (0 unchanged, 1 towards white as its alpha falls, 2 inverted) and
// the blend operation.
struct BlendFactorRow {
    int32_t destBlend;
    int32_t srcBlend;
    int32_t flag;
    int32_t blendOp;
};
using BlendFactorTable = BlendFactorRow[kBlendModeCount];
extern const BlendFactorTable kBlendFactorTable;

// Preset number = 12 x (2 x flag + two textures) + 6 x colour modulation +
// 3 x alpha modulation + alpha index; its first texture word holds its stage
// count. The two-texture groups of flags 1 and 2 are never read and hold only
// end entries.
const DeviceStageRecord* StagePreset(int32_t number);
// The stages of an untextured draw in a mode with its table flag.
void BuildUntexturedStages(int32_t mode, int32_t flag, DeviceStageRecord* set);
