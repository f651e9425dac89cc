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
struct IDirect3DTexture9;
struct IDirect3DSurface9;

// The global screen state.
struct ScreenState {
    int32_t started = 0;          // graphics runs
    int32_t width = 640;          // the screen size asked for
    int32_t height = 480;
    int32_t colorDepth = 0;       // 8, 16 or 32; 0 while unset (taken as 16)
    int32_t refreshRate = 60;
    int32_t framePeriodUs = 0;    // measured at start-up
    int32_t presentRectFlag = 0;
    int32_t d3dActive = 0;        // the Direct3D 9 back end draws
    int32_t hardwareOff = 0;      // the Direct3D 9 path may not be used
    int32_t substitute320x240 = 0;  // a 320x240 full screen runs as 640x480, doubled
    // The software screen: the draw-screen size and whether present doubles it.
    int32_t drawWidth = 0;
    int32_t drawHeight = 0;
    int32_t doubled = 0;
    int32_t presentCount = 0;
};

// One Direct3D texture of a picture: the rectangle of the picture it holds,
// its size in texels and, with the extended interface, its system-memory copy.
struct ImageTexture {
    IDirect3DTexture9* texture;
    IDirect3DSurface9* surface;
    int32_t width;                // texels
    int32_t height;
    int32_t x;                    // the picture rectangle it holds
    int32_t y;
    int32_t usedWidth;
    int32_t usedHeight;
    IDirect3DTexture9* staging;
};

// One rectangular piece of an image on one texture: corners top-left,
// top-right, bottom-left, bottom-right, each x, y in image pixels and u, v in
// the texture's 0 to 1 coordinates.
struct ImageDrawTile {
    float corners[4][4];
    ImageTexture* texture;
    uint8_t upperLeft[4];         // the corner lies in the image's upper-left half
};

// Flag bytes of a picture, handed whole to the device's draw-state application.
constexpr int kPictureTextured = 0;
constexpr int kPictureAlphaChannel = 1;  // the texture's alpha is blended
constexpr int kPictureCutOut = 2;        // the texture's alpha only cuts transparent pixels out
constexpr int kPictureSystemCopy = 3;    // textures keep a system-memory copy

// The picture an image shares with the images derived from it.
struct ImagePicture {
    int32_t refCount;
    int32_t width;
    int32_t height;
    MEMIMG memImg;                // software pixels (the whole picture), kept on both paths
    int32_t deviceFormatIndex;    // into the device's texture format table
    uint8_t flags[4];
    int32_t textureCount;
    ImageTexture* textures;       // null until the textures are laid out
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
    ImageDrawTile* tiles;
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
    int32_t useColorKey = 1;      // images made without alpha cut the transparent colour out
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
// The image loader behind LoadImageFile (graphics running, a file name
// given): a decoded picture becomes a new image; a file that no decoder
// accepts is opened as a movie bound to a new image of its size, which shows
// its frames. The handle, or -1 (logged).
int LoadImageFromFile(const char* fileName, int32_t flag);
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

// Calls for the Direct3D 9 back end and movie overlays.
struct DDCAPS;
// Lays out and creates the textures of a picture that has none yet and fills
// them from its pixels; 0, or -1 with a log line (also without a device).
int CreateImageTextures(ImagePicture* picture);
// Copies the picture's pixels (the rectangle x, y, width, height) into its
// textures; 0 or -1.
int UploadPictureRect(ImagePicture* picture, int32_t x, int32_t y, int32_t width, int32_t height);

// Converts rows of pixels from a picture's format to a texture's through
// per-channel tables made once from the unpack and pack rules, so each pixel
// gives the texel those rules give (a cut-out pixel, whose colour bits equal
// the key's, gets alpha 0; a format without alpha reads as opaque). For
// formats of at most 32 bits whose channels are at most 8 bits wide, without
// a palette; Usable says whether a pair is such.
class TexelConverter {
public:
    static bool Usable(const ColorFormatInfo* from, const ColorFormatInfo* to);
    TexelConverter(const ColorFormatInfo* from, const ColorFormatInfo* to);
    void Row(const uint8_t* in, uint8_t* out, int32_t count, bool cutOut, uint32_t key) const;

private:
    uint32_t table_[4][256];  // red, green, blue, alpha: source channel value -> packed bits
    uint32_t masks_[4];
    uint8_t shifts_[4];
    uint32_t opaque_;  // packed alpha of a source without alpha
    uint32_t fixed_;   // bits the texture format always sets
    int inBytes_, outBytes_;
};
// Stretches the top-left width x height of a surface (a movie's Y'CbCr
// frame) 1:1 into the image's textures, converting it; 0, or -1 when the
// image has no textures or the device refuses.
int StretchSurfaceIntoImage(IDirect3DSurface9* surface, const ImageRecord* record, const RECT& source);
// Converts the rectangle of the picture (inside it) into the image's pixels
// at (destX, destY) (the rectangle placed there inside the image), with the
// alpha picture's blue channel as alpha when it is given and the image has
// alpha, and uploads them to its textures while the device draws. 0, or -1
// (logged) when the conversion or the upload fails.
int TransferPictureRect(const PixelImage* picture, const PixelImage* alpha, const RECT& from, ImageRecord* record,
                        int32_t destX, int32_t destY);
// Releases every image's textures before the device goes; 0.
int ReleaseDeviceResources();
// Releases one picture's textures and frees its texture list.
void ReleasePictureTextures(ImagePicture* picture);
// Builds the draw tiles of an image over its picture's textures (none when
// the picture has none); false when memory runs out.
bool BuildImageTiles(ImageRecord* record);
void FreeImageTiles(ImageRecord* record);
// Gives a new image its textures and tiles while the device draws.
void PrepareImageForDevice(ImageRecord* record);
// The texture of the image's first tile, or null.
IDirect3DTexture9* ImageFirstTexture(int32_t handle);
const ColorFormatInfo* GetDeviceColorFormat(int d3dFormat);
DDCAPS* ClearDirectDrawCaps(DDCAPS* caps);
void* GetOverlayDestinationSurface();
// The display's frame period, measured between two vertical blanks of the
// DirectDraw object.
void MeasureRefreshPeriod();
// On the device: the last matrix of the projection made from the draw region,
// sent when it changed (the region is the viewport; the whole target's clip
// space is mapped onto it).
void SetDrawRegionProjection();
// Re-creates the device after a loss or a mode change and restores every
// image; 0, or -1 when the device cannot be made again (the software path
// then draws).
int ResetGraphicsDevice(int32_t modeChange);
// Flushes the batch, ends the scene and presents the back buffer (the sub back
// buffer copied onto it first); a lost device is re-created. 0 or -1.
int PresentFrame();
// Brings every image's pixels back after a device re-creation: the restore
// callback, or the reload from files when none is set.
int RunImageRestore();
// Reloads every image that has a file; the others keep their pixels.
int RestoreImagesFromFiles();

// The emulated subtractive blend on a device without the blend operation:
// the first pass inverts the rectangle and sets additive blending, the last
// inverts it again and puts the subtractive mode back. 0.
int BeginSubtractPass(const RECT* rect);
int EndSubtractPass(const RECT* rect);

// The mask screen (nothing creates it in this program).
void ResetMaskState();
