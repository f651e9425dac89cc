// Fonts on the device: the texture glyph cache (its images, the cache pixels'
// encoding, the cells at the cache's edge), strings drawn through the device
// compared with the same strings drawn in software, the subtract emulation,
// a lost cache image and the fonts after a device re-creation.
#include "device_test_util.h"

#include "../font/font_test_util.h"
#include "core/screen_log.h"
#include "font/font.h"
#include "font/font_internal.h"

namespace device_test {
namespace {

// One string of the comparison frame, drawn at its own place.
struct TextCase {
    const char* what;
    int32_t size, type, edge, vertical;
    int x, y;
    const char* text;
    int tolerance;  // per channel
};

// Plain glyphs are white texels times the colour: exact. Grey levels keep
// (level x 16 - 1) as alpha on the device and (level - 1) x 16 in software;
// an anti-aliased outline is blended in two passes on the device, and in
// one pixel of straight colour and alpha in software. Vertical writing
// turns each glyph through a four-corner draw of the cache image.
const TextCase kTexts[] = {
    {"plain", 16, 0, -1, 0, 4, 40, "Velumi 0123 ベルミ", 0},
    {"edged", 16, 1, 1, 0, 4, 64, "Edge ABC", 0},
    {"anti-aliased", 20, 2, -1, 0, 4, 88, "Smooth gq", 20},
    {"edged anti-aliased", 20, 3, 2, 0, 4, 116, "Both AB", 56},
    {"vertical", 16, 0, -1, 1, 290, 4, "縦書きAB", 0},
    {"vertical edged", 16, 1, 1, 1, 260, 4, "縦AB", 0},
};

class DeviceFontTest : public DeviceTest {
protected:
    // The frame: the on-screen log's two lines and every case's string.
    static void DrawFrame() {
        SetBackgroundColor(20, 30, 60);
        ClearDrawTarget(nullptr);
        SetScreenLogOutput(1);
        ClearScreenLog();
        AddScreenLogText("LOG line one\nログ二行目");
        DrawScreenLog();
        SetScreenLogOutput(0);
        for (const TextCase& c : kTexts) {
            const int32_t font = CreateFontToHandle(nullptr, c.size, -1, c.type, -1, c.edge, 0);
            ASSERT_GE(font, 0) << c.what;
            EXPECT_EQ(DrawStringByFont(c.x, c.y, c.text, MakeColor(255, 220, 60), font, MakeColor(160, 0, 0), c.vertical),
                      0)
                << c.what;
            DeleteFontHandle(font);
        }
    }
    // The frame as the software path draws it.
    Picture SoftwareFrame() {
        Start(ScreenMode{}, [] { SetHardwareAllowed(0); });
        EXPECT_EQ(Screen().d3dActive, 0);
        DrawFrame();
        Picture p(Targets().screen.width, Targets().screen.height, 0);
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) p.At(x, y) = graphics_test::ScreenPixel(x, y);
        EndScreenLog();
        return p;
    }
    static int LargestDifference(const Picture& a, const Picture& b, const RECT& r, int* inked) {
        int worst = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                for (int shift = 0; shift <= 16; shift += 8) {
                    const int ca = (a.At(x, y) >> shift) & 0xFF, cb = (b.At(x, y) >> shift) & 0xFF;
                    worst = std::max(worst, std::abs(ca - cb));
                }
                *inked += a.At(x, y) != 0x141E3C;
            }
        return worst;
    }
};

TEST_F(DeviceFontTest, StringsOnTheDeviceLookAsInSoftware) {
    DrawFrame();
    const Picture device = ReadScreen();
    EndScreenLog();
    const Picture software = SoftwareFrame();
    int inked = 0;
    EXPECT_EQ(LargestDifference(device, software, RECT{0, 0, 200, 32}, &inked), 0) << "the on-screen log";
    EXPECT_GT(inked, 100) << "the log's lines were drawn";
    for (const TextCase& c : kTexts) {
        const RECT r = c.vertical ? RECT{c.x, c.y, c.x + c.size + 4, c.y + 120}
                                  : RECT{c.x, c.y, c.x + 240, c.y + c.size + 6};
        inked = 0;
        EXPECT_LE(LargestDifference(device, software, r, &inked), c.tolerance) << c.what;
        EXPECT_GT(inked, 40) << c.what << ": ink on the screen";
    }
}

