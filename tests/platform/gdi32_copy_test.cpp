// DIB copies into a window's picture against the plain per-pixel rule: every
// format, unscaled, doubled, stretched by other factors, mirrored, clipped
// by the picture's edges and with odd widths.
#include "platform/gdi32/gdi32.h"
#include "platform/user32/user32.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace windowtest;

namespace {

constexpr int kPictureWidth = 64, kPictureHeight = 48;

// One channel of a pixel as eight bits: wide channels keep their top bits,
// narrow ones are scaled to 0..255 with rounding.
uint32_t Expand(uint32_t pixel, uint32_t mask) {
    int shift = 0, width = 0;
    while (!((mask >> shift) & 1)) ++shift;
    while (shift + width < 32 && ((mask >> (shift + width)) & 1)) ++width;
    const uint32_t value = (pixel & mask) >> shift;
    if (width >= 8) return value >> (width - 8);
    const uint32_t max = (1u << width) - 1;
    return (value * 255 + max / 2) / max;
}

BITMAPINFOHEADER Header(int width, int height, int bits, DWORD compression) {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bits);
    h.biCompression = compression;
    return h;
}

struct Case {
    const char* what;
    int bits;
    DWORD compression;
    uint32_t masks[3];  // with BI_BITFIELDS
    int width, height;  // the DIB; negative height: top-down
    int xDest, yDest, destWidth, destHeight;
    bool unscaled;  // SetDIBitsToDevice (destination size = DIB size)
};

class GdiCopyTest : public PictureWindowTest {
protected:
    GdiCopyTest() : PictureWindowTest("GdiCopy", kPictureWidth, kPictureHeight) {}
};

