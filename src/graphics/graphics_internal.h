// The graphics subsystem's records and global state, shared by its files and
// by the back ends that will draw for it (Direct3D 9, fonts, movies).
#pragma once

#include "core/handle_table.h"
#include "graphics/graphics.h"
#include "image/pixel_image.h"
#include "softrender/draw_state.h"
#include "softrender/memimg.h"

#include <cstdint>

struct IDirectDraw7;
struct ImageTexture;  // a Direct3D texture entry; its shape comes with that back end

// The global screen state.
struct ScreenState {
    int32_t started = 0;          // graphics runs
    int32_t width = 640;          // the screen size asked for
    int32_t height = 480;
    int32_t colorDepth = 0;       // 8, 16 or 32; 0 while unset (taken as 16)
    int32_t refreshRate = 60;
    int32_t framePeriodUs = 0;    // measured at start-up
    int32_t presentRectFlag = 0;
    int32_t d3dActive = 0;        // the Direct3D 9 back end draws (never, so far)
    int32_t hardwareOff = 0;      // the Direct3D 9 path may not be used
    int32_t substitute320x240 = 0;  // a 320x240 full screen runs as 640x480, doubled
    // The software screen: the draw-screen size and whether present doubles it.
    int32_t drawWidth = 0;
    int32_t drawHeight = 0;
    int32_t doubled = 0;
    int32_t presentCount = 0;
};

// The picture an image shares with the images derived from it.
struct ImagePicture {
    int32_t refCount;
    int32_t width;
    int32_t height;
    MEMIMG memImg;                // software pixels (the whole picture)
    // Direct3D side, filled by that back end when it comes: the format index
    // into its texture-format table, flag bytes, the alpha and cut-out flags
    // and the texture list.
    int32_t deviceFormatIndex;
    uint8_t flags[4];
    int32_t alphaChannel;
    int32_t cutOut;
    int32_t textureCount;
    ImageTexture* textures;
};

// The record behind an image handle.
struct ImageRecord {
    int32_t handleCheck;
    int32_t handle;
    ImagePicture* picture;
    int32_t x;                    // offset and size within the picture
    int32_t y;
    int32_t width;
    int32_t height;
    MEMIMG memImg;                // view on the picture's MEMIMG
    char* fileName;               // the source file (null for made images)
    int32_t loadFlag;
    int32_t* lostFlag;            // set to 1 when the image is deleted
    int32_t movieHandle;          // -1: no movie bound
    int32_t tileCount;            // Direct3D draw tiles (none on the software path)
};

// The software renderer's draw targets.
struct SoftwareTargets {
    MEMIMG* current = nullptr;    // the screen or an image's MEMIMG
    MEMIMG screen{};
    MEMIMG work{};                // screen size, screen format, transparent colour 0
    MEMIMG workAlpha{};           // the same with alpha
    MEMIMG* blend = nullptr;      // the blend image (blendStore) or null
    MEMIMG blendStore{};          // one grey byte per pixel
};

// Settings the setters keep for images and drawing.
struct GraphicsSettings {
    int32_t transparentRed = 0;
    int32_t transparentGreen = 0;
    int32_t transparentBlue = 0;
    int32_t backgroundRed = 0;
    int32_t backgroundGreen = 0;
    int32_t backgroundBlue = 0;
    int32_t blankImageAlpha = 0;
    int32_t imageBitDepth = 0;
    int32_t useColorKey = 0;
    int32_t maskInEffect = 0;     // the mask screen is on and exists
    int32_t maskDepth = 0;        // nesting of BeginMaskDraw
    int32_t captureFrame = 0;     // present number to capture, 0: none
    char capturePath[260] = "";
};

ScreenState& Screen();
SoftwareTargets& Targets();
GraphicsSettings& Settings();
IDirectDraw7* GetDirectDrawObject();

using ImageTable = HandleTable<ImageRecord, kMaxImageHandles>;
ImageTable& Images();

// The image of a handle, or null (nothing logged).
ImageRecord* FindImage(int32_t handle);
// The same, writing "<what>: invalid handle" to the log when refused.
ImageRecord* FindImageLogged(int32_t handle, const char* caller);
// Deletes every image (graphics end).
void DeleteAllImages();
// Converts every picture to the colour type (a screen depth change).
void ConvertAllImages(int32_t colorType);

// Records the screen mode (also in the library core, which sizes the window).
void StoreScreenMode(int32_t width, int32_t height, int32_t bits, int32_t refreshRate);
bool IsValidScreenMode(int32_t width, int32_t height, int32_t bits);

// The colour type of the screen, and of images created now.
int32_t ScreenColorType();
int32_t ImageColorType();

// The draw area set directly (no ordering or clamping), with the float copy
// and the empty flag; used to narrow and restore it.
void StoreDrawArea(int32_t left, int32_t top, int32_t right, int32_t bottom);
// Makes the draw target the back buffer again when it is the image (deleted).
void ForgetDrawTargetImage(int32_t handle);
// Clears the blend image when it is that image (deleted).
void ForgetBlendImage(int32_t handle);
// Drops the blend image and its grey copy.
void ReleaseBlendImage();
// Makes the grey blend copy cover at least width x height (edge pixels
// repeated), so that an image of that size can be drawn with it; false when
// it cannot.
bool CheckBlendImageSize(int32_t width, int32_t height);
// Arms or stops the front buffer's re-present timer after a target change.
void UpdateFrontBufferTimer();
void StopFrontBufferTimer();
// Copies the screen to the main window (doubled when asked). 0 or -1.
int CopyScreenToWindow();
// Present bookkeeping: counts the present and writes a requested capture.
void CountPresent();
// Reads VELUMI_CAPTURE_FRAME and VELUMI_CAPTURE_FILE.
void ReadCaptureEnvironment();

// Puts the screen mode and every setting back to its start value; -1 while
// graphics runs.
int ResetGraphicsConfiguration();

// Calls for the Direct3D 9 back end and movie overlays (no device yet):
// CreateImageTextures -1, ReleaseDeviceResources 0, the device format
// descriptors of codes 20 to 35 (null for others), a cleared DirectDraw
// capability block, and no overlay surface.
struct DDCAPS;
int CreateImageTextures(ImagePicture* picture);
int ReleaseDeviceResources();
const ColorFormatInfo* GetDeviceColorFormat(int d3dFormat);
DDCAPS* ClearDirectDrawCaps(DDCAPS* caps);
void* GetOverlayDestinationSurface();

// The mask screen (nothing creates it in this program).
void ResetMaskState();
