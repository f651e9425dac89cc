// The draw state that the software pixel routines read at the start of every
// draw: the draw area, the blend mode and its parameter, the brightness and
// the blend image. The graphics layer owns and fills it.
#pragma once

#include "core/utility.h"

#include <cstdint>

struct MEMIMG;

// A blend mode, 0 to 12, kept with its parameter (0 to 255) in the draw
// state. The software renderer draws the modes below; 5 to 9, 12 and every
// other value draw nothing.
using BlendMode = int32_t;
constexpr int32_t kBlendNone = 0;         // copy
constexpr int32_t kBlendAlpha = 1;        // source over destination, weight p
constexpr int32_t kBlendAdd = 2;          // add the source scaled by p, saturating
constexpr int32_t kBlendSubtract = 3;     // subtract it, floor 0
constexpr int32_t kBlendMultiply = 4;     // multiply (p not used)
constexpr int32_t kBlendInvert = 10;      // blend toward the inverted source
constexpr int32_t kBlendMultiplyAlpha = 11;  // blend toward source x destination

struct DrawState {
    // Draw area in destination pixels, right and bottom exclusive; kept inside
    // the current draw target.
    int32_t drawAreaLeft;
    int32_t drawAreaTop;
    int32_t drawAreaRight;
    int32_t drawAreaBottom;
    BlendMode blendMode;
    int32_t blendParameter;       // 0 to 255
    // Brightness, blue, green, red; white (no scaling) only when all are 255.
    uint8_t brightnessBlue;
    uint8_t brightnessGreen;
    uint8_t brightnessRed;
    // The blend image (one byte per pixel is read) or null, with the border
    // parameter and range its ramp was built from (BuildBlendImageRamp puts
    // the ramp into g_memImgTables.blendImageRamp).
    MEMIMG* blendImage;
    int32_t blendImageBorderParameter;
    int32_t blendImageBorderRange;

    // ---- kept by the graphics layer; the pixel routines do not read these ----
    int32_t drawTarget = -2;        // -2 back buffer, -4 front buffer, or an image handle
    int32_t drawTargetWidth = 0;
    int32_t drawTargetHeight = 0;
    // The draw area again as floats, and 1 when it has no width or height.
    float drawAreaLeftF = 0.0f;
    float drawAreaTopF = 0.0f;
    float drawAreaRightF = 0.0f;
    float drawAreaBottomF = 0.0f;
    int32_t drawAreaEmpty = 1;
    int32_t drawingSuspended = 0;   // non-zero: draw calls do nothing
    int32_t blendImageHandle = -1;  // the image behind blendImage, -1 for none
    int32_t filterMode = 0;         // 0 point, 1 linear, 2 anisotropic
    int32_t maxAnisotropy = 1;
    float drawDepth = 0.2f;         // z of every 2D vertex
    int32_t noVsync = 0;            // 1: present does not wait for the vertical blank
    int32_t emulate320x240 = 0;     // SetEmulate320x240
    int32_t transparentFringeFixOff = 0;
    // Device settings the Direct3D 9 back end applies before each draw.
    int32_t cullMode = 0;            // 0 none, 2 clockwise, other counter-clockwise
    int32_t fillMode = 3;            // D3DFILL_SOLID
    int32_t zSet2D[4] = {0, 0, 4, 0};  // enable, write enable, compare function, depth bias
    int32_t zSet3D[4] = {1, 1, 4, 0};
    int32_t fogEnable = 0;
    int32_t diffuseMaterialSource = 0;
    int32_t specularMaterialSource = 0;
    int32_t lightsChanged = 0;
    int32_t lightingOff = 0;
    // The material of 3D draws (diffuse, ambient, specular, emissive as red,
    // green, blue, alpha from 0 to 1, then the specular power) and the flag
    // that it changed since the device last took it.
    float material[17] = {};
    int32_t materialChanged = 0;
    int32_t addressU[8] = {};        // D3DTEXTUREADDRESS; 0 = not yet chosen
    int32_t addressV[8] = {};
    int32_t addressW[8] = {};
    // The camera: world, view, projection and viewport matrices, and a last
    // matrix the projection is multiplied by; the products are rebuilt when
    // combinedCurrent is 0.
    Matrix4 worldMatrix = kIdentityMatrix;
    Matrix4 viewMatrix = kIdentityMatrix;
    Matrix4 projectionMatrix = kIdentityMatrix;
    Matrix4 viewportMatrix = kIdentityMatrix;
    Matrix4 projectionExtraMatrix = kIdentityMatrix;
    int32_t worldSent = 0;
    int32_t viewSent = 0;
    int32_t projectionSent = 0;
    int32_t combinedCurrent = 0;
    Matrix4 viewProjectionViewport = kIdentityMatrix;       // view x projection x viewport
    Matrix4 worldViewProjectionViewport = kIdentityMatrix;  // world x the above
    Matrix4 viewRotationTransposed = kIdentityMatrix;       // the view's 3 x 3 part transposed
};

// The one draw state. Starts as: empty draw area, mode 0, parameter 255,
// white brightness, no blend image.
extern DrawState g_drawState;

// Puts g_drawState back to its starting values.
void ResetDrawState();
// Sets the draw area (right and bottom exclusive).
void SetDrawStateArea(int32_t left, int32_t top, int32_t right, int32_t bottom);
