// One-colour pixel kernels: the blend of a constant colour into a destination
// pixel, per mode and pixel format. Shared by the rectangle fill, the line and
// the one-colour triangle (not part of the interface).
#pragma once

#include "softrender/soft_common.h"

namespace soft {

struct ColorRule {
    int32_t mode;        // 1 with p = 255 has become 0
    uint32_t color;      // after brightness; 16-bit colours in the low 16 bits
    uint32_t p;
    const int32_t* tp;   // T row of p at x = 0
    uint32_t packed;     // modes 2 and 3: S(p, c) packed like a pixel
    int32_t ch[3];       // channels of the colour: blue, green, red
    int32_t inv[3];      // mode 10: maximum - channel
};

// Brightness of the rectangle fill and the line: (channel x b) >> 8 per
// channel or field, only when the brightness is not white; the 32-bit top
// byte stays.
inline uint32_t ShiftBrightness(int32_t colorType, uint32_t c) {
    if (IsWhiteBrightness()) return c;
    const DrawState& s = g_drawState;
    if (colorType == kMemImgX8R8G8B8) {
        uint32_t b = ((c & 0xFF) * s.brightnessBlue) >> 8;
        uint32_t g = (((c >> 8) & 0xFF) * s.brightnessGreen) >> 8;
        uint32_t r = (((c >> 16) & 0xFF) * s.brightnessRed) >> 8;
        return (c & 0xFF000000) | (r << 16) | (g << 8) | b;
    }
    uint32_t r = ((c >> 11) * s.brightnessRed) >> 8;
    uint32_t g = (((c >> 5) & 63) * s.brightnessGreen) >> 8;
    uint32_t b = ((c & 31) * s.brightnessBlue) >> 8;
    return (r << 11) | (g << 5) | b;
}

// Brightness of the one-colour triangle: S[b][channel], whatever the
// brightness (white leaves the colour unchanged).
inline uint32_t ScaleBrightness(int32_t colorType, uint32_t c) {
    const DrawState& s = g_drawState;
    if (colorType == kMemImgX8R8G8B8) {
        uint32_t b = ScaleRow(s.brightnessBlue)[c & 0xFF];
        uint32_t g = ScaleRow(s.brightnessGreen)[(c >> 8) & 0xFF];
        uint32_t r = ScaleRow(s.brightnessRed)[(c >> 16) & 0xFF];
        return (c & 0xFF000000) | (r << 16) | (g << 8) | b;
    }
    uint32_t r = ScaleRow(s.brightnessRed)[c >> 11];
    uint32_t g = ScaleRow(s.brightnessGreen)[(c >> 5) & 63];
    uint32_t b = ScaleRow(s.brightnessBlue)[c & 31];
    return (r << 11) | (g << 5) | b;
}

// Chooses the kernel for the colour (already brightened); false when the
// draw state's mode draws nothing.
inline bool SetUpColorRule(ColorRule* rule, int32_t colorType, uint32_t color) {
    int32_t mode = g_drawState.blendMode;
    uint32_t p = BlendParameter();
    if (!IsDrawingMode(mode)) return false;
    if ((mode == 1 || mode == 2 || mode == 3) && p == 0) return false;
    if (mode == 1 && p == 255) mode = 0;
    rule->mode = mode;
    rule->color = color;
    rule->p = p;
    rule->tp = DifferenceRow(p);
    const uint32_t* sp = ScaleRow(p);
    if (colorType == kMemImgX8R8G8B8) {
        for (int i = 0; i < 3; ++i) {
            rule->ch[i] = static_cast<int32_t>((color >> (8 * i)) & 0xFF);
            rule->inv[i] = 255 - rule->ch[i];
        }
        rule->packed = sp[rule->ch[0]] | (sp[rule->ch[1]] << 8) | (sp[rule->ch[2]] << 16);
    } else {
        rule->ch[0] = static_cast<int32_t>(color & 31);
        rule->ch[1] = static_cast<int32_t>((color >> 5) & 63);
        rule->ch[2] = static_cast<int32_t>(color >> 11);
        rule->inv[0] = 31 - rule->ch[0];
        rule->inv[1] = 63 - rule->ch[1];
        rule->inv[2] = 31 - rule->ch[2];
        rule->packed = sp[rule->ch[0]] | (sp[rule->ch[1]] << 5) | (sp[rule->ch[2]] << 11);
    }
    return true;
}

template <int Mode>
inline void ColorPixel32(const ColorRule& r, uint8_t* dp) {
    if constexpr (Mode == 0) {
        Store32(dp, r.color);
    } else if constexpr (Mode == 2) {
        Store32(dp, PackedAdd32(Load32(dp), r.packed));
    } else if constexpr (Mode == 3) {
        Store32(dp, PackedSubtract32(Load32(dp), r.packed));
    } else {
        uint32_t d = Load32(dp);
        uint32_t out = d & 0xFF000000;
        for (int i = 0; i < 3; ++i) {
            int32_t dc = static_cast<int32_t>((d >> (8 * i)) & 0xFF);
            int32_t v;
            if constexpr (Mode == 1) {
                v = (256 * dc + static_cast<int32_t>(r.p) * (r.ch[i] - dc)) >> 8;
            } else if constexpr (Mode == 4) {
                v = (dc * r.ch[i]) >> 8;
            } else if constexpr (Mode == 10) {
                v = (256 * dc + static_cast<int32_t>(r.p) * (r.inv[i] - dc)) >> 8;
            } else {
                int32_t t = (dc * r.ch[i]) >> 8;
                v = (256 * dc + static_cast<int32_t>(r.p) * (t - dc)) >> 8;
            }
            out |= static_cast<uint32_t>(v) << (8 * i);
        }
        Store32(dp, out);
    }
}

template <int Mode>
inline void ColorPixel16(const ColorRule& r, uint8_t* dp) {
    if constexpr (Mode == 0) {
        Store16(dp, r.color);
    } else if constexpr (Mode == 2) {
        Store16(dp, PackedAdd16(Load16(dp), r.packed));
    } else if constexpr (Mode == 3) {
        Store16(dp, PackedSubtract16(Load16(dp), r.packed));
    } else {
        uint32_t d = Load16(dp);
        static constexpr int kShift[3] = {0, 5, 11};
        static constexpr int32_t kMask[3] = {31, 63, 31};
        static constexpr int kWidth[3] = {5, 6, 5};
        uint32_t out = 0;
        for (int i = 0; i < 3; ++i) {
            int32_t dc = static_cast<int32_t>(d >> kShift[i]) & kMask[i];
            int32_t v;
            if constexpr (Mode == 1) {
                v = dc + r.tp[r.ch[i] - dc];
            } else if constexpr (Mode == 4) {
                v = (dc * r.ch[i]) >> kWidth[i];
            } else if constexpr (Mode == 10) {
                v = dc + r.tp[r.inv[i] - dc];
            } else {
                int32_t t = (dc * r.ch[i]) >> kWidth[i];
                v = dc + r.tp[t - dc];
            }
            out |= static_cast<uint32_t>(v) << kShift[i];
        }
        Store16(dp, out);
    }
}

// Calls fn.template operator()<Mode>() with the rule's mode as a constant.
template <typename Fn>
inline void DispatchColorMode(int32_t mode, Fn&& fn) {
    switch (mode) {
    case 0: fn.template operator()<0>(); break;
    case 1: fn.template operator()<1>(); break;
    case 2: fn.template operator()<2>(); break;
    case 3: fn.template operator()<3>(); break;
    case 4: fn.template operator()<4>(); break;
    case 10: fn.template operator()<10>(); break;
    case 11: fn.template operator()<11>(); break;
    default: break;
    }
}

}  // namespace soft
