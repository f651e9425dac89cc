// The records of the Direct3D 9 back end: the device block, the shadow of
// every device state, the blend-stage sets and the vertex batch. One global of
// each lives as long as the program; a null device in the block tells every
// routine of the back end that there is no device.
#pragma once

#include "platform/d3d9/d3d9.h"
#include "platform/ddraw/ddraw.h"

#include <cstdint>

// ---- blend and texture-stage sets ------------------------------------------------------

constexpr int kMaxStages = 8;
constexpr uint16_t kKeep16 = 0xFFFF;  // a stage argument or operation left as it is

// One texture stage: its texture (a texture pointer, or an image handle in a
// caller's set), the texture-coordinate index (-1 keep), the result flag (-1
// keep, 0 current, other temporary) and the six arguments and operations
// (0xFFFF keep).
struct DeviceStageRecord {
    uintptr_t texture;
    int32_t texCoordIndex;
    int32_t resultTemp;
    uint16_t alphaArg1;
    uint16_t alphaArg2;
    uint16_t alphaOp;
    uint16_t colorArg1;
    uint16_t colorArg2;
    uint16_t colorOp;
};

// The blend and stage state of one draw. -1 in a blend word keeps the device's
// value.
struct BlendStageSet {
    int32_t alphaTestEnable;
    int32_t alphaRef;
    int32_t alphaFunc;
    int32_t alphaBlendEnable;
    uint32_t textureFactor;
    int32_t srcBlend;
    int32_t destBlend;
    int32_t blendOp;
    int32_t stageCount;
    DeviceStageRecord stages[kMaxStages];
};

// ---- vertex batch ------------------------------------------------------------------------

constexpr int kBatchRows = 6;

struct BatchRow {
    uint32_t fvf;
    int32_t stride;
    int32_t capacity;
};

// Row = sub-kind + 3 x kind: pre-transformed plain, one texture, two textures;
// 3D plain, 3D one texture; row 5 unused.
constexpr BatchRow kBatchRowTable[kBatchRows] = {
    {0x44, 20, 3225}, {0x144, 28, 2340}, {0x2c4, 40, 1638}, {0x42, 16, 4096}, {0x142, 24, 2730}, {0, 0, 0},
};

// The pending vertex batch.
struct VertexBatch {
    uint8_t* rows[kBatchRows];   // start of each row's vertex array
    int32_t kind;                // 0 pre-transformed, 1 3D
    int32_t count;               // vertices written since the last flush
    int32_t subKind;             // texture sets the vertices carry (0 to 2)
    int32_t primitiveType;       // D3DPRIMITIVETYPE
    float blendWidth;            // blend texture size and reciprocals
    float blendHeight;
    float blendWidthInv;
    float blendHeightInv;
    uint32_t drawColor;          // ARGB diffuse of the draw state
    uint8_t* write;              // where the next vertex goes
};

// ---- device state cache ---------------------------------------------------------------------

// Lights, ambient colour, material and camera; the shader constant registers
// built from them live in the constant cache (shader_state.h).
constexpr int kCachedLights = 256;
constexpr int kShaderLights = 4;        // lights with constant registers
struct DeviceLightState {
    int32_t highest;                    // highest enabled index, never below 0
    int32_t enabled[kCachedLights];
    D3DLIGHT9 light[kCachedLights];     // type 0: never set
    float ambient[4];                   // red, green, blue, alpha, 0 to 1
    D3DMATERIAL9 material;
    D3DMATRIX projection;               // the projection last sent
    int32_t projectionSent;
};

