// The device's state: one record the Set calls write and the draw calls
// read, with dirty bits that say what must be worked out again before the
// next draw. A state block would be a copy of this record.
#pragma once

#include "platform/d3d9/d3d9.h"

#include <array>
#include <cstdint>
#include <map>

namespace d3d9 {

class BaseTexture;
class Resource;
template <typename Interface>
class TypedBuffer;
using VertexBuffer = TypedBuffer<IDirect3DVertexBuffer9>;
using IndexBuffer = TypedBuffer<IDirect3DIndexBuffer9>;

constexpr int kStages = 8;
constexpr int kRenderStateSlots = 210;  // D3DRS_BLENDOPALPHA is the highest documented
constexpr int kStageStateSlots = 33;    // up to D3DTSS_CONSTANT
constexpr int kSamplerStateSlots = 14;  // up to D3DSAMP_DMAPOFFSET
constexpr int kTransformSlots = 11;     // world, view, projection, texture 0..7

// Whether the device knows a state number (unknown ones are refused).
bool IsRenderState(DWORD state);
bool IsStageState(DWORD state);
bool IsSamplerState(DWORD state);
// The slot of a transform, or -1.
int TransformSlot(DWORD state);

enum DirtyBits : uint32_t {
    kDirtyProgram = 1u << 0,   // something the fixed-function key reads
    kDirtySamplers = 1u << 1,  // filters, addressing, bound textures
    kDirtyTarget = 1u << 2,    // render target or depth surface
    kDirtyAll = 0xFFFFFFFFu,
};

struct DeviceState {
    std::array<DWORD, kRenderStateSlots> render{};
    std::array<std::array<DWORD, kStageStateSlots>, kStages> stage{};
    std::array<std::array<DWORD, kSamplerStateSlots>, kStages> sampler{};
    std::array<D3DMATRIX, kTransformSlots> transform{};
    std::array<BaseTexture*, kStages> texture{};  // the device holds a binding on each
    D3DVIEWPORT9 viewport{};
    RECT scissor{};
    DWORD fvf = 0;
    D3DMATERIAL9 material{};
    std::map<DWORD, D3DLIGHT9> lights;
    std::map<DWORD, bool> lightEnabled;
    // Objects the device holds a binding on (null: none). A shader or a
    // declaration is kept for the program to read back; drawing uses the FVF.
    Resource* vertexShader = nullptr;
    Resource* pixelShader = nullptr;
    Resource* declaration = nullptr;
    VertexBuffer* stream = nullptr;  // stream 0
    UINT streamOffset = 0;
    UINT streamStride = 0;
    IndexBuffer* indices = nullptr;
    // Shader constants are kept (no shader draws): 4 values a register.
    std::array<float, 256 * 4> vertexConstF{};
    std::array<int, 16 * 4> vertexConstI{};
    std::array<BOOL, 16> vertexConstB{};
    std::array<float, 224 * 4> pixelConstF{};
    std::array<int, 16 * 4> pixelConstI{};
    std::array<BOOL, 16> pixelConstB{};
    uint32_t dirty = kDirtyAll;
};

// The documented defaults of a new or reset device; zEnable is TRUE when the
// device was made with an automatic depth surface.
void ResetDeviceState(DeviceState* state, bool zEnable, UINT width, UINT height);

}  // namespace d3d9