// A vertical glyph covers its box: the glyph turned a quarter clockwise,
// (X0 - height, G) to (X0, G + width) with X0 = x + glyph height - top
// offset and G = y + x offset; scaled, that box scaled by the rates about
// the string's origin (x, y). A horizontal glyph covers (x + x offset,
// y + top offset) to that plus its size, all scaled alike. The ink's bounds
// are the box's exactly. Scaled vertical glyphs select the linear filter and
// leave it selected; horizontal ones keep the filter.
TEST_F(DeviceFontTest, VerticalGlyphsCoverTheirBoxScaledOrNot) {
    struct Case {
        const char* what;
        int32_t vertical;
        uint8_t extend;
        double xRate, yRate;
        int32_t filterAfter;
    } cases[] = {
        {"unscaled", 1, 0, 1.0, 1.0, 0},
        {"horizontal, three across, twice down", 0, 1, 3.0, 2.0, 0},
        {"scaled at rate one", 1, 1, 1.0, 1.0, 1},
        {"twice", 1, 1, 2.0, 2.0, 1},
        {"three across, twice down", 1, 1, 3.0, 2.0, 1},
    };
    const int32_t x = 100, y = 20;
    const int32_t font = CreateFontToHandle(nullptr, 16, -1, 0, -1, -1, 0);
    const FontRecord* r = GetFontRecord(font);
    ASSERT_NE(r, nullptr);
    for (const Case& c : cases) {
        SetBackgroundColor(0, 0, 0);
        ClearDrawTarget(nullptr);
        SetFilterMode(0);
        ASSERT_GT(DrawFontStringCore(1, x, y, c.extend, c.xRate, c.yRate, "W", MakeColor(255, 255, 255), nullptr,
                                     nullptr, 1, font, 0, -1, c.vertical, nullptr),
                  0)
            << c.what;
        EXPECT_EQ(g_drawState.filterMode, c.filterAfter) << c.what;
        const GlyphCacheSlot* g = r->codes['W'].slot;
        ASSERT_NE(g, nullptr) << c.what;
        const RECT want =
            c.vertical
                ? RECT{x + static_cast<LONG>((r->glyphHeight - g->topOffset - g->height) * c.xRate),
                       y + static_cast<LONG>(g->xOffset * c.yRate),
                       x + static_cast<LONG>((r->glyphHeight - g->topOffset) * c.xRate),
                       y + static_cast<LONG>((g->xOffset + g->width) * c.yRate)}
                : RECT{x + static_cast<LONG>(g->xOffset * c.xRate), y + static_cast<LONG>(g->topOffset * c.yRate),
                       x + static_cast<LONG>((g->xOffset + g->width) * c.xRate),
                       y + static_cast<LONG>((g->topOffset + g->height) * c.yRate)};
        const Picture shown = ReadScreen();
        RECT ink{shown.width, shown.height, 0, 0};
        for (int py = 0; py < shown.height; ++py)
            for (int px = 0; px < shown.width; ++px)
                if (shown.At(px, py) != 0) {
                    ink = RECT{std::min<LONG>(ink.left, px), std::min<LONG>(ink.top, py),
                               std::max<LONG>(ink.right, px + 1), std::max<LONG>(ink.bottom, py + 1)};
                }
        EXPECT_EQ(ink.left, want.left) << c.what;
        EXPECT_EQ(ink.top, want.top) << c.what;
        EXPECT_EQ(ink.right, want.right) << c.what;
        EXPECT_EQ(ink.bottom, want.bottom) << c.what;
    }
    DeleteFontHandle(font);
}

