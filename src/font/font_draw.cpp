// DrawStringByFont: the checks, the mask-screen and subtract brackets, and
// the two paths: glyphs drawn through the device from the texture cache, or
// written from the software cache into the draw target, directly or through
// a screen-sized work image that the blend state then applies to as a whole.
#include "core/library.h"
#include "core/log.h"
#include "core/utility.h"
#include "font/font_internal.h"
#include "graphics/graphics.h"
#include "graphics/graphics_internal.h"
#include "platform/kernel32/kernel32.h"
#include "platform/user32/user32.h"
#include "softrender/soft_draw.h"

#include <algorithm>

namespace {

int32_t SaturatedAdd(int32_t a, int64_t b) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{a} + b, INT32_MIN, INT32_MAX));
}

RECT CurrentDrawArea() {
    const DrawState& d = g_drawState;
    return RECT{d.drawAreaLeft, d.drawAreaTop, d.drawAreaRight, d.drawAreaBottom};
}

// The draw area and brightness, saved and put back.
class SavedDrawSettings {
public:
    SavedDrawSettings() : area_(CurrentDrawArea()), red_(g_drawState.brightnessRed),
                          green_(g_drawState.brightnessGreen), blue_(g_drawState.brightnessBlue) {}
    ~SavedDrawSettings() {
        StoreDrawArea(area_.left, area_.top, area_.right, area_.bottom);
        SetDrawBrightness(red_, green_, blue_);
    }
    SavedDrawSettings(const SavedDrawSettings&) = delete;
    SavedDrawSettings& operator=(const SavedDrawSettings&) = delete;
    const RECT& Area() const { return area_; }

private:
    RECT area_;
    int32_t red_, green_, blue_;
};

// The transparent colour of the work image without alpha: its current one,
// moved on past every colour the string is drawn in (as passed in, and as
// written after the brightness).
uint32_t ChooseWorkKey(const MEMIMG* work, uint32_t color, uint32_t edgeColor) {
    const bool sixteen = work->base->colorType == kMemImgR5G6B5;
    const uint32_t mask = sixteen ? 0xFFFFu : 0xFFFFFFFFu;
    const int32_t type = work->base->colorType;
    const uint32_t taken[4] = {color & mask, edgeColor & mask, FontPixelValue(ScaleFontColor(color), type) & mask,
                               FontPixelValue(ScaleFontColor(edgeColor), type) & mask};
    uint32_t key = work->base->transparentColor & mask;
    for (bool clash = true; clash;) {
        clash = false;
        for (uint32_t t : taken)
            if (key == t) {
                key = (key + 1) & mask;
                clash = true;
            }
    }
    return key;
}

int DrawFontStringTexture(int32_t font, const char* text, int32_t x, int32_t y, uint32_t color, uint32_t edgeColor,
                          int32_t vertical) {
    FontRecord* r = GetFontRecord(font);
    if (r == nullptr || !r->textureFlag) return 0;
    SetupGlyphCacheImages(font);
    const RECT clip = CurrentDrawArea();
    DrawFontStringCore(1, x, y, 0, 1.0, 1.0, text, color, nullptr, &clip, 1, font, edgeColor, lstrlenA(text),
                       vertical, nullptr);
    return 0;
}

int DrawFontStringMemImg(int32_t font, const char* text, int32_t x, int32_t y, uint32_t color, uint32_t edgeColor,
                         int32_t vertical) {
    FontRecord* r = GetFontRecord(font);
    SoftwareTargets& t = Targets();
    if (r == nullptr || t.current == nullptr) return 0;
    int32_t size[2] = {0, 0};
    DrawFontStringCore(0, 0, 0, 0, 1.0, 1.0, text, 0, nullptr, nullptr, 0, font, 0, -1, vertical, size);
    const DrawState& d = g_drawState;
    const bool antialias = (r->type & kFontTypeAntialias) != 0;
    if (!antialias && (d.blendMode == kBlendNone || (d.blendMode == kBlendAlpha && d.blendParameter == 255))) {
        const RECT clip = CurrentDrawArea();
        DrawFontStringCore(1, x, y, 0, 1.0, 1.0, text, color, t.current, &clip, 1, font, edgeColor, -1, vertical,
                           nullptr);
        return 0;
    }
    MEMIMG* work = antialias ? &t.workAlpha : &t.work;
    if (!IsMemImgValid(work)) return 0;
    SavedDrawSettings saved;
    RECT stringArea{0, 0, size[0], size[1]};
    const RECT workArea{0, 0, work->width, work->height};
    ClipRect(&stringArea, &workArea);
    StoreDrawArea(stringArea.left, stringArea.top, stringArea.right, stringArea.bottom);
    const uint32_t key = antialias ? 0 : ChooseWorkKey(work, color, edgeColor);
    SetMemImgTransparentColor(work, key);
    ClearMemImg(work, &stringArea, key);
    DrawFontStringCore(1, 0, 0, 0, 1.0, 1.0, text, color, work, &stringArea, 1, font, edgeColor, -1, vertical,
                       nullptr);
    SetDrawBrightnessColor(0xFFFFFF);
    RECT target{x, y, SaturatedAdd(x, stringArea.right), SaturatedAdd(y, stringArea.bottom)};
    ClipRect(&target, &saved.Area());
    StoreDrawArea(target.left, target.top, target.right, target.bottom);
    if (!g_drawState.drawAreaEmpty) {
        const MEMIMG* blend = CheckBlendImageSize(work->width, work->height) ? t.blend : nullptr;
        BlitMemImg(t.current, work, x, y, 1, blend);
    }
    return 0;
}

}  // namespace

int DrawStringByFont(int32_t x, int32_t y, const char* text, uint32_t color, int32_t font, uint32_t edgeColor,
                     int32_t vertical) {
    const DrawState& d = g_drawState;
    if (text == nullptr || text[0] == '\0' || d.drawingSuspended || d.drawAreaEmpty) return 0;
    if (!CheckFontHandle(font)) return WriteLog("フォントハンドル値が異常です\n");
    const bool texture = GetFontRecord(font)->textureFlag != 0;
    WaitWhileInactive();
    if (!CheckFontHandle(font)) return WriteLog("フォントハンドル値が異常です\n");  // gone while waiting
    const bool mask = Settings().maskInEffect != 0;
    const bool needRect = (d.blendMode == kBlendSubtract && texture) || mask || d.drawTarget == kDrawTargetFront;
    RECT rect{};
    if (needRect) {
        const int32_t s = GetFontSize(font);
        if (vertical != 0) {
            SetRect(&rect, x, y, SaturatedAdd(x, int64_t{s} + 3), d.drawAreaBottom);
        } else {
            SetRect(&rect, x, y, d.drawAreaRight, SaturatedAdd(y, int64_t{s} + 3));
        }
        if (x >= d.drawAreaRight) return 0;
        if (mask) BeginMaskDraw(rect);
    }
    int result;
    if (texture) {
        const bool subtract = d.blendMode == kBlendSubtract && !DeviceHasBlendOperationCap();
        if (subtract) BeginFontSubtractPass(&rect);
        result = DrawFontStringTexture(font, text, x, y, color, edgeColor, vertical);
        if (subtract) EndFontSubtractPass(&rect);
    } else {
        result = DrawFontStringMemImg(font, text, x, y, color, edgeColor, vertical);
    }
    if (mask) EndMaskDraw(rect);
    return result;
}
