// Programmable shaders on the device: the decision whether they are used, the
// shader pack the program carries inside itself, the two test shaders made
// from it, the vertex declarations, the constant registers kept in a library
// set and a user set, and the variant index chosen by lighting and fog.
//
// No draw binds a shader or a declaration: every draw runs the fixed-function
// stages. What the shaders-in-use flag changes in the running program is
// whether constant registers reach the device; their shadows are always kept.
#pragma once

#include "d3d9/device_block.h"

#include <cstdint>
#include <vector>

// ---- the shader pack ---------------------------------------------------------------------
// Once unpacked: 98,304 vertex sizes and 41,472 pixel sizes (16-bit each), then
// the code of every slot back to back, vertex slots first.
constexpr int32_t kVertexShaderSlots = 98304;
constexpr int32_t kPixelShaderSlots = 41472;
constexpr uint32_t kShaderCodeStart = 2 * (kVertexShaderSlots + kPixelShaderSlots);  // 279,552
// The two slots whose shaders are made at every device start.
constexpr int32_t kTestVertexShaderSlot = 32774;
constexpr int32_t kTestPixelShaderSlot = 2454;
constexpr const char* kShaderPackMember = "ShaderPack.bin";

// Where each slot's code lies inside the unpacked pack; null for a slot
// without code.
struct ShaderCodeTable {
    const DWORD* vertex[kVertexShaderSlots];
    const DWORD* pixel[kPixelShaderSlots];
};

// ---- constant registers ---------------------------------------------------------------------
constexpr int kLibraryVertexRegisters = 256;
constexpr int kLibraryPixelRegisters = 32;
constexpr int kUserVertexRegisters = 256;
constexpr int kUserPixelRegisters = 224;
constexpr int kIntegerRegisters = 16;
constexpr int kBooleanRegisters = 16;

// Registers of one bank still to be sent: count 0 when none.
struct DirtyRange {
    int32_t first;
    int32_t count;
};

struct ShaderConstantCache {
    // The library set: what the back end's setters write.
    float vertexF[kLibraryVertexRegisters][4];
    float pixelF[kLibraryPixelRegisters][4];
    BOOL vertexB[kBooleanRegisters];  // kept beside the set; sent as written
    // The user set, each bank with its dirty range. Nothing in this program
    // writes it or selects it.
    float userVertexF[kUserVertexRegisters][4];
    int32_t userVertexI[kIntegerRegisters][4];
    BOOL userVertexB[kBooleanRegisters];
    float userPixelF[kUserPixelRegisters][4];
    int32_t userPixelI[kIntegerRegisters][4];
    BOOL userPixelB[kBooleanRegisters];
    DirtyRange dirtyVertexF, dirtyVertexI, dirtyVertexB, dirtyPixelF, dirtyPixelI, dirtyPixelB;
    int32_t activeSet;  // 0: the library set is on the device; 1: the user set
};

ShaderConstantCache& ShaderConstants();

// Register 0 of both library sets.
constexpr float kVertexRegisterZero[4] = {0.0f, 1.0f, 0.0f, 0.0f};
constexpr float kPixelRegisterZero[4] = {0.0f, 0.5f, 1.0f, 2.0f};
// The fog register: (end / (end - start), -1 / (end - start), density, e).
constexpr int kFogRegister = 10;
constexpr int kTextureFactorRegister = 5;  // pixel

// ---- the calls ---------------------------------------------------------------------------
// Shaders are used when the device offers vertex and pixel shaders 2.0: then
// the pack is loaded (once for the process) and the two test shaders made;
// register 0 of both sets is stored (and sent when shaders are used). 0.
int DecideShaderUse();
// 1 when the pack is loaded (now or before), 0 when it cannot be.
int LoadShaderPack();
int CreateVertexDeclarations();
int ReleaseShaders();
int ReleaseVertexDeclarations();
// Puts set 0 (library) or 1 (user) on the device; nothing when shaders are
// not used or the set is there already. 0.
int SelectShaderConstantSet(int32_t set);
// The variant indices from the lighting switch, lights 0 to 2 and the fog
// mode; only while shaders are used.
void UpdateShaderVariantIndex();
// The shadow registers always take the values; the device only while shaders
// are used (after putting the library set back). Registers outside the
// library set are refused with -1.
int SetDeviceVertexShaderConstants(int32_t first, int32_t count, const float* values);
int SetDevicePixelShaderConstants(int32_t first, int32_t count, const float* values);
// The boolean registers of the library's vertex side; sent when shaders are
// used, or always with always set.
int SetDeviceVertexShaderBooleans(int32_t first, int32_t count, const BOOL* values, bool always);
// Rebuilds the fog register from the cached fog range and density.
void UpdateFogConstant();

// The full-brightness colour of (r, g, b): the largest channel raised to 255
// with hue and saturation kept; white for black and for greys.
void MaximizeColorBrightness(int32_t red, int32_t green, int32_t blue, uint8_t* outRed, uint8_t* outGreen,
                             uint8_t* outBlue);
int CreateBrightnessVolumeTexture();
// Fills a locked 128 x 128 x 128 X8R8G8B8 box: x across a row, y down the
// rows, z across the slices; the darkest corner (all below 8) white.
void FillBrightnessVolume(const D3DLOCKED_BOX& box);

// ---- internal: the program's embedded pack, and what tests look at ----------------------------
// The packed archive image the pack is read from: the program's own by
// default; a test hands another (null: the program's own again). Only a
// pack not yet loaded reads it.
void UseShaderPackImage(const void* image, uint32_t size);
// Forgets the loaded pack (for tests: the next load unpacks again).
void UnloadShaderPack();
const ShaderCodeTable& ShaderCode();
// How often the pack was unpacked in this process.
int32_t ShaderPackUnpackCount();
IDirect3DVertexShader9* VertexShaderObject(int32_t slot);
IDirect3DPixelShader9* PixelShaderObject(int32_t slot);
constexpr int kVertexDeclarations = 54;
// Declaration 0 to 53, or 54 for the fixed one.
IDirect3DVertexDeclaration9* VertexDeclaration(int32_t index);
// The elements of declaration 0 to 53 without the end marker.
std::vector<D3DVERTEXELEMENT9> DeclarationElements(int32_t index);