TEST_F(DeviceFontTest, TheCacheImageHoldsTheComposedGlyphs) {
    struct Case {
        const char* what;
        int32_t type, edge;
        int32_t noTextureCache;  // the module's switch: the software cache on the device
    } cases[] = {{"plain", 0, -1, 0},
                 {"anti-aliased", 2, -1, 0},
                 {"edged", 1, 2, 0},
                 {"edged anti-aliased", 3, 2, 0},
                 {"no texture cache", 0, -1, 1}};
    for (const Case& c : cases) {
        FontModule().defaults.noTextureCache = c.noTextureCache;
        const int32_t font = CreateFontToHandle(nullptr, 16, -1, c.type, -1, c.edge, 0);
        FontModule().defaults.noTextureCache = 0;
        FontRecord* r = GetFontRecord(font);
        ASSERT_NE(r, nullptr) << c.what;
        EXPECT_EQ(r->textureFlag, c.noTextureCache ? 0 : 1) << c.what;
        if (c.noTextureCache) {
            EXPECT_NE(r->softwareCache, nullptr) << c.what;
            EXPECT_EQ(FindImage(r->cacheImage), nullptr) << c.what;
            DeleteFontHandle(font);
            continue;
        }
        const ImageRecord* image = FindImage(r->cacheImage);
        ASSERT_TRUE(image != nullptr && image->tileCount > 0) << c.what;
        // Anti-aliased glyphs are blended by their alpha; the others are cut
        // out by the colour key.
        const bool antialias = (c.type & kFontTypeAntialias) != 0;
        EXPECT_EQ(image->memImg.base->alphaFlag, antialias ? 1 : 0) << c.what;
        EXPECT_EQ(image->picture->flags[kPictureCutOut], antialias ? 0 : 1) << c.what;
        const uint32_t key = image->memImg.base->transparentColor;
        EXPECT_EQ(image->width, (c.type & 1) ? r->cacheWidth * 2 : r->cacheWidth) << c.what;
        EXPECT_EQ(r->edgeImage > 0, (c.type & 1) != 0) << c.what;
        ASSERT_EQ(CacheStringGlyphs("W", -1, font, nullptr, nullptr), 0);
        const GlyphCacheSlot* slot = r->codes['W'].slot;
        const font_test::GdiGlyph g = font_test::GlyphOfFont(font, 'W');
        int32_t x = 0, y = 0;
        GlyphCellPosition(*r, slot->cellIndex, &x, &y);
        const PixelImage& p = r->cachePixels;
        const uint32_t rgb = p.format.redMask | p.format.greenMask | p.format.blueMask;
        const int top = p.format.alphaWidth + p.format.alphaLoc;
        const int32_t e = (c.type & 1) ? r->edgeSize : 0;
        for (int32_t j = 0; j < slot->height; ++j)
            for (int32_t i = 0; i < slot->width; ++i) {
                uint32_t v = 0;
                std::memcpy(&v, static_cast<uint8_t*>(p.pixels) + (y + j) * p.pitch + (x + i) * p.format.pixelByte,
                            p.format.pixelByte);
                const uint32_t held = antialias ? v : (v & p.format.alphaMask) ? (v & 0xFFFF) : key;
                EXPECT_EQ(graphics_test::RawPixel(image->memImg, x + i, y + j), held) << c.what << i << "," << j;
                const bool inGlyph = i >= e && j >= e && i - e < g.Width() && j - e < g.Height();
                const uint32_t level = inGlyph ? g.At(i - e, j - e) : 0;
                // Grey level v: alpha (v x 16 - 1) over white; a full glyph pixel is opaque.
                if (c.type == 2) {
                    EXPECT_EQ(v, level == 0 ? rgb : (((level << (top - 4)) - 1) | rgb) & ((1u << top) - 1)) << i << "," << j;
                } else if (level == (c.type == 3 ? 16 : 1)) {
                    EXPECT_EQ(v & p.format.alphaMask, p.format.alphaMask) << c.what << i << "," << j;
                }
            }
        DeleteFontHandle(font);
    }
}

