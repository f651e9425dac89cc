// DIB copies into a window's picture: orientation, source rectangles, bands,
// doubling, mirroring, pixel formats and refused input.
#include "platform/gdi32/gdi32.h"
#include "platform/user32/user32.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace windowtest;

namespace {

class GdiTest : public PictureWindowTest {
protected:
    GdiTest() : PictureWindowTest("Gdi", 8, 6) {}
    uint32_t At(int x, int y) { return Picture()[static_cast<size_t>(y) * 8 + x]; }
};

BITMAPINFO Info32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// Pixel values that name their place: 0x00YYXX with a marker in red.
std::vector<uint32_t> Numbered(int width, int height) {
    std::vector<uint32_t> p(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) p[static_cast<size_t>(y) * width + x] = 0xAA0000u | (y << 8) | x;
    return p;
}

TEST_F(GdiTest, TopDownAndBottomUpDibsGiveTheSamePicture) {
    std::vector<uint32_t> topDown = Numbered(8, 6);
    BITMAPINFO info = Info32(8, -6);
    uint64_t presents = platform::WindowPresentCount(hwnd_);
    EXPECT_EQ(SetDIBitsToDevice(dc_, 0, 0, 8, 6, 0, 0, 0, 6, topDown.data(), &info, DIB_RGB_COLORS), 6);
    EXPECT_EQ(platform::WindowPresentCount(hwnd_), presents + 1);  // shown at once
    std::vector<uint32_t> first = Picture();
    EXPECT_EQ(first, topDown);

    std::vector<uint32_t> bottomUp(topDown.size());
    for (int y = 0; y < 6; ++y)
        std::memcpy(&bottomUp[static_cast<size_t>(5 - y) * 8], &topDown[static_cast<size_t>(y) * 8], 8 * 4);
    std::vector<uint32_t> blank(topDown.size(), 0);
    SetDIBitsToDevice(dc_, 0, 0, 8, 6, 0, 0, 0, 6, blank.data(), &info, DIB_RGB_COLORS);
    info = Info32(8, 6);
    SetDIBitsToDevice(dc_, 0, 0, 8, 6, 0, 0, 0, 6, bottomUp.data(), &info, DIB_RGB_COLORS);
    EXPECT_EQ(Picture(), topDown);
    // The top byte of a 32-bit pixel is not colour.
    std::vector<uint32_t> withAlpha(48, 0xFF123456u);
    SetDIBitsToDevice(dc_, 0, 0, 8, 6, 0, 0, 0, 6, withAlpha.data(), &info, DIB_RGB_COLORS);
    EXPECT_EQ(At(3, 3), 0x123456u);
}

TEST_F(GdiTest, SourceRectanglesCountFromTheBottomOfABottomUpDib) {
    std::vector<uint32_t> blank(48, 0);
    BITMAPINFO info = Info32(8, -6);
    SetDIBitsToDevice(dc_, 0, 0, 8, 6, 0, 0, 0, 6, blank.data(), &info, DIB_RGB_COLORS);
    // A 4x4 bottom-up DIB whose rows (from the top) are numbered 0..3.
    std::vector<uint32_t> dib(16);
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 4; ++x) dib[static_cast<size_t>(3 - row) * 4 + x] = 0x100u * row + x;
    info = Info32(4, 4);
    // Source (1, 1) size 2x2 from the bottom: top rows 1 and 2, columns 1 and 2.
    SetDIBitsToDevice(dc_, 5, 3, 2, 2, 1, 1, 0, 4, dib.data(), &info, DIB_RGB_COLORS);
    EXPECT_EQ(At(5, 3), 0x101u);
    EXPECT_EQ(At(6, 3), 0x102u);
    EXPECT_EQ(At(5, 4), 0x201u);
    EXPECT_EQ(At(6, 4), 0x202u);
    EXPECT_EQ(At(4, 3), 0u);
    EXPECT_EQ(At(7, 5), 0u);
}

