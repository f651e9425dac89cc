// The fixed-function pipeline as generated GLSL: a FixedFunctionKey keeps
// only what changes the program (vertex layout, shading, the texture-stage
// operations and arguments, specular, alpha test), pure functions write the
// vertex and fragment source of a key, and a cache links each program once.
#pragma once

#include "platform/d3d9/d3d9_state.h"

#include <cstdint>
#include <string>
#include <unordered_map>

namespace d3d9 {

constexpr uint8_t kNoTexCoord = 0xFF;

struct StageKey {
    uint8_t colorOp = 0;     // 0: this stage and the ones after it are off
    uint8_t colorArg[3] = {};  // ARG0, ARG1, ARG2 (source and modifier bits)
    uint8_t alphaOp = 0;
    uint8_t alphaArg[3] = {};
    uint8_t resultTemp = 0;  // writes TEMP instead of CURRENT
    uint8_t texCoord = kNoTexCoord;  // the vertex coordinate set it samples with
    uint8_t texture = 0;     // a texture is bound
};

struct FixedFunctionKey {
    uint8_t diffuse = 0;   // the vertices carry a diffuse colour
    uint8_t specular = 0;  // ... a specular colour
    uint8_t texCoordCount = 0;
    uint8_t texCoordSize[8] = {};
    uint8_t flat = 0;            // D3DSHADE_FLAT
    uint8_t specularEnable = 0;  // D3DRS_SPECULARENABLE
    uint8_t alphaFunc = 0;       // 0: no alpha test, else a D3DCMPFUNC other than ALWAYS
    StageKey stages[kStages];

    bool operator==(const FixedFunctionKey& other) const;
};

// The key of what the state and the FVF draw; textureBound[s] says whether
// stage s has a 2D texture.
FixedFunctionKey MakeFixedFunctionKey(const DeviceState& state, DWORD fvf, const bool textureBound[kStages]);

std::string VertexProgramSource(const FixedFunctionKey& key);
std::string FragmentProgramSource(const FixedFunctionKey& key);

struct FixedFunctionKeyHash {
    size_t operator()(const FixedFunctionKey& key) const;
};

// Linked programs by key. Find links on first use; 0 when linking failed
// (remembered, so a broken key is not linked again).
class ProgramCache {
public:
    uint32_t Find(const FixedFunctionKey& key);
    size_t Size() const { return programs_.size(); }
    // Deletes every program (the GL context must be current).
    void Clear();
    ~ProgramCache() { Clear(); }

private:
    std::unordered_map<FixedFunctionKey, uint32_t, FixedFunctionKeyHash> programs_;
};

}  // namespace d3d9