TEST_F(GdiCopyTest, EveryFormatAndScaleGivesThePlainRulesPixels) {
    const uint32_t k555[3] = {0x7C00, 0x3E0, 0x1F}, k565[3] = {0xF800, 0x7E0, 0x1F};
    const uint32_t k888[3] = {0xFF0000, 0xFF00, 0xFF}, k101010[3] = {0x3FF00000, 0xFFC00, 0x3FF};
    const uint32_t k444[3] = {0xF00, 0xF0, 0xF};
    const Case cases[] = {
        {"32-bit, odd width, doubled", 32, BI_RGB, {}, 7, -5, 3, 2, 14, 10, false},
        {"32-bit, unscaled, clipped left and top", 32, BI_RGB, {}, 7, -5, -2, -1, 7, 5, true},
        {"32-bit, unscaled, whole rows", 32, BI_RGB, {}, 64, -3, 0, 40, 64, 3, true},
        {"32-bit, bottom-up, doubled past the right and bottom", 32, BI_RGB, {}, 9, 6, 50, 40, 18, 12, false},
        {"16-bit 5-5-5, odd width, doubled", 16, BI_RGB, {}, 9, -4, 1, 1, 18, 8, false},
        {"16-bit 5-6-5, doubled", 16, BI_BITFIELDS, {k565[0], k565[1], k565[2]}, 11, -7, 0, 0, 22, 14, false},
        {"16-bit 5-6-5, mirrored both ways", 16, BI_BITFIELDS, {k565[0], k565[1], k565[2]}, 5, -3, 20, 20, -10, -6, false},
        {"16-bit 5-5-5 masks, unscaled, odd width", 16, BI_BITFIELDS, {k555[0], k555[1], k555[2]}, 13, -3, 5, 5, 13, 3, true},
        {"16-bit 4-4-4, halved", 16, BI_BITFIELDS, {k444[0], k444[1], k444[2]}, 6, -6, 2, 30, 3, 3, false},
        {"32-bit 10-10-10, three by two", 32, BI_BITFIELDS, {k101010[0], k101010[1], k101010[2]}, 5, -5, 4, 4, 15, 10, false},
        {"32-bit masks as plain, doubled", 32, BI_BITFIELDS, {k888[0], k888[1], k888[2]}, 3, -3, 40, 2, 6, 6, false},
        {"24-bit, odd width, doubled", 24, BI_RGB, {}, 5, -3, 30, 30, 10, 6, false},
    };
    uint32_t seed = 12345;
    for (const Case& c : cases) {
        const int h = std::abs(c.height);
        const size_t stride = ((static_cast<size_t>(c.width) * c.bits + 31) / 32) * 4;
        std::vector<uint8_t> bits(stride * h);
        for (uint8_t& b : bits) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
        struct {
            BITMAPINFOHEADER header;
            DWORD masks[3];
        } info{};
        info.header = Header(c.width, c.height, c.bits, c.compression);
        std::memcpy(info.masks, c.masks, sizeof info.masks);
        const auto* bmi = reinterpret_cast<const BITMAPINFO*>(&info);

        // The picture before: a known colour everywhere.
        std::vector<uint32_t> fill(kPictureWidth * kPictureHeight, 0x123456);
        BITMAPINFO fillInfo{};
        fillInfo.bmiHeader = Header(kPictureWidth, -kPictureHeight, 32, BI_RGB);
        ASSERT_EQ(SetDIBitsToDevice(dc_, 0, 0, kPictureWidth, kPictureHeight, 0, 0, 0, kPictureHeight, fill.data(),
                                    &fillInfo, DIB_RGB_COLORS),
                  kPictureHeight);
        const int copied = c.unscaled ? SetDIBitsToDevice(dc_, c.xDest, c.yDest, c.width, h, 0, 0, 0, h, bits.data(),
                                                          bmi, DIB_RGB_COLORS)
                                      : StretchDIBits(dc_, c.xDest, c.yDest, c.destWidth, c.destHeight, 0, 0, c.width,
                                                      h, bits.data(), bmi, DIB_RGB_COLORS, SRCCOPY);
        EXPECT_EQ(copied, h) << c.what;

        const uint32_t* masks = c.compression == BI_BITFIELDS ? c.masks : c.bits == 16 ? k555 : k888;
        auto source = [&](int x, int rowFromTop) {
            const int scan = c.height > 0 ? h - 1 - rowFromTop : rowFromTop;
            const uint8_t* p = bits.data() + scan * stride + static_cast<size_t>(x) * (c.bits / 8);
            uint32_t pixel = 0;
            std::memcpy(&pixel, p, static_cast<size_t>(c.bits / 8));
            return Expand(pixel, masks[0]) << 16 | Expand(pixel, masks[1]) << 8 | Expand(pixel, masks[2]);
        };
        std::vector<uint32_t> expected = fill;
        const int dw = std::abs(c.destWidth), dh = std::abs(c.destHeight);
        const int left = c.destWidth < 0 ? c.xDest + c.destWidth + 1 : c.xDest;
        const int top = c.destHeight < 0 ? c.yDest + c.destHeight + 1 : c.yDest;
        for (int j = 0; j < dh; ++j) {
            for (int i = 0; i < dw; ++i) {
                const int px = left + i, py = top + j;
                if (px < 0 || px >= kPictureWidth || py < 0 || py >= kPictureHeight) continue;
                const int si = c.destWidth < 0 ? dw - 1 - i : i, sj = c.destHeight < 0 ? dh - 1 - j : j;
                expected[py * kPictureWidth + px] = source(si * c.width / dw, sj * h / dh);
            }
        }
        const std::vector<uint32_t> got = Picture();
        int wrong = 0;
        for (size_t k = 0; k < got.size(); ++k) {
            if (got[k] != expected[k] && ++wrong <= 3) {
                ADD_FAILURE() << c.what << ": pixel (" << k % kPictureWidth << ", " << k / kPictureWidth << ") is "
                              << std::hex << got[k] << ", not " << expected[k];
            }
        }
        EXPECT_EQ(wrong, 0) << c.what;
    }
}

}  // namespace