TEST_F(GdiTest, ABandOfScanLinesSetsOnlyThoseRows) {
    std::vector<uint32_t> blank(48, 0);
    BITMAPINFO info = Info32(8, -6);
    SetDIBitsToDevice(dc_, 0, 0, 8, 6, 0, 0, 0, 6, blank.data(), &info, DIB_RGB_COLORS);
    // Scan lines 2 and 3 of a top-down 8x6 DIB, and only they are in memory.
    std::vector<uint32_t> band(16, 0x00FF00u);
    EXPECT_EQ(SetDIBitsToDevice(dc_, 0, 0, 8, 6, 0, 0, 2, 2, band.data(), &info, DIB_RGB_COLORS), 2);
    std::vector<uint32_t> p = Picture();
    for (int y = 0; y < 6; ++y) EXPECT_EQ(p[static_cast<size_t>(y) * 8], (y == 2 || y == 3) ? 0x00FF00u : 0u) << y;
}

TEST_F(GdiTest, StretchDoublesEachPixelAndMirrors) {
    std::vector<uint32_t> dib = {0x000001, 0x000002, 0x000003, 0x000004};  // 4x1
    std::vector<uint32_t> two = {0x0A, 0x0B, 0x0C, 0x0D};                  // 2x2 top-down
    BITMAPINFO info = Info32(2, -2);
    EXPECT_EQ(StretchDIBits(dc_, 0, 0, 4, 4, 0, 0, 2, 2, two.data(), &info, DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(At(0, 0), 0x0Au);
    EXPECT_EQ(At(1, 1), 0x0Au);
    EXPECT_EQ(At(2, 0), 0x0Bu);
    EXPECT_EQ(At(3, 1), 0x0Bu);
    EXPECT_EQ(At(0, 2), 0x0Cu);
    EXPECT_EQ(At(3, 3), 0x0Du);
    EXPECT_EQ(At(4, 0), 0u);  // nothing beyond the destination

    info = Info32(4, -1);
    StretchDIBits(dc_, 7, 5, -4, 1, 0, 0, 4, 1, dib.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(At(4, 5), 0x4u);  // mirrored: the last source pixel lands leftmost
    EXPECT_EQ(At(7, 5), 0x1u);
    // Shrinking by two takes every other pixel.
    StretchDIBits(dc_, 0, 4, 2, 1, 0, 0, 4, 1, dib.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(At(0, 4), 0x1u);
    EXPECT_EQ(At(1, 4), 0x3u);
}

TEST_F(GdiTest, SixteenAndTwentyFourBitDibsAreConverted) {
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } info565{};
    info565.header.biSize = sizeof info565.header;
    info565.header.biWidth = 4;
    info565.header.biHeight = -1;
    info565.header.biPlanes = 1;
    info565.header.biBitCount = 16;
    info565.header.biCompression = BI_BITFIELDS;
    info565.masks[0] = 0xF800;
    info565.masks[1] = 0x07E0;
    info565.masks[2] = 0x001F;
    uint16_t row565[4] = {0xF800, 0x07E0, 0x001F, 0x8000};
    SetDIBitsToDevice(dc_, 0, 0, 4, 1, 0, 0, 0, 1, row565, reinterpret_cast<BITMAPINFO*>(&info565), DIB_RGB_COLORS);
    EXPECT_EQ(At(0, 0), 0xFF0000u);
    EXPECT_EQ(At(1, 0), 0x00FF00u);
    EXPECT_EQ(At(2, 0), 0x0000FFu);
    EXPECT_EQ(At(3, 0), 0x840000u);  // 16 of 31 rounds to 132

    BITMAPINFO info555 = Info32(1, -1);
    info555.bmiHeader.biBitCount = 16;
    uint16_t white555[2] = {0x7FFF, 0};
    SetDIBitsToDevice(dc_, 3, 0, 1, 1, 0, 0, 0, 1, white555, &info555, DIB_RGB_COLORS);
    EXPECT_EQ(At(3, 0), 0xFFFFFFu);

    BITMAPINFO info24 = Info32(2, -1);
    info24.bmiHeader.biBitCount = 24;
    uint8_t row24[8] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0, 0};  // B G R, padded to 4 bytes
    SetDIBitsToDevice(dc_, 4, 0, 2, 1, 0, 0, 0, 1, row24, &info24, DIB_RGB_COLORS);
    EXPECT_EQ(At(4, 0), 0x030201u);
    EXPECT_EQ(At(5, 0), 0x060504u);
}

TEST_F(GdiTest, BadDibsAndContextsAreRefusedWithoutDrawing) {
    std::vector<uint32_t> blank(48, 0x777777u);
    BITMAPINFO info = Info32(8, -6);
    SetDIBitsToDevice(dc_, 0, 0, 8, 6, 0, 0, 0, 6, blank.data(), &info, DIB_RGB_COLORS);
    std::vector<uint32_t> pixels(48, 0x123456u);
    BITMAPINFO bad = Info32(8, 0);
    EXPECT_EQ(SetDIBitsToDevice(dc_, 0, 0, 8, 6, 0, 0, 0, 6, pixels.data(), &bad, DIB_RGB_COLORS), 0);
    bad = Info32(8, -6);
    bad.bmiHeader.biBitCount = 8;  // palettes are not offered
    EXPECT_EQ(SetDIBitsToDevice(dc_, 0, 0, 8, 6, 0, 0, 0, 6, pixels.data(), &bad, DIB_RGB_COLORS), 0);
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } zeroMasks{Info32(8, -6).bmiHeader, {0, 0, 0}};
    zeroMasks.header.biCompression = BI_BITFIELDS;
    EXPECT_EQ(StretchDIBits(dc_, 0, 0, 8, 6, 0, 0, 8, 6, pixels.data(), reinterpret_cast<BITMAPINFO*>(&zeroMasks),
                            DIB_RGB_COLORS, SRCCOPY),
              0);
    EXPECT_EQ(SetDIBitsToDevice(dc_, 0, 0, 8, 6, 0, 0, 0, 6, nullptr, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(StretchDIBits(dc_, 0, 0, 8, 6, 0, 0, 8, 6, pixels.data(), &info, DIB_RGB_COLORS, 0x00EE0086), 0);
    EXPECT_EQ(StretchDIBits(dc_, 0, 0, 0, 6, 0, 0, 8, 6, pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(SetDIBitsToDevice(reinterpret_cast<HDC>(0x99), 0, 0, 8, 6, 0, 0, 0, 6, pixels.data(), &info,
                                DIB_RGB_COLORS),
              0);
    EXPECT_EQ(Picture(), blank);
    // Rectangles reaching outside the DIB or the window draw only what lies inside both.
    EXPECT_EQ(SetDIBitsToDevice(dc_, -3, 4, 20, 20, 2, 0, 0, 6, pixels.data(), &info, DIB_RGB_COLORS), 6);
    EXPECT_EQ(At(0, 4), 0x123456u);
    EXPECT_EQ(At(0, 3), 0x777777u);
    EXPECT_EQ(At(2, 5), 0x123456u);
    EXPECT_EQ(At(3, 5), 0x777777u);  // source column 8 does not exist
    DestroyWindow(hwnd_);
    EXPECT_EQ(GetDC(hwnd_), nullptr);
    EXPECT_EQ(SetDIBitsToDevice(dc_, 0, 0, 8, 6, 0, 0, 0, 6, pixels.data(), &info, DIB_RGB_COLORS), 0);  // its window has gone
}

TEST_F(GdiTest, DibSectionsHoldWritableBits) {
    BITMAPINFO info = Info32(5, -3);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    ASSERT_NE(bits, nullptr);
    auto* pixels = static_cast<uint32_t*>(bits);
    for (int i = 0; i < 15; ++i) pixels[i] = 0x00ABCDu;  // the whole 5x3 is ours to write
    SetDIBitsToDevice(dc_, 0, 0, 5, 3, 0, 0, 0, 3, bits, &info, DIB_RGB_COLORS);
    EXPECT_EQ(At(4, 2), 0x00ABCDu);
    EXPECT_TRUE(DeleteObject(section));
    EXPECT_FALSE(DeleteObject(section));
    BITMAPINFO bad = Info32(0, 3);
    EXPECT_EQ(CreateDIBSection(dc_, &bad, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    EXPECT_EQ(GetDeviceCaps(dc_, BITSPIXEL), 32);
}

}  // namespace
