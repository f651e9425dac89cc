// Graphics: the screen, image handles and the drawing calls.
//
// Drawing goes to the current draw target: the back buffer (-2), the front
// buffer (-4, re-shown every 32 ms while it is the target) or an image. On
// the software path the screen is a MEMIMG in the screen's format (X8R8G8B8
// at 32 bits, R5G6B5 at 16) that PresentScreen copies to the main window
// after the vertical-blank wait; with the 320x240 emulation on a 640x480
// screen the screen MEMIMG is 320x240 and present shows it doubled.
//
// Results: 0 (or a handle) on success, -1 on failure with a log line.
// Image handles are created only while graphics runs; running out of image
// handles or memory while creating an image ends the process (ExitWithError).
#pragma once

#include "platform/wintypes.h"

#include <cstdint>

struct ColorFormatInfo;

constexpr int32_t kDrawTargetBack = -2;
constexpr int32_t kDrawTargetFront = -4;
constexpr int32_t kMaxImageHandles = 32768;

// ---- screen set-up (before InitLibrary; SetScreenMode also applies live) ----
// Width and height above 0, bits 8, 16 or 32 (16 is R5G6B5, the others
// X8R8G8B8); refresh rate in Hz (0 or less: 60). 0, or -1 for a bad size or depth.
int SetScreenMode(int32_t width, int32_t height, int32_t bits, int32_t refreshRate);
// 1: on a 640x480 screen the picture is drawn at 320x240 and shown doubled.
int SetEmulate320x240(int32_t flag);
// The screen colour depth in bits (8, 16 or 32); 16 while it is unset.
int32_t GetScreenBitDepth();
// The colour ClearDrawTarget stores (black until set).
int SetBackgroundColor(int32_t red, int32_t green, int32_t blue);
// 1 (the default): present waits for the vertical blank; 0: it does not.
int SetWaitVSyncFlag(int32_t wait);
// The draw-screen size and whether present doubles it.
int GetDrawScreenSize(int32_t* width, int32_t* height);
// Switches the screen mode while the library runs: re-creates the screen
// MEMIMGs (images are kept, converted when the colour depth changes); before
// start-up it only records the mode. 0 or -1.
int ChangeScreenMode(int32_t width, int32_t height, int32_t bits, int32_t refreshRate);

// ---- draw state -------------------------------------------------------------
// -2 back buffer, -4 front buffer, or an image handle; the draw area becomes
// the whole target. -1 for an unknown target.
int SetDrawTarget(int32_t target);
int32_t GetDrawTarget();
// Corners in any order, clamped to the target; on the device also its
// viewport, scissor rectangle and projection. 0, or -1 while graphics is
// down, for a draw target that is no longer an image, or (the region stored)
// when the device is missing.
int SetDrawRegion(int32_t left, int32_t top, int32_t right, int32_t bottom);
int GetDrawRegion(RECT* rect);
// Mode 0 none, 1 alpha, 2 add, 3 subtract, 4 multiply, 10 invert, 11
// multiply-alpha (others draw nothing in software); parameter clamped to 0..255.
int SetBlendMode(int32_t mode, int32_t parameter);
// Each clamped to 0..255; (255, 255, 255) draws unchanged.
int SetDrawBrightness(int32_t red, int32_t green, int32_t blue);
int SetDrawBrightnessColor(uint32_t rgb);  // 0xRRGGBB
// ARGB: alpha the blend parameter (255 in mode 0), RGB the brightness.
uint32_t PackDrawColor();
// The blend image (-1: none) with its border parameter and range (each clamped
// to 0..255). Its pixels are taken when it is set, as one grey byte each
// (luminance (77 R + 151 G + 28 B) / 256). -1 for an invalid handle.
int SetBlendImage(int32_t image, int32_t borderParameter, int32_t borderRange);
// Images loaded or created afterwards treat this colour as transparent.
int SetTransparentColor(int32_t red, int32_t green, int32_t blue);
int GetTransparentColor(int32_t* red, int32_t* green, int32_t* blue);
int SetFilterMode(int32_t mode);

// ---- camera ------------------------------------------------------------------
// Each stores its matrix and rebuilds the products; on the device the view
// goes to the device, and the projection and viewport matrices send
// projection x viewport x the last matrix. -1 for a null matrix.
struct Matrix4;
int SetViewMatrix(const Matrix4* matrix);
int SetProjectionMatrix(const Matrix4* matrix);
int SetViewportMatrix(const Matrix4* matrix);
// Rebuilds view x projection x viewport, world x that, and the view's
// rotation transposed, unless they are current.
void UpdateCombinedMatrices();

