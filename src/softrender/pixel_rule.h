// The per-pixel rule by which a pixel of a source image is blended into the
// destination: source kind, transparency, source alpha, brightness, blend
// image and blend mode. Chosen once per draw call (SetUpPixelRule) and then
// applied by BlendImagePixel<Kind, Mode>, whose mode is a compile-time
// constant. Shared by the unscaled blit, the stretched blit and the textured
// triangle (not part of the interface).
#pragma once

#include "softrender/soft_common.h"

namespace soft {

enum SourceKind : int32_t {
    kPalette32 = 0,     // index bytes into 32-bit entries
    kDirect32 = 1,      // X8R8G8B8, with or without alpha
    kPalette16 = 2,     // index bytes into R5G6B5 entries
    kDirect16 = 3,      // R5G6B5 words
    kDirect16Alpha = 4  // R5G6B5 word, alpha byte, one spare byte
};

template <int Kind>
inline constexpr bool kIs32Bit = Kind == kPalette32 || Kind == kDirect32;
template <int Kind>
inline constexpr int kSourceBytes = (Kind == kDirect32 || Kind == kDirect16Alpha) ? 4 : Kind == kDirect16 ? 2 : 1;
template <int Kind>
inline constexpr int kDestBytes = kIs32Bit<Kind> ? 4 : 2;

struct PixelRule {
    int32_t kind;
    int32_t mode;          // 1 with p = 255 has become 0
    uint32_t p;
    bool white;            // brightness 255, 255, 255
    bool trans;            // transparency flag of the call
    bool alpha;            // direct source whose pixels carry alpha
    bool blend;            // a blend image is given
    bool plainCopy;        // mode 0, white, no blend image, no source alpha
    bool fullSubtract;     // mode 3, p = 255, white, no blend image, no source alpha
    uint32_t transColor;   // index, or pixel value (16 bits for 16-bit sources)
    const uint32_t* palette32;
    const uint16_t* palette16;
    const uint32_t* sp;    // S row of p
    const int32_t* tp;     // T row of p at x = 0
    const uint32_t* bright[3];  // S rows of the brightness: blue, green, red
    const uint8_t* ramp;
};

// Fills the rule from the draw state and the source; false when the call
// draws nothing (single-channel source, or a mode that draws nothing).
inline bool SetUpPixelRule(PixelRule* r, const MemImgBase* src, int32_t transFlag, bool hasBlend) {
    const DrawState& s = g_drawState;
    if (src->colorType == kMemImgX8R8G8B8) {
        r->kind = src->paletteFlag == 1 ? kPalette32 : kDirect32;
    } else if (src->colorType == kMemImgR5G6B5) {
        r->kind = src->paletteFlag == 1 ? kPalette16 : (src->alphaFlag == 1 ? kDirect16Alpha : kDirect16);
    } else {
        return false;
    }
    const bool palette = r->kind == kPalette32 || r->kind == kPalette16;
    if (palette && src->palette == nullptr) return false;
    int32_t mode = s.blendMode;
    uint32_t p = BlendParameter();
    if (!IsDrawingMode(mode)) return false;
    if ((mode == 1 || mode == 2) && p == 0) return false;
    if (mode == 3 && p == 0 && !palette) return false;
    if (mode == 1 && p == 255) mode = 0;
    r->mode = mode;
    r->p = p;
    r->white = IsWhiteBrightness();
    r->trans = transFlag != 0;
    r->alpha = !palette && src->alphaFlag == 1;
    r->blend = hasBlend;
    const bool plain = r->white && !hasBlend && !r->alpha;
    r->plainCopy = plain && mode == 0;
    r->fullSubtract = plain && mode == 3 && p == 255;
    r->transColor = src->transparentColor;
    if (r->kind == kDirect16 || r->kind == kDirect16Alpha) r->transColor &= 0xFFFF;
    r->palette32 = static_cast<const uint32_t*>(src->palette);
    r->palette16 = static_cast<const uint16_t*>(src->palette);
    r->sp = ScaleRow(p);
    r->tp = DifferenceRow(p);
    r->bright[0] = ScaleRow(s.brightnessBlue);
    r->bright[1] = ScaleRow(s.brightnessGreen);
    r->bright[2] = ScaleRow(s.brightnessRed);
    r->ramp = g_memImgTables.blendImageRamp;
    return true;
}

// Blends the source pixel at sp (with the blend-image byte at bp when the rule
// has a blend image) into the destination pixel at dp.
template <int Kind, int Mode>
inline void BlendImagePixel(const PixelRule& r, const uint8_t* sp, const uint8_t* bp, uint8_t* dp) {
    constexpr bool k32 = kIs32Bit<Kind>;
    constexpr int kShift[3] = {0, k32 ? 8 : 5, k32 ? 16 : 11};
    constexpr uint32_t kMax[3] = {k32 ? 255u : 31u, k32 ? 255u : 63u, k32 ? 255u : 31u};
    constexpr int kWidth[3] = {k32 ? 8 : 5, k32 ? 8 : 6, k32 ? 8 : 5};
    constexpr bool kUsesP = Mode == 1 || Mode == 2 || Mode == 3 || Mode == 10 || Mode == 11;

    // Fetch and transparency.
    uint32_t v;
    uint32_t a = 0;
    bool useAlpha = false;
    if constexpr (Kind == kPalette32 || Kind == kPalette16) {
        uint32_t index = *sp;
        if (r.trans && index == r.transColor) return;
        v = Kind == kPalette32 ? r.palette32[index] : r.palette16[index];
    } else if constexpr (Kind == kDirect32 || Kind == kDirect16Alpha) {
        v = k32 ? Load32(sp) : Load16(sp);
        if (k32 && !r.alpha) {
            if (r.trans && v == r.transColor) return;
        } else {
            a = k32 ? (v >> 24) : sp[2];
            if (r.trans) {
                if (a == 0) return;
                useAlpha = a != 255;
            } else {
                useAlpha = true;
            }
        }
    } else {
        v = Load16(sp);
        if (r.trans && v == r.transColor) return;
    }

    // Factors: blend value, alpha, parameter.
    uint64_t pf = 1;
    int n = 0;
    uint32_t rv = 0;
    if (r.blend) {
        rv = r.ramp[*bp];
        pf *= rv;
        ++n;
    }
    if (useAlpha) {
        pf *= a;
        ++n;
    }
    if constexpr (kUsesP) {
        pf *= r.p;
        ++n;
    }

    uint32_t c[3], s[3];
    for (int i = 0; i < 3; ++i) {
        c[i] = (v >> kShift[i]) & kMax[i];
        s[i] = r.white ? c[i] : r.bright[i][c[i]];
    }
    auto pack = [&](const uint32_t* ch) { return ch[0] | (ch[1] << kShift[1]) | (ch[2] << kShift[2]); };

    if constexpr (Mode == 0) {
        if (n == 0) {
            if (r.white) {
                if constexpr (k32) Store32(dp, v);
                else Store16(dp, v);
            } else {
                if constexpr (k32) Store32(dp, (Load32(dp) & 0xFF000000) | pack(s));
                else Store16(dp, pack(s));
            }
            return;
        }
    }

    const uint32_t d = k32 ? Load32(dp) : Load16(dp);
    uint32_t dc[3];
    for (int i = 0; i < 3; ++i) dc[i] = (d >> kShift[i]) & kMax[i];
    uint32_t out[3];

    if constexpr (Mode == 2 || Mode == 3) {
        uint32_t t[3];
        for (int i = 0; i < 3; ++i) {
            if (n == 1) {
                t[i] = r.sp[s[i]];
            } else if (k32) {
                t[i] = static_cast<uint32_t>((s[i] * pf) >> (8 * n));
            } else if (n == 2) {
                t[i] = r.sp[(s[i] * (r.blend ? rv : a)) >> 8];
            } else {
                t[i] = r.sp[(s[i] * rv * a) >> 16];
            }
        }
        uint32_t packed = pack(t);
        uint32_t res;
        if constexpr (k32) {
            res = Mode == 2 ? PackedAdd32(d, packed) : PackedSubtract32(d, packed);
            Store32(dp, res);
        } else {
            res = Mode == 2 ? PackedAdd16(d, packed) : PackedSubtract16(d, packed);
            Store16(dp, res);
        }
        return;
    } else if constexpr (Mode == 4) {
        for (int i = 0; i < 3; ++i) {
            out[i] = static_cast<uint32_t>((static_cast<uint64_t>(dc[i]) * s[i] * pf) >> (kWidth[i] + 8 * n));
        }
    } else {
        // Interpolating modes 0, 1, 10, 11: toward the target x.
        uint32_t x[3];
        for (int i = 0; i < 3; ++i) {
            if constexpr (Mode == 10) {
                x[i] = r.white ? kMax[i] - c[i] : r.bright[i][kMax[i] - c[i]];
            } else if constexpr (Mode == 11) {
                x[i] = (s[i] * dc[i]) >> kWidth[i];
            } else {
                x[i] = s[i];
            }
        }
        if (!k32 && n == 1 && kUsesP) {
            for (int i = 0; i < 3; ++i) {
                out[i] = static_cast<uint32_t>(static_cast<int32_t>(dc[i]) +
                                               r.tp[static_cast<int32_t>(x[i]) - static_cast<int32_t>(dc[i])]);
            }
        } else {
            for (int i = 0; i < 3; ++i) {
                int64_t sum = (static_cast<int64_t>(dc[i]) << (8 * n)) +
                              (static_cast<int64_t>(x[i]) - static_cast<int64_t>(dc[i])) * static_cast<int64_t>(pf);
                out[i] = static_cast<uint32_t>(sum >> (8 * n));
            }
        }
    }
    if constexpr (k32) {
        Store32(dp, (d & 0xFF000000) | pack(out));
    } else {
        Store16(dp, pack(out));
    }
}

// Calls fn.template operator()<Kind, Mode>() with the rule's kind and mode as
// constants.
template <int Kind, typename Fn>
inline void DispatchModeFor(int32_t mode, Fn&& fn) {
    switch (mode) {
    case 0: fn.template operator()<Kind, 0>(); break;
    case 1: fn.template operator()<Kind, 1>(); break;
    case 2: fn.template operator()<Kind, 2>(); break;
    case 3: fn.template operator()<Kind, 3>(); break;
    case 4: fn.template operator()<Kind, 4>(); break;
    case 10: fn.template operator()<Kind, 10>(); break;
    case 11: fn.template operator()<Kind, 11>(); break;
    default: break;
    }
}

template <typename Fn>
inline void DispatchImageRule(const PixelRule& r, Fn&& fn) {
    switch (r.kind) {
    case kPalette32: DispatchModeFor<kPalette32>(r.mode, fn); break;
    case kDirect32: DispatchModeFor<kDirect32>(r.mode, fn); break;
    case kPalette16: DispatchModeFor<kPalette16>(r.mode, fn); break;
    case kDirect16: DispatchModeFor<kDirect16>(r.mode, fn); break;
    case kDirect16Alpha: DispatchModeFor<kDirect16Alpha>(r.mode, fn); break;
    default: break;
    }
}

}  // namespace soft