TEST_F(DeviceFontTest, CellsAtTheCacheEdgeStayInsideIt) {
    // Cell size 16 divides the 512-pixel cache: its last cells reach one
    // pixel beyond it, and every slot is used before the first is reused.
    const int32_t font = CreateFontToHandle(nullptr, 12, -1, 1, -1, -1, 0);
    FontRecord* r = GetFontRecord(font);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->cacheWidth % r->cellSize, 0) << "cell " << r->cellSize;
    std::string text;
    for (int32_t n = 0; n < r->slotCount + 3; ++n) text += static_cast<char>(0x21 + n % 94);
    for (int32_t n = 0; n < r->slotCount + 3; n += 200)
        EXPECT_EQ(DrawStringByFont(0, 0, text.substr(n, 200).c_str(), MakeColor(255, 255, 255), font, 0, 0), 0);
    EXPECT_EQ(r->slots[r->slotCount].cellIndex, -1);
    EXPECT_EQ(DeleteFontHandle(font), 0);
}

TEST_F(DeviceFontTest, SubtractionWithoutTheBlendOperationMatchesSoftware) {
    const auto drawn = [](bool emulated) {
        SetBackgroundColor(200, 200, 200);
        ClearDrawTarget(nullptr);
        if (emulated) Device().blendOpCap = 0;
        EXPECT_EQ(DeviceHasBlendOperationCap(), emulated ? 0 : 1);
        const int32_t font = CreateFontToHandle(nullptr, 16, -1, 0, -1, -1, 0);
        SetBlendMode(kBlendSubtract, 255);
        EXPECT_EQ(DrawStringByFont(10, 10, "SUB", MakeColor(100, 50, 200), font, 0, 0), 0);
        SetBlendMode(kBlendNone, 255);
        DeleteFontHandle(font);
        return ReadScreen();
    };
    if (Device().blendOpCap == 0) GTEST_SKIP() << "the device cannot subtract itself";
    const Picture native = drawn(false);
    const Picture emulated = drawn(true);
    int differing = 0, inked = 0;
    for (int y = 10; y < 30; ++y)
        for (int x = 10; x < 50; ++x) {
            differing += native.At(x, y) != emulated.At(x, y);
            inked += native.At(x, y) == 0x649600;  // 200 - (100, 50, 200)
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(inked, 20);
}

TEST_F(DeviceFontTest, LostTexturesComeBackUnderTheSameHandle) {
    struct Case {
        const char* what;
        int32_t reset;  // -1: only the cache image is deleted; else the mode-change flag
        bool lostFlag;  // the owner learns of a re-created font
    } cases[] = {{"cache image deleted", -1, false}, {"device made anew", 0, true}, {"mode change", 1, true}};
    int32_t lost = 0;
    const int32_t font = CreateFontToHandle(nullptr, 20, -1, 2, -1, -1, 0);
    ASSERT_EQ(SetFontSpacing(3, font), 0);
    for (const Case& c : cases) {
        ASSERT_EQ(SetFontLostFlag(font, &lost), 0);
        ASSERT_EQ(DrawStringByFont(0, 0, "AB", MakeColor(255, 255, 255), font, 0, 0), 0);
        const int32_t oldImage = GetFontRecord(font)->cacheImage;
        if (c.reset < 0) {
            ASSERT_EQ(DeleteImage(oldImage), 0);
        } else {
            ASSERT_EQ(ResetGraphicsDevice(c.reset), 0) << c.what;
        }
        EXPECT_EQ(lost, c.lostFlag ? 1 : 0) << c.what;
        ClearDrawTarget(nullptr);
        ASSERT_EQ(DrawStringByFont(0, 0, "B", MakeColor(255, 255, 255), font, 0, 0), 0) << c.what;
        const FontRecord* r = GetFontRecord(font);
        ASSERT_NE(r, nullptr) << c.what;
        EXPECT_EQ(r->spacing, 3) << c.what;
        EXPECT_EQ(r->textureFlag, 1) << c.what;
        EXPECT_EQ(FindImage(oldImage), nullptr) << c.what;
        EXPECT_NE(FindImage(r->cacheImage), nullptr) << c.what;
        EXPECT_FALSE(r->codes['A'].cached) << c.what << ": the cache starts empty";
        const Picture screen = ReadScreen();
        int inked = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 16; ++x) inked += screen.At(x, y) == 0xFFFFFF;
        EXPECT_GT(inked, 10) << c.what << ": B is drawn from the new image";
    }
    EXPECT_EQ(CheckFontHandle(GetDefaultFontHandle()), 1);
}

}  // namespace
}  // namespace device_test