// The shadow of every device state the back end changes; what the device holds.
struct DeviceStateCache {
    IDirect3DTexture9* drawTexture;    // stage-0 texture of the pending draw
    IDirect3DTexture9* blendTexture;   // the blend image's texture
    BlendStageSet current;             // blend render states and the eight stages
    BlendStageSet override;            // a caller's complete set
    int32_t overrideOn;
    int32_t overrideTexturesOnly;
    int32_t filterMode;                // 0 point, 1 linear, 2 anisotropic, 3 none sent yet
    int32_t maxAnisotropy;
    int32_t samplerAnisotropy[kMaxStages];
    int32_t magFilter[kMaxStages];
    int32_t minFilter[kMaxStages];
    int32_t mipFilter[kMaxStages];
    int32_t zEnable;                   // library value: the device gets TRUE only for 1
    int32_t zWriteEnable;
    int32_t zFunc;
    uint32_t depthBias;                // float bits
    int32_t texTransformFlag[kMaxStages];
    D3DMATRIX texTransform[kMaxStages];
    int32_t texTransformRequest;
    int32_t shadeMode;
    int32_t fillMode;
    int32_t cullMode;                  // library value: 0 none, 2 clockwise, other counter-clockwise
    int32_t addressU[kMaxStages];
    int32_t addressV[kMaxStages];
    int32_t addressW[kMaxStages];
    int32_t fogEnable;
    int32_t fogMode;
    uint32_t fogColor;
    float fogStart;
    float fogEnd;
    float fogDensity;
    int32_t lighting;
    int32_t diffuseSource;             // 255 after device creation: the next set always sends
    int32_t specularSource;
    int32_t specularEnable;
    int32_t colorModulation;           // X: texture colour times vertex colour
    int32_t alphaModulation;           // Y: texture alpha times vertex alpha
    int32_t inScene;
    int32_t blendMode;
    int32_t blendBorderParameter;      // -1 for none
    int32_t blendBorderRange;
    int32_t textureAlpha;              // t: the texture's alpha is blended
    int32_t alphaTest;                 // c: the texture's alpha is a cut-out mask
    int32_t setupDirty;
    int32_t textureDirty;
    int32_t drawSuppressed;            // a batch under this set-up is discarded
    int32_t shadersInUse;              // programmable shaders are used (shader_state.h)
    void* vertexShader;                // what the device has set; no draw sets one
    void* pixelShader;
    void* vertexDeclaration;
    uint32_t fvf;
    IDirect3DVolumeTexture9* brightnessVolume;  // made only while shaders are used
    DeviceLightState lights;
};

// The texture format of each device format index of a picture.
using TextureFormatTable = D3DFORMAT[16];

// ---- screen lock ------------------------------------------------------------------------------

// CPU read access to the draw target: one lock at a time. At most one of the
// two surfaces is set while locked.
struct ScreenLockState {
    int32_t locked;                 // 1 from a successful lock to its unlock (in both modes)
    IDirect3DSurface9* temporary;   // system-memory copy read back through a render target; owned
    IDirect3DSurface9* direct;      // the draw target's own surface, locked in place
};

// ---- device block -----------------------------------------------------------------------------

struct DeviceBlock {
    HMODULE runtime;                   // "d3d9.dll"
    int32_t multithreaded;             // settings nothing in this program changes
    int32_t adapterSwitch;
    int32_t adapterIndex;
    int32_t softwareVertexOnly;
    int32_t hardwareVertexProcessing;
    int32_t vertexShader20;
    int32_t pixelShader20;
    int32_t compositionOff;
    int32_t vertexVariant;             // shader variant indices (shader_state.h)
    int32_t pixelVariant;
    int32_t multisampleType;
    uint32_t multisampleQuality;
    int32_t backBufferLock;            // locking the back buffer in place is faster
    D3DFORMAT backBufferFormat;
    TextureFormatTable textureFormats;  // indexed by a picture's device format index
    D3DFORMAT zFormat;
    int32_t textureSizeSetting;        // non-zero: replaces the texture size limit
    int32_t drawRefusal;               // non-zero: hardware draws refuse
    IDirectDraw7* directDraw;
    IDirect3D9* d3d;
    IDirect3D9Ex* d3dEx;
    IDirect3DDevice9* device;
    IDirect3DDevice9Ex* deviceEx;      // the same object as device; never released through this field
    IDirect3DSwapChain9* swapChain;
    int32_t tempRegister;              // D3DPMISCCAPS_TSSARGTEMP
    IDirect3DSurface9* backBuffer;
    IDirect3DSurface9* subBackBuffer;
    IDirect3DSurface9* zSurface;
    int32_t zWidth;
    int32_t zHeight;
    D3DCAPS9 caps;
    uint32_t textureSizeLimit;
    int32_t blendOpCap;                // D3DPMISCCAPS_BLENDOP
    int32_t dialogBoxMode;             // last asked of this device; 0 for a device made anew
    IDirect3DSurface9* renderTarget;   // shadows of the setters
    D3DVIEWPORT9 viewport;
    RECT scissor;
    VertexBatch batch;
    ScreenLockState screenLock;
};

// Texture format table indexes.
enum TextureFormatIndex : int32_t {
    kFormat16 = 0,
    kFormat32 = 1,
    kFormatAlpha16 = 2,
    kFormatAlpha32 = 3,
    kFormatCutOut16 = 4,
    kFormatCutOut32 = 5,
    kFormatDxt1 = 6,
    kFormatTarget16 = 11,
    kFormatTarget32 = 12,
    kFormatTargetAlpha32 = 13,
    kFormatTargetScreen = 14,
    kFormatCutOutScreen = 15,
};

DeviceBlock& Device();
DeviceStateCache& Cache();
// The force flag: while it is 1 every setter sends.
int32_t& ForceResend();
