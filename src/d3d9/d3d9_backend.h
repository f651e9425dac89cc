// The Direct3D 9 back end as the graphics layer and the fonts call it: start-up
// and shutdown, the state setters, the vertex batch, the hardware draws, the
// screen lock and the restore after a device re-creation. Results: 0 on
// success, -1 on failure or without a device, unless a line says otherwise.
#pragma once

#include "d3d9/device_block.h"

struct ImageRecord;
struct PixelImage;

// Releases the interface a field holds and clears the field; nothing for null.
template <typename T>
void ReleaseField(T*& field) {
    if (field == nullptr) return;
    field->Release();
    field = nullptr;
}

// ---- start-up and shutdown ------------------------------------------------------------------
// Loads the runtime, makes the DirectDraw object and either the device (the
// screen's active flag 1) or the software path (flag 0). -1 when the runtime
// cannot be loaded, the DirectDraw object cannot be made, or the software
// path's display-mode change fails.
int SetupDirect3D9();
int TerminateDirect3D9();
void BeginDeviceScene();
void EndDeviceScene();
int SetDeviceDialogBoxMode(int32_t flag);
int ResetDeviceDialogBoxMode(int32_t flag);
// 1 while the device holds the dialog-box mode these two last asked for; 0
// without a device and for a device made anew (after a lost device or a
// screen-mode change).
int DeviceDialogBoxMode();
int CreateSubBackBuffer();
// The device and its format probing (called by SetupDirect3D9).
int CreateDirect3DDevice();
// The adapter the device is made on and probed with: the block's adapter
// index when its switch is set, else the default adapter.
UINT ChosenAdapter();
// 1 when the device runs windowed over a changed full-screen display mode: a
// full screen on Windows Vista or later with the present rectangle, the
// 320x240 emulation or the 320x240 substitution in use.
int IsWindowOverFullScreen();
// The two sizes every device surface of the screen has: the draw screen.
int32_t DeviceScreenWidth();
int32_t DeviceScreenHeight();

// ---- blend stages ------------------------------------------------------------------------------
int SetupDeviceBlendStages(int32_t handles, const BlendStageSet* set, int32_t texturesOnly);
int SetDeviceBlendMode(int32_t mode, int32_t textureAlpha, int32_t alphaTest);
int SetDeviceBlendImage(IDirect3DTexture9* texture, int32_t borderParameter, int32_t borderRange);
int SetDeviceBlendOverride(const BlendStageSet* set, int32_t texturesOnly);
int ApplyDeviceBlendTextures(const BlendStageSet* set, int32_t texturesOnly, int32_t handles);
// The preset stage set of a number 0 to 71 (its first texture word holds its
// stage count).
const DeviceStageRecord* StagePreset(int32_t number);

// ---- draw-state application ----------------------------------------------------------------
// flags: 0x1 transparency, 0x2 image bit, 0x8 Gouraud, 0x20 colour modulation,
// 0x40 alpha modulation, 0x80 fog, 0x100 keep texture and blending, 0x200
// lighting, 0x400 specular, 0x800 3D Z set, 0x1000 address modes of the draw
// state, 0x2000 keep shaders.
void ApplyDrawState(const uint8_t* formatFlags, IDirect3DTexture9* texture, uint32_t flags);

// ---- cached setters ----------------------------------------------------------------------------
int SetDeviceLighting(int32_t flag);
int ResetTexCoordIndices();
int SetDeviceTextureFilter(int32_t mode);
int SetDeviceMaxAnisotropy(int32_t value);
int SetDeviceZEnable(int32_t value);
int SetDeviceZWriteEnable(int32_t flag);
int SetDeviceZFunc(int32_t func);
int SetDeviceDepthBias(uint32_t bits);
int SetDeviceTexture(IDirect3DTexture9* texture);
int SetDeviceDiffuseSource(int32_t flag);
int SetDeviceSpecularSource(int32_t flag);
int SetDeviceCullMode(int32_t value);
int SetDeviceAddressMode(int32_t sampler, int32_t mode);
int SetDeviceAddressU(int32_t sampler, int32_t mode);
int SetDeviceAddressV(int32_t sampler, int32_t mode);
int SetDeviceAddressW(int32_t sampler, int32_t mode);
int SetDeviceTextureTransform(int32_t stage, int32_t flag, const D3DMATRIX* matrix);
int SetDeviceFogEnable(int32_t flag);
int SetDeviceFogMode(int32_t mode);
int SetDeviceFogColor(uint32_t color);
int SetDeviceFogStartEnd(float start, float end);
int SetDeviceFogDensity(float density);
int SetDeviceViewport(const D3DVIEWPORT9& viewport);
int SetDeviceViewportRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
int SetDeviceScissorRect(const RECT& rect);
int SetDeviceRenderTarget(IDirect3DSurface9* surface);
// Sends a render state directly and records nothing.
void SendRenderState(D3DRENDERSTATETYPE state, uint32_t value);

