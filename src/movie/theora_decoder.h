// The library's own Ogg Theora player: one decoder per movie, with a decode
// thread that keeps a small stock of decoded frames (Y'CbCr planes) ahead of
// the movie's current frame, and the Y'CbCr to RGB conversion tables.
//
// The owner (the main thread) opens a decoder over an open file, moves its
// current frame with AdvanceTheoraFrames or SeekTheora, and asks for the
// current frame as a 32-bit picture with GetTheoraFrame. The decode thread
// owns the Ogg and Theora states and the file position while it runs; the two
// sides share only single words (atomics), no lock.
#pragma once

#include "file/file.h"
#include "image/pixel_image.h"

#include <cstdint>

struct TheoraDecoder;

// What GetTheoraInfo reports.
struct TheoraStreamInfo {
    double framesPerSecond;  // frame-rate numerator / denominator
    int32_t frameCount;      // video packets (frames) in the file
    int32_t width;           // the picture's size: what the movie shows
    int32_t height;
    int32_t pictureX;        // the picture's top-left corner within the coded frame
    int32_t pictureY;
    int32_t codedWidth;      // the coded frame: whole 16-pixel blocks around the picture
    int32_t codedHeight;
};

// Fills the Y'CbCr to RGB tables (once at library start-up); 0.
int InitYuvTables();

// Checks that the open file is an Ogg stream with a Theora track, reads its
// headers, indexes every page and key frame, starts the decode thread and
// decodes the first frame. The file functions are copied (seek, read and
// end-of-file are used, from the decode thread too); stockSize is the number
// of decoded frames kept ahead (10 for movies). Null when the file is not Ogg
// Theora (nothing logged), when the stream cannot be played (a frame beyond
// the size limit, no frame rate, a picture outside the frame: logged) or on a
// failure (logged). The file stays the
// caller's: close it after CloseTheora.
TheoraDecoder* OpenTheora(const FileFunctionTable* files, DWORD_PTR file, int32_t stockSize);
// Stops the decode thread and frees everything; 0. Null is ignored.
int CloseTheora(TheoraDecoder* decoder);

// Moves the current frame to frame (clamped to 0 .. frame count; a frame
// equal to the count leaves nothing to show and ends the decode thread); 0.
// A seek still being decoded is left off before its next packet for this one.
int SeekTheora(TheoraDecoder* decoder, int32_t frame);
// Moves the current frame on by count frames, wrapping past the end (a count
// larger than the movie wraps as often as needed); a count of 0 or less does
// nothing; 0.
int AdvanceTheoraFrames(TheoraDecoder* decoder, int32_t count);
int32_t GetTheoraCurrentFrame(const TheoraDecoder* decoder);
int GetTheoraInfo(const TheoraDecoder* decoder, TheoraStreamInfo* info);

// Brings the frame image (wantImage) up to the current frame, waiting for the
// decode thread when it has not stocked it yet. 1 when it delivered; 0 when
// there was nothing to do (already up to date), or no frame can come (the
// thread has ended, or the data ended before the frame).
// wantSurface asks the same of the Y'CbCr surface (when there is one).
int GetTheoraFrame(TheoraDecoder* decoder, int32_t wantImage, int32_t wantSurface);
// The X8R8G8B8 picture of the current frame: the stream's picture, without the
// padding of the coded frame around it (pixels in the order blue, green, red,
// 255).
PixelImage* GetTheoraImage(TheoraDecoder* decoder);
// The Direct3D 9 Y'CbCr surface (an IDirect3DSurface9 of the coded size in
// the device's default pool: the picture is the rectangle GetTheoraInfo states), made at open while that back end draws and the
// stream is 4:2:0; null otherwise. Its FourCC format, 0 without one, and
// whether it holds the current frame.
void* GetTheoraSurface(const TheoraDecoder* decoder);
uint32_t GetTheoraSurfaceFormat(const TheoraDecoder* decoder);
int32_t IsTheoraSurfaceUpToDate(const TheoraDecoder* decoder);
// Around a device re-creation: every open Theora movie's surface is released
// before the device goes and made anew (stale) on the new device. 0.
int ReleaseMovieSurfaces();
int RestoreMovieSurfaces();

// ---- for tests ----------------------------------------------------------------
// Thread states.
constexpr int32_t kTheoraStockFull = 0;
constexpr int32_t kTheoraDecoding = 1;
constexpr int32_t kTheoraSeeking = 2;
constexpr int32_t kTheoraEnded = 3;
constexpr int32_t kTheoraPaused = 4;
int32_t GetTheoraThreadState(const TheoraDecoder* decoder);
// 1 when the frame is a key frame, 0 when it is not, -1 outside the file.
int32_t IsTheoraKeyFrame(const TheoraDecoder* decoder, int32_t frame);
// The frame numbers the stock holds now, in entry order (-1 for a free entry);
// returns how many entries there are (at most capacity are written).
int32_t GetTheoraStockFrames(const TheoraDecoder* decoder, int32_t* frames, int32_t capacity);
// Tests: frame packets the decoder has decoded since the open.
int64_t GetTheoraFramesDecoded(const TheoraDecoder* decoder);
// 1 while the decode thread is asked to leave off what it does before its
// next packet: the decoder is being closed, or a new seek waits for it.
int32_t IsTheoraStopAsked(const TheoraDecoder* decoder);
// Tests: a function every decode thread calls before each packet it takes,
// just before it looks whether it is asked to stop (null: none; the start).
using TheoraPacketHook = void (*)(const TheoraDecoder* decoder);
void SetTheoraPacketHook(TheoraPacketHook hook);
// Page index entries: their count, and one entry's fields (-1 outside).
int32_t GetTheoraPageCount(const TheoraDecoder* decoder);
int GetTheoraPageEntry(const TheoraDecoder* decoder, int32_t index, uint32_t* offset, int32_t* firstFrame,
                       int32_t* keyFlag, int32_t* frameCount);

// The conversion of one set of planes to X8R8G8B8 (the frame image's
// conversion): 4:2:0 planes through the fixed-point tables, other layouts
// through the floating-point formula with the chroma sample that covers each
// pixel. Writes min(image, planes) pixels. Exposed for tests.
struct YuvPlanes {
    const uint8_t* y;
    const uint8_t* u;
    const uint8_t* v;
    int32_t yWidth, yHeight, yStride;
    int32_t uvWidth, uvHeight, uvStride;
    int32_t pictureX = 0, pictureY = 0;  // the luma sample converted into the image's top-left pixel
};
void ConvertYuvToImage(const YuvPlanes& planes, PixelImage* image);