// ---- colours ----------------------------------------------------------------
// The pixel value of a colour in the screen's format (each channel clamped).
uint32_t MakeColor(int32_t red, int32_t green, int32_t blue);
// The channels of a screen pixel value, scaled to 0..255 (each out optional).
int SplitColor(uint32_t color, int32_t* red, int32_t* green, int32_t* blue);

// ---- images -------------------------------------------------------------------
// Loads an image file (through the file layer, any format the decoders read)
// into a new image in the screen's format with the current transparent
// colour; a picture with an alpha channel that is not opaque everywhere keeps
// its alpha (and is then transparent by its alpha). The flag is kept with the
// image and has no effect (this library passes 0). The handle, or -1.
int LoadImageFile(const char* fileName, int32_t flag);
// A new image of that size (pixels 0) with the current creation settings.
int CreateBlankImage(int32_t width, int32_t height);
// A new image showing the rectangle of the source (sharing its pixels); the
// size is cut to end inside the source. -1 for an invalid source, a start
// outside it or a size below 1; 0 while drawing is suspended.
int DeriveImage(int32_t x, int32_t y, int32_t width, int32_t height, int32_t source);
// Deletes the image (a derived image gives up only its share of the pixels)
// and sets its lost flag. The second argument is kept for the caller's shape
// (0 here). -1 for an invalid handle.
int DeleteImage(int32_t image, int32_t reserved = 0);
// The image's lost flag: set to 0 now and to 1 when the image is deleted.
int SetImageLostFlag(int32_t image, int32_t* flag);
// The image's size; the draw-screen size for -2 and -4.
int GetImageSize(int32_t image, int32_t* width, int32_t* height);
// Fills the whole image with the colour (a rectangle fill under the blend
// state; an image with alpha gets the colour and alpha stored as they are; a
// colour-keyed image gets its transparent colour for an alpha below 128).
int FillImage(int32_t image, int32_t red, int32_t green, int32_t blue, int32_t alpha);
// The number of live image handles.
int32_t GetImageCount();

// Pictures into existing images. Each refuses (-1, logged) a handle that is
// not a live image, and every call before graphics start-up. The pixels are
// converted into the image's format (into the picture shared with derived
// images) and, while the device draws, into its textures. The image and every
// image sharing its picture forget their file name, so a reload after a lost
// device keeps the new pixels. An alpha picture gives the alpha: each pixel's
// blue channel (a grey picture's level); an image without alpha ignores it.
// The optionN and reservedN arguments are kept for the callers' shape (they
// pass 0 or the values their callers name) and change nothing.
struct PixelImage;
// The rectangle sourceRect of source (null: all of it; alphaSource, when
// given, is the same size as source) into the image at (destX, destY). The
// rectangle is cut to the source, and then to the image, the destination
// point moving with a cut left or top edge; -1 when nothing is left. The
// file name is kept for the caller's shape (null).
int UpdateImageFromBitmap(const PixelImage* source, int32_t reserved1, int32_t reserved2, const char* fileName,
                          int32_t reserved3, const PixelImage* alphaSource, int32_t reserved4, const RECT* sourceRect,
                          int32_t destX, int32_t destY, int32_t image, int32_t reserved5);
// The whole picture into an image of its size; -1 for another size.
int CopyPictureToImage(const PixelImage* picture, int32_t image);
// The picture, and alpha when not null, into an image of their size; -1 when
// a size differs.
int TransferPictureToImage(const PixelImage* picture, const PixelImage* alpha, int32_t image, int32_t option1,
                           int32_t option2, int32_t option3);
// Decodes the image file held in memory (any format the decoders read) into
// an existing image of its size; -1, the image unchanged, when it does not
// decode or its size differs.
int ReloadImageFromMemory(const void* fileImage, int32_t size, int32_t image, int32_t option1, int32_t option2,
                          int32_t option3, int32_t option4);