// ---- lights, material and camera ------------------------------------------------------
// Each keeps its constant registers in the cache's light state.
int SetDeviceViewMatrix(const D3DMATRIX* matrix);
int SetDeviceProjectionMatrix(const D3DMATRIX* matrix);
// -1 when the device refuses the light (or the enable).
int SetDeviceLight(int32_t index, const D3DLIGHT9* light);
int SetDeviceLightEnable(int32_t index, int32_t flag);
// Flag 1: sets the light, then the enable flag; always 0.
int SetDeviceLightState(int32_t index, int32_t flag, const D3DLIGHT9* light);
// Nothing sent when the material equals the cached one (unless forced).
int SetDeviceMaterial(const D3DMATERIAL9* material);
int SetDeviceAmbientColor(uint32_t color);
void UpdateLightColorConstants();
// After a re-creation, from the shadows: the material, the ambient colour,
// and every light ever set with its enable flag.
void ReapplyLightsAndMaterial();
void ReapplyAmbientColor();
void ReapplyLights();
// At the end of graphics: the next start begins with none of them.
void ClearLightsAndCamera();
// The point times the matrix with its translation; the direction without.
struct Matrix4;
struct Vector3;
// A draw-state matrix as the device takes it (the same 16 floats, row by row).
D3DMATRIX AsDeviceMatrix(const Matrix4& matrix);
Vector3* TransformPoint(Vector3* out, const Vector3* point, const Matrix4* matrix);
Vector3* TransformDirection(Vector3* out, const Vector3* direction, const Matrix4* matrix);

// ---- state reset -------------------------------------------------------------------------------
int InitDeviceStateCache();
int ReapplyDeviceStates();
void RestoreDeviceStates();
int ResetFixedFunctionStates();

// ---- vertex batch ------------------------------------------------------------------------------
int FlushVertexBatch();
int SetDeviceWorldMatrix(const D3DMATRIX* matrix);
int DrawVertexGridStrips(int32_t columns, const void* vertices, int32_t rows);
// Makes room for k vertices of kind and primitive type (drawing the batch in
// place when it holds another kind or type or would be full); the write
// pointer then takes them.
void ReserveBatch(int32_t kind, int32_t primitiveType, int32_t k);
// Counts k vertices written at the write pointer.
void CommitBatch(int32_t k);

// ---- hardware draws ----------------------------------------------------------------------------
int DrawImageHardware(const ImageRecord* record, int32_t x, int32_t y, float fx, float fy, int32_t transparent,
                      int32_t imageBit);
// The image scaled onto the rectangle (fx1, fy1)-(fx2, fy2); fx1 > fx2 or
// fy1 > fy2 mirrors it. The integer corners decide the clipping; -1 also when
// x1 = x2 or y1 = y2.
int DrawImageStretchHardware(const ImageRecord* record, int32_t x1, int32_t y1, int32_t x2, int32_t y2, float fx1,
                             float fy1, float fx2, float fy2, int32_t transparent, int32_t imageBit);
// The image onto four corners x, y in the order top-left, top-right,
// bottom-left, bottom-right, used as they stand (no half-pixel move). With a
// blend image set the corners are cut to whole pixels and drawn by the
// integer form, which moves them by half a pixel.
int DrawImageQuadHardware(const ImageRecord* record, const float corners[8], int32_t transparent);
int DrawImageQuadIntHardware(const ImageRecord* record, const int32_t corners[8], int32_t transparent);
int DrawFillBoxHardware(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color);
int DrawLineHardware(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color);

// ---- screen lock and sub back buffer ---------------------------------------------------------
int LockDrawScreenRect(const RECT& rect, PixelImage* out);
int UnlockDrawScreen();
int CopySubBackBuffer();

// ---- restore after a re-creation -------------------------------------------------------------
int RestoreDeviceResources();
