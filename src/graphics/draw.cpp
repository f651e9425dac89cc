// The drawing calls: images (plain, rectangle, mirrored, stretched, on four
// corners), rectangles and the clear, dispatched to the software renderer.
#include "core/log.h"
#include "core/utility.h"
#include "d3d9/d3d9_backend.h"
#include "graphics/graphics_internal.h"
#include "movie/movie.h"
#include "softrender/soft_draw.h"

#include <algorithm>
#include <cstdint>

namespace {

bool Suspended() { return g_drawState.drawingSuspended != 0; }

int32_t Saturate(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }
bool FitsInt32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

// The image to draw, or null (logged); also null without a draw target. An
// image bound to a movie first takes the movie's frame for now.
ImageRecord* ImageToDraw(int32_t image, const char* caller) {
    ImageRecord* record = FindImageLogged(image, caller);
    if (record == nullptr || Targets().current == nullptr) return nullptr;
    if (record->movieHandle != -1) UpdateMovieFrame(record->movieHandle, 0);
    return record;
}

bool HasTarget(const char* caller) {
    if (Targets().current != nullptr) return true;
    WriteLogFormatted("描画先がありません in %s", caller);
    return false;
}

// The blend image to hand to a draw of an image of that size: the blend copy
// grown when needed, or none when it cannot be.
const MEMIMG* BlendFor(int32_t width, int32_t height) {
    return CheckBlendImageSize(width, height) ? Targets().blend : nullptr;
}

// Saves the draw area and narrows it to its intersection with the rectangle;
// the destructor puts it back.
class NarrowedDrawArea {
public:
    NarrowedDrawArea(int64_t left64, int64_t top64, int64_t right64, int64_t bottom64) : saved_(g_drawState) {
        const int32_t left = Saturate(left64), top = Saturate(top64);
        const int32_t right = Saturate(right64), bottom = Saturate(bottom64);
        const DrawState& d = g_drawState;
        int32_t l = std::max(left, d.drawAreaLeft), t = std::max(top, d.drawAreaTop);
        int32_t r = std::min(right, d.drawAreaRight), b = std::min(bottom, d.drawAreaBottom);
        StoreDrawArea(l, t, std::max(l, r), std::max(t, b));
    }
    ~NarrowedDrawArea() {
        DrawState& d = g_drawState;
        SetDrawStateArea(saved_.drawAreaLeft, saved_.drawAreaTop, saved_.drawAreaRight, saved_.drawAreaBottom);
        d.drawAreaLeftF = saved_.drawAreaLeftF;
        d.drawAreaTopF = saved_.drawAreaTopF;
        d.drawAreaRightF = saved_.drawAreaRightF;
        d.drawAreaBottomF = saved_.drawAreaBottomF;
        d.drawAreaEmpty = saved_.drawAreaEmpty;
    }
    NarrowedDrawArea(const NarrowedDrawArea&) = delete;
    NarrowedDrawArea& operator=(const NarrowedDrawArea&) = delete;

private:
    DrawState saved_;
};

// Brackets a draw with the mask screen while it is on.
class MaskBracket {
public:
    MaskBracket(int32_t left, int32_t top, int32_t right, int32_t bottom)
        : on_(Settings().maskInEffect != 0), rect_{left, top, right, bottom} {
        if (on_) BeginMaskDraw(rect_);
    }
    ~MaskBracket() {
        if (on_) EndMaskDraw(rect_);
    }
    MaskBracket(const MaskBracket&) = delete;
    MaskBracket& operator=(const MaskBracket&) = delete;

private:
    bool on_;
    RECT rect_;
};

bool OnDevice() { return Screen().d3dActive != 0; }

// Subtractive blending on a device that cannot subtract: the destination is
// inverted, the draw added, and the destination inverted again.
class SubtractBracket {
public:
    SubtractBracket(int32_t left, int32_t top, int32_t right, int32_t bottom)
        : on_(OnDevice() && g_drawState.blendMode == kBlendSubtract && !Device().blendOpCap),
          rect_{left, top, right, bottom} {
        if (on_) BeginSubtractPass(&rect_);
    }
    ~SubtractBracket() {
        if (on_) EndSubtractPass(&rect_);
    }
    SubtractBracket(const SubtractBracket&) = delete;
    SubtractBracket& operator=(const SubtractBracket&) = delete;

private:
    bool on_;
    RECT rect_;
};

// The destination rectangle inverted by a white box in the inverting mode.
void InvertOnDevice(const RECT* rect) {
    const int32_t parameter = g_drawState.blendParameter;
    SetBlendMode(kBlendSubtract, parameter);
    VertexBatch& b = Device().batch;
    const uint32_t saved = b.drawColor;
    b.drawColor = 0xFFFFFFFF;
    DrawFillBoxHardware(rect->left, rect->top, rect->right, rect->bottom, MakeColor(255, 255, 255));
    b.drawColor = saved;
}

// The whole image with its top-left at (x, y), unscaled.
void BlitImage(ImageRecord* record, int32_t x, int32_t y, int32_t transparent) {
    if (g_drawState.drawAreaEmpty) return;
    const int32_t right = Saturate(int64_t{x} + record->width), bottom = Saturate(int64_t{y} + record->height);
    MaskBracket mask(x, y, right, bottom);
    if (OnDevice() && record->tileCount > 0) {
        SubtractBracket subtract(x, y, right, bottom);
        DrawImageHardware(record, x, y, static_cast<float>(x), static_cast<float>(y), transparent, 1);
        return;
    }
    BlitMemImg(Targets().current, &record->memImg, x, y, transparent, BlendFor(record->width, record->height));
}

// The image scaled onto the corners (x1 > x2 or y1 > y2 mirrors); source is
// its pixels for the software path. The device takes the float corners f
// (image bit 0) when given, else the integer ones (image bit 1).
void StretchImage(const ImageRecord* record, const MEMIMG* source, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                  int32_t transparent, const float* f = nullptr) {
    if (g_drawState.drawAreaEmpty) return;
    MaskBracket mask(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
    if (OnDevice() && record->tileCount > 0) {
        SubtractBracket subtract(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
        const float whole[4] = {static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2),
                                static_cast<float>(y2)};
        const float* c = f != nullptr ? f : whole;
        DrawImageStretchHardware(record, x1, y1, x2, y2, c[0], c[1], c[2], c[3], transparent, f != nullptr ? 0 : 1);
        return;
    }
    const int32_t corners[4] = {x1, y1, x2, y2};
    BlitMemImgStretch(Targets().current, source, corners, transparent, BlendFor(source->width, source->height));
}

// The whole image onto the corners top-left (x1, y1), top-right (x2, y2),
// bottom-left (x3, y3) and bottom-right (x4, y4) in software: two triangles
// sharing the edge from the second to the third corner.
int DrawImageQuadIntSoftware(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4,
                             int32_t y4, const ImageRecord* record, int32_t transparent) {
    const int32_t w = record->width, h = record->height;
    const MEMIMG* blend = BlendFor(w, h);
    const TriangleVertex first[3] = {{x1, y1, 0, 0}, {x2, y2, w, 0}, {x3, y3, 0, h}};
    const TriangleVertex second[3] = {{x2, y2, w, 0}, {x3, y3, 0, h}, {x4, y4, w, h}};
    DrawMemImgTriangle(Targets().current, &record->memImg, first, transparent, blend, 0);
    DrawMemImgTriangle(Targets().current, &record->memImg, second, transparent, blend, 0);
    return 0;
}

// The same with float corners, each truncated toward zero.
int DrawImageQuadFloatSoftware(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                               const ImageRecord* record, int32_t transparent) {
    return DrawImageQuadIntSoftware(FloatToInt(x1), FloatToInt(y1), FloatToInt(x2), FloatToInt(y2), FloatToInt(x3),
                                    FloatToInt(y3), FloatToInt(x4), FloatToInt(y4), record, transparent);
}

// The clear on the device: the whole target's viewport, the rectangle cut to
// it, the draw area's viewport put back.
int ClearDeviceTarget(const RECT* rect, const GraphicsSettings& g) {
    FlushVertexBatch();
    EndDeviceScene();
    DeviceBlock& device = Device();
    if (device.drawRefusal || device.device == nullptr) return 0;
    const DrawState& d = g_drawState;
    SetDeviceViewportRect(0, 0, d.drawTargetWidth, d.drawTargetHeight);
    const D3DCOLOR color = static_cast<D3DCOLOR>(0xFF000000u | (g.backgroundRed << 16) | (g.backgroundGreen << 8) |
                                                 g.backgroundBlue);
    device.device->Clear(rect != nullptr ? 1 : 0, rect, D3DCLEAR_TARGET, color, 1.0f, 0);
    if (!d.drawAreaEmpty) SetDeviceViewportRect(d.drawAreaLeft, d.drawAreaTop, d.drawAreaRight, d.drawAreaBottom);
    return 0;
}

}  // namespace

int BeginSubtractPass(const RECT* rect) {
    if (!OnDevice() || rect == nullptr) return 0;
    InvertOnDevice(rect);
    SetBlendMode(5, g_drawState.blendParameter);
    return 0;
}

int EndSubtractPass(const RECT* rect) {
    if (!OnDevice() || rect == nullptr) return 0;
    InvertOnDevice(rect);
    SetBlendMode(kBlendSubtract, g_drawState.blendParameter);
    return 0;
}

int DrawImage(int32_t x, int32_t y, int32_t image, int32_t transparent) {
    if (Suspended()) return 0;
    ImageRecord* record = ImageToDraw(image, "DrawImage");
    if (record == nullptr) return -1;
    BlitImage(record, x, y, transparent);
    return 0;
}

int DrawImageRect(int32_t x, int32_t y, int32_t sourceX, int32_t sourceY, int32_t width, int32_t height,
                  int32_t image, int32_t transparent, int32_t mirrored) {
    if (Suspended()) return 0;
    ImageRecord* record = ImageToDraw(image, "DrawImageRect");
    if (record == nullptr) return -1;
    if (width <= 0 || height <= 0) return 0;
    NarrowedDrawArea area(x, y, int64_t{x} + width, int64_t{y} + height);
    // Mirrored, the whole image is placed so that its column sourceX + width - 1
    // lands at x: the narrowed area then shows the wanted rectangle mirrored.
    const int64_t left = mirrored ? int64_t{x} - (int64_t{record->width} - sourceX - width) : int64_t{x} - sourceX;
    const int64_t top = int64_t{y} - sourceY;
    // A placement beyond the coordinate range cannot reach the draw area.
    if (!FitsInt32(left) || !FitsInt32(top) || !FitsInt32(top + record->height) || !FitsInt32(left + record->width)) return 0;
    if (!mirrored) {
        BlitImage(record, static_cast<int32_t>(left), static_cast<int32_t>(top), transparent);
        return 0;
    }
    StretchImage(record, &record->memImg, static_cast<int32_t>(left + record->width), static_cast<int32_t>(top),
                 static_cast<int32_t>(left), static_cast<int32_t>(top + record->height), transparent);
    return 0;
}

int DrawImageStretched(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t image, int32_t transparent) {
    if (Suspended()) return 0;
    ImageRecord* record = ImageToDraw(image, "DrawImageStretched");
    if (record == nullptr) return -1;
    StretchImage(record, &record->memImg, x1, y1, x2, y2, transparent);
    return 0;
}

int DrawImageRectStretched(float x1, float y1, float x2, float y2, int32_t sourceX, int32_t sourceY,
                           int32_t width, int32_t height, int32_t image, int32_t transparent) {
    if (Suspended()) return 0;
    ImageRecord* record = ImageToDraw(image, "DrawImageRectStretched");
    if (record == nullptr) return -1;
    if (sourceX < 0 || sourceY < 0 || sourceX >= record->width || sourceY >= record->height || width < 1 ||
        height < 1) {
        return WriteLogFormatted("描画元の範囲が不正です(%d, %d, %d x %d) in DrawImageRectStretched", sourceX,
                                 sourceY, width, height);
    }
    // A temporary view on the rectangle, cut to the image as DeriveImage cuts.
    ImageRecord part = *record;
    part.x = record->x + sourceX;
    part.y = record->y + sourceY;
    part.width = std::min(width, record->width - sourceX);
    part.height = std::min(height, record->height - sourceY);
    part.tiles = nullptr;
    part.tileCount = 0;
    DeriveMemImg(&part.memImg, &record->memImg, sourceX, sourceY, width, height);
    if (OnDevice() && record->tileCount > 0 && !BuildImageTiles(&part)) WriteLog("描画タイルのメモリ確保に失敗しました\n");
    const float corners[4] = {x1, y1, x2, y2};
    StretchImage(&part, &part.memImg, FloatToInt(x1), FloatToInt(y1), FloatToInt(x2), FloatToInt(y2), transparent,
                 corners);
    FreeImageTiles(&part);
    ReleaseMemImg(&part.memImg);
    return 0;
}

int DrawImageQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int32_t image,
                  int32_t transparent) {
    if (Suspended()) return 0;
    ImageRecord* record = ImageToDraw(image, "DrawImageQuad");
    if (record == nullptr) return -1;
    if (g_drawState.drawAreaEmpty) return 0;
    // The mask bracket covers the box of the truncated corners (top-left, top-right, bottom-left, bottom-right).
    const int32_t tlx = FloatToInt(x1), tly = FloatToInt(y1), trx = FloatToInt(x2), try_ = FloatToInt(y2);
    const int32_t blx = FloatToInt(x4), bly = FloatToInt(y4), brx = FloatToInt(x3), bry = FloatToInt(y3);
    const int32_t left = std::min({tlx, trx, blx, brx}), top = std::min({tly, try_, bly, bry});
    const int32_t right = Saturate(int64_t{std::max({tlx, trx, blx, brx})} + 1);
    const int32_t bottom = Saturate(int64_t{std::max({tly, try_, bly, bry})} + 1);
    MaskBracket mask(left, top, right, bottom);
    if (OnDevice() && record->tileCount > 0) {
        SubtractBracket subtract(left, top, right, bottom);
        const float corners[8] = {x1, y1, x2, y2, x4, y4, x3, y3};
        DrawImageQuadHardware(record, corners, transparent);
        return 0;
    }
    return DrawImageQuadFloatSoftware(x1, y1, x2, y2, x4, y4, x3, y3, record, transparent);
}

int FillRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color) {
    if (Suspended()) return 0;
    if (!HasTarget("FillRectangle")) return -1;
    MaskBracket mask(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
    if (OnDevice()) {
        SubtractBracket subtract(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
        DrawFillBoxHardware(x1, y1, x2, y2, color);
        return 0;
    }
    RECT rect{x1, y1, x2, y2};
    FillMemImgRect(Targets().current, &rect, color);
    return 0;
}

int OutlineRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color) {
    if (Suspended()) return 0;
    if (!HasTarget("OutlineRectangle")) return -1;
    int32_t left = std::min(x1, x2), right = std::max(x1, x2);
    int32_t top = std::min(y1, y2), bottom = std::max(y1, y2);
    if (left == right || top == bottom) return 0;
    MaskBracket mask(left, top, right, bottom);
    if (OnDevice()) {
        SubtractBracket subtract(left, top, right, bottom);
        DrawLineHardware(left, top, right, bottom, color);
        return 0;
    }
    const auto c = static_cast<int32_t>(color);
    const int32_t p = g_drawState.blendParameter;
    const MemImgLineRecord lines[4] = {
        {left, top, right - 1, top, c, p},
        {right - 1, top, right - 1, bottom - 1, c, p},
        {right - 1, bottom - 1, left, bottom - 1, c, p},
        {left, bottom - 1, left, top, c, p},
    };
    DrawMemImgLineList(Targets().current, lines, 4);
    return 0;
}

int DrawRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color, int32_t filled) {
    return filled ? FillRectangle(x1, y1, x2, y2, color) : OutlineRectangle(x1, y1, x2, y2, color);
}

int ClearDrawTarget(const RECT* rect) {
    MEMIMG* target = Targets().current;
    if (!Screen().started || target == nullptr) {
        return WriteLog("グラフィックスが初期化されていません in ClearDrawTarget\n");
    }
    const GraphicsSettings& g = Settings();
    if (OnDevice()) return ClearDeviceTarget(rect, g);
    ClearMemImg(target, rect,
                MakeMemImgColor(target->base->colorType, g.backgroundRed, g.backgroundGreen, g.backgroundBlue));
    return 0;
}