// Creation settings.
int SetBlankImageAlpha(int32_t flag);
int32_t GetBlankImageAlpha();
int SetImageBitDepth(int32_t bits);  // 0: the screen's; else 16 or 32
int32_t GetImageBitDepth();
// On (the default), an image made without alpha is colour-keyed: its
// transparent colour is cut out on the device too (an alpha-test texture),
// and what a picture's alpha leaves clear (below 128) becomes that colour
// when the picture goes into it. Off, its textures are opaque and pictures
// lose their alpha in it. The setting is taken when the image is made.
int SetUseColorKey(int32_t flag);
int32_t GetUseColorKey();
int SetHardwareAllowed(int32_t flag);  // refused (-1) once the library runs
int32_t IsHardwareAllowed();
// 1 while the Direct3D 9 device draws, 0 on the software path.
int32_t IsDirect3DActive();
int SetTransparentFringeFix(int32_t flag);
// The colour format images created with these properties get (the last
// argument is 0).
const ColorFormatInfo* GetImageColorFormat(int32_t alphaChannel, int32_t alphaTest, int32_t bits32, int32_t reserved);

// ---- drawing ------------------------------------------------------------------
// Each draws in the current blend mode, brightness and blend image, clipped to
// the draw area; transparent 1 leaves the transparent colour (or alpha 0)
// undrawn. 0, or -1 for an invalid image handle (-1 included).
int DrawImage(int32_t x, int32_t y, int32_t image, int32_t transparent);
// The rectangle (sourceX, sourceY, width, height) of the image with its
// top-left at (x, y); mirrored 1 shows that rectangle mirrored left to right.
int DrawImageRect(int32_t x, int32_t y, int32_t sourceX, int32_t sourceY, int32_t width, int32_t height,
                  int32_t image, int32_t transparent, int32_t mirrored);
// The whole image scaled onto the rectangle of the corners (x1, y1), (x2, y2)
// (right and bottom exclusive); x1 > x2 or y1 > y2 mirrors that axis.
int DrawImageStretched(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t image, int32_t transparent);
// A rectangle of the image stretched onto the float rectangle (truncated).
int DrawImageRectStretched(float x1, float y1, float x2, float y2, int32_t sourceX, int32_t sourceY,
                           int32_t width, int32_t height, int32_t image, int32_t transparent);
// The whole image onto four corners: top-left, top-right, bottom-right,
// bottom-left. On the device the corners are used as they stand (pixel
// centres on whole coordinates: corners less 0.5 put texel centres on pixel
// centres); in software they are cut to whole pixels toward zero.
int DrawImageQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int32_t image,
                  int32_t transparent);
// The rectangle with corners (x1, y1) and (x2, y2), right and bottom exclusive:
// filled 1 filled, 0 a one-pixel outline. The colour is a MakeColor value.
int DrawRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color, int32_t filled);
int FillRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color);
int OutlineRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color);
// Stores the background colour into the rectangle of the draw target (null:
// the whole target), clipped to the target, without blending.
int ClearDrawTarget(const RECT* rect);

// ---- present -------------------------------------------------------------------
// Waits for the vertical blank and shows the screen in the main window.
int PresentScreen();
// Shows the screen again without waiting (the window's repaint).
int FlushSubBufferAndPresent();
// Screens presented since graphics started.
int32_t GetPresentCount();

// Copies the rectangle (x1, y1)-(x2, y2) of the draw target into the image
// with its top-left at (destX, destY); what does not fit the image is left
// out. 0, or -1 for an invalid image, rectangle or destination.
int CopyScreenToImage(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t destX, int32_t destY, int32_t image);
// The call that puts every image's pixels back after the device was made anew
// (null: every image is reloaded from its file).
using ImageRestoreCallback = void (*)();
int SetImageRestoreCallback(ImageRestoreCallback callback);

// ---- mask screen brackets (nothing switches the mask screen on here) -------
int BeginMaskDraw(RECT rect);
int EndMaskDraw(RECT rect);

// ---- frame capture ----------------------------------------------------------------
// Writes the picture the main window shows (as last presented) to a PNG file.
int SaveScreenToPng(const char* path);
// Captures the picture of present number frame (counted from 1 since graphics
// start) to path; frame 0 or less cancels. The environment variables
// VELUMI_CAPTURE_FRAME and VELUMI_CAPTURE_FILE (default "capture.png") ask
// for the same at graphics start.
int SetFrameCapture(int32_t frame, const char* path);
// Writes width x height pixels 0xAARRGGBB (rows top-down) to a PNG file,
// through a temporary file renamed into place; withAlpha 0 writes RGB.
int WritePngFile(const char* path, const uint32_t* pixels, int32_t width, int32_t height, int32_t withAlpha);
