// Software images (creation, views, palettes, conversion) and the lookup
// tables with the blend-image ramp.
#include "soft_test_util.h"

#include "image/image_decode.h"
#include "platform/seams/seams.h"

namespace {

using MemImgTest = SoftTest;

TEST_F(MemImgTest, CreatesEachLayout) {
    struct Case {
        int32_t type;
        uint32_t flags;
        int pixelByte;
    } cases[] = {{kMemImgX8R8G8B8, 0, 4}, {kMemImgX8R8G8B8, kMemImgAlpha, 4}, {kMemImgX8R8G8B8, kMemImgPalette, 1},
                 {kMemImgR5G6B5, 0, 2},   {kMemImgR5G6B5, kMemImgAlpha, 4},   {kMemImgR5G6B5, kMemImgPalette, 1},
                 {kMemImgChannel8, 0, 1}, {kMemImgChannel16, 0, 2}};
    for (const Case& c : cases) {
        MEMIMG img;
        ASSERT_EQ(0, CreateMemImg(&img, 5, 3, c.type, c.flags, 0xABCDEF12));
        EXPECT_EQ(kMemImgValid, img.validWord);
        EXPECT_EQ(5, img.width);
        EXPECT_EQ(3, img.height);
        EXPECT_EQ(c.pixelByte, GetMemImgPixelByte(&img));
        EXPECT_EQ(0, img.base->pitch % 4);
        EXPECT_GE(img.base->pitch, 5 * c.pixelByte);
        EXPECT_EQ((c.flags & kMemImgPalette) ? 1 : 0, img.base->paletteFlag);
        EXPECT_EQ((c.flags & kMemImgAlpha) ? 1 : 0, img.base->alphaFlag);
        EXPECT_EQ(c.type, img.base->colorType);
        // 16-bit colours keep their low half; indices and 32-bit values stay.
        bool sixteen = (c.type == kMemImgR5G6B5 || c.type == kMemImgChannel16) && !(c.flags & kMemImgPalette);
        EXPECT_EQ(sixteen ? 0xEF12u : 0xABCDEF12u, img.base->transparentColor);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5 * c.pixelByte; ++x) ASSERT_EQ(0, GetMemImgPixelAddress(&img, 0, y)[x]);
        ReleaseMemImg(&img);
        EXPECT_EQ(0, IsMemImgValid(&img));
    }
}

TEST_F(MemImgTest, RefusesBadArgumentsAndLostMemory) {
    MEMIMG img;
    EXPECT_EQ(-1, CreateMemImg(&img, -1, 3, kMemImgX8R8G8B8, 0, 0));
    EXPECT_EQ(0, IsMemImgValid(&img));
    EXPECT_EQ(-1, CreateMemImg(&img, 3, 3, 4, 0, 0));
    EXPECT_EQ(-1, CreateMemImg(&img, 3, 3, kMemImgX8R8G8B8, kMemImgAlpha | kMemImgPalette, 0));
    EXPECT_EQ(-1, CreateMemImg(&img, 3, 3, kMemImgChannel8, kMemImgAlpha, 0));
    EXPECT_EQ(-1, CreateMemImg(&img, kMemImgMaxDimension + 1, 1, kMemImgR5G6B5, 0, 0));
    EXPECT_EQ(-1, CreateMemImg(&img, kMemImgMaxDimension, kMemImgMaxDimension, kMemImgX8R8G8B8, 0, 0));
    EXPECT_EQ(-1, CreateMemImg(nullptr, 3, 3, kMemImgX8R8G8B8, 0, 0));
    uint8_t buffer[16];
    EXPECT_EQ(-1, CreateMemImgOnMemory(&img, 4, 1, kMemImgX8R8G8B8, 0, 0, buffer, 8));  // pitch below a row
    seams::FailCall("AllocMemory", 1);
    EXPECT_EQ(-1, CreateMemImg(&img, 3, 3, kMemImgX8R8G8B8, 0, 0));
    seams::FailCall("AllocMemory", 1);
    EXPECT_EQ(-1, CreateMemImg(&img, 3, 3, kMemImgX8R8G8B8, kMemImgPalette, 0));
    seams::ClearAllCalls();
    ReleaseMemImg(&img);  // cleared record: ignored
    ReleaseMemImg(nullptr);
}

TEST_F(MemImgTest, ViewsShareTheBaseAndOutliveTheOriginal) {
    MEMIMG whole, view, inner;
    ASSERT_EQ(0, CreateMemImg(&whole, 8, 6, kMemImgR5G6B5, 0, 0));
    ASSERT_EQ(0, DeriveMemImg(&view, &whole, 2, 1, 4, 10));  // clipped to 4 x 5
    EXPECT_EQ(4, view.width);
    EXPECT_EQ(5, view.height);
    EXPECT_EQ(GetMemImgPixelAddress(&whole, 2, 1), view.pixels);
    EXPECT_EQ(2, whole.base->refCount);
    ASSERT_EQ(0, DeriveMemImg(&inner, &view, -1, 4, 3, 2));  // clipped to columns 0-1, row 4
    EXPECT_EQ(GetMemImgPixelAddress(&whole, 2, 5), inner.pixels);
    EXPECT_EQ(2, inner.width);
    EXPECT_EQ(1, inner.height);
    ReleaseMemImg(&whole);
    // Drawing through the views after the original is released.
    FillMemImgRect(&view, nullptr, 0x1234);
    EXPECT_EQ(0x1234, *reinterpret_cast<uint16_t*>(inner.pixels));
    ReleaseMemImg(&view);
    ReleaseMemImg(&inner);

    MEMIMG source, outside;
    ASSERT_EQ(0, CreateMemImg(&source, 4, 4, kMemImgX8R8G8B8, 0, 0));
    ASSERT_EQ(0, DeriveMemImg(&outside, &source, 10, -20, 5, 5));
    EXPECT_EQ(0, outside.width);
    EXPECT_EQ(0, outside.height);
    EXPECT_EQ(-1, DeriveMemImg(&outside, nullptr, 0, 0, 1, 1));
    ReleaseMemImg(&outside);
    ReleaseMemImg(&source);
}

TEST_F(MemImgTest, ImagesOverCallerMemory) {
    uint32_t pixels[2 * 3] = {};
    MEMIMG img;
    ASSERT_EQ(0, CreateMemImgOnMemory(&img, 2, 2, kMemImgX8R8G8B8, 0, 0, pixels, 12));
    RECT r{1, 1, 2, 2};
    ClearMemImg(&img, &r, 0xDEADBEEF);
    EXPECT_EQ(0xDEADBEEFu, pixels[4]);
    EXPECT_EQ(0u, pixels[5]);
    ReleaseMemImg(&img);  // the pixels stay the caller's
}

TEST_F(MemImgTest, PalettesAndColours) {
    TestImage pal16(2, 2, kMemImgR5G6B5, kMemImgPalette), direct(2, 2, kMemImgX8R8G8B8);
    std::vector<uint32_t> entries(300, 0x12345678);
    EXPECT_EQ(0, SetMemImgPalette(&pal16, entries.data(), 300));
    EXPECT_EQ(256, pal16.img.base->paletteSize);
    EXPECT_EQ(0x5678, static_cast<uint16_t*>(pal16.img.base->palette)[255]);
    EXPECT_EQ(-1, SetMemImgPalette(&direct, entries.data(), 1));
    SetMemImgTransparentColor(&pal16, 0x1FF);
    EXPECT_EQ(0x1FFu, pal16.img.base->transparentColor);

    EXPECT_EQ(0x00FF8001u, MakeMemImgColor(kMemImgX8R8G8B8, 255, 128, 1));
    EXPECT_EQ(Rgb16(31, 32, 0), MakeMemImgColor(kMemImgR5G6B5, 255, 128, 7));
    EXPECT_EQ(Rgb16(0, 63, 31), MakeMemImgColor(kMemImgR5G6B5, -4, 300, 255));
}

TEST_F(MemImgTest, ConvertsDecodedPictures) {
    uint32_t argb[2] = {0x80FF8400, 0x00102030};
    PixelImage picture{};
    SetARGB8ColorFormat(&picture.format);
    picture.width = 2, picture.height = 1, picture.pitch = 8, picture.pixels = argb;

    MEMIMG img;
    ASSERT_EQ(0, CreateMemImgFromPixelImage(&img, &picture, kMemImgX8R8G8B8, 0, 0));
    EXPECT_EQ(0x00FF8400u, *reinterpret_cast<uint32_t*>(GetMemImgPixelAddress(&img, 0, 0)));  // fourth byte 0
    ReleaseMemImg(&img);
    ASSERT_EQ(0, CreateMemImgFromPixelImage(&img, &picture, kMemImgX8R8G8B8, kMemImgAlpha, 0));
    EXPECT_EQ(0x80FF8400u, *reinterpret_cast<uint32_t*>(GetMemImgPixelAddress(&img, 0, 0)));
    ReleaseMemImg(&img);
    // 16-bit: channels truncated (0x84 -> 33); with alpha, the byte after the word.
    ASSERT_EQ(0, CreateMemImgFromPixelImage(&img, &picture, kMemImgR5G6B5, kMemImgAlpha, 0));
    uint8_t* p = GetMemImgPixelAddress(&img, 0, 0);
    EXPECT_EQ(Rgb16(31, 33, 0), *reinterpret_cast<uint16_t*>(p));
    EXPECT_EQ(0x80, p[2]);
    EXPECT_EQ(Rgb16(2, 8, 6), *reinterpret_cast<uint16_t*>(p + 4));
    EXPECT_EQ(0x00, p[6]);
    ReleaseMemImg(&img);

    // An R5G6B5 picture widens by bit replication: 31 -> 255, 16 -> 132; no alpha reads as 255.
    uint16_t rgb565[1] = {static_cast<uint16_t>(Rgb16(16, 63, 31))};
    PixelImage p16{};
    SetR5G6B5ColorFormat(&p16.format);
    p16.width = 1, p16.height = 1, p16.pitch = 2, p16.pixels = rgb565;
    ASSERT_EQ(0, CreateMemImgFromPixelImage(&img, &p16, kMemImgX8R8G8B8, kMemImgAlpha, 0));
    EXPECT_EQ(0xFF84FFFFu, *reinterpret_cast<uint32_t*>(img.pixels));
    ReleaseMemImg(&img);

    // A compressed picture: one DXT1 block, colour 0 red (0xF800) > colour 1,
    // every index 0.
    uint8_t block[8] = {0x00, 0xF8, 0x1F, 0x00, 0, 0, 0, 0};
    PixelImage dxt{};
    ASSERT_EQ(0, SetDXTColorFormat(&dxt.format, 1));
    dxt.width = 4, dxt.height = 4, dxt.pitch = 8, dxt.pixels = block;
    ASSERT_EQ(0, CreateMemImgFromPixelImage(&img, &dxt, kMemImgR5G6B5, 0, 0));
    EXPECT_EQ(0xF800u, *reinterpret_cast<uint16_t*>(GetMemImgPixelAddress(&img, 3, 3)));
    ReleaseMemImg(&img);
}

TEST_F(MemImgTest, ConvertsPalettePictures) {
    uint8_t indices[3] = {0, 1, 2};
    PixelImage picture{};
    const uint32_t palette[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
    SetPalette8ColorFormat(&picture.format, palette, 3, 0);  // entries opaque
    picture.width = 3, picture.height = 1, picture.pitch = 4, picture.pixels = indices;
    MEMIMG img;
    ASSERT_EQ(0, CreateMemImgFromPixelImage(&img, &picture, kMemImgR5G6B5, kMemImgPalette, 1));
    EXPECT_EQ(1, img.base->paletteFlag);
    EXPECT_EQ(2, img.pixels[2]);
    EXPECT_EQ(Rgb16(0, 63, 0), static_cast<uint16_t*>(img.base->palette)[1]);
    EXPECT_EQ(1u, img.base->transparentColor);
    ReleaseMemImg(&img);
    ASSERT_EQ(0, CreateMemImgFromPixelImage(&img, &picture, kMemImgX8R8G8B8, 0, 0));
    EXPECT_EQ(0x000000FFu, *reinterpret_cast<uint32_t*>(GetMemImgPixelAddress(&img, 2, 0)));
    ReleaseMemImg(&img);

    uint32_t argb[4] = {};
    PixelImage direct{};
    SetARGB8ColorFormat(&direct.format);
    direct.width = 1, direct.height = 1, direct.pitch = 4, direct.pixels = argb;
    EXPECT_EQ(-1, CreateMemImgFromPixelImage(&img, &direct, kMemImgX8R8G8B8, kMemImgPalette, 0));
    direct.width = 2;  // rows that overlap are refused
    direct.pitch = 0;
    direct.height = 2;
    EXPECT_EQ(-1, CreateMemImgFromPixelImage(&img, &direct, kMemImgX8R8G8B8, 0, 0));
    EXPECT_EQ(0, IsMemImgValid(&img));
    EXPECT_EQ(-1, CreateMemImgFromPixelImage(&img, &picture, kMemImgChannel8, 0, 0));
    EXPECT_EQ(-1, CreateMemImgFromPixelImage(&img, nullptr, kMemImgX8R8G8B8, 0, 0));
}

TEST_F(MemImgTest, TablesHoldTheirFormulas) {
    const MemImgBlendTables& t = g_memImgTables;
    EXPECT_EQ(128u, t.scale[128][255]);
    EXPECT_EQ(77u, t.scale[128][155]);  // 19840 / 255 = 77.8
    EXPECT_EQ(0u, t.scale[0][200]);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(static_cast<uint32_t>(i), t.scale[255][i]);
    EXPECT_EQ(15, t.difference[128][255 + 31]);
    EXPECT_EQ(-15, t.difference[128][255 - 31]);  // toward zero, not -16
    EXPECT_EQ(0, t.difference[200][255]);
    EXPECT_EQ(-255, t.difference[255][0]);
    EXPECT_EQ(255, t.difference[255][510]);
    EXPECT_EQ(20, t.mix6[63][20][40]);
    EXPECT_EQ(40, t.mix6[0][20][40]);
    EXPECT_EQ(14, t.mix6[32][10][20]);  // (320 + 620) / 63
}

TEST_F(MemImgTest, BlendImageRamp) {
    const uint8_t* r = g_memImgTables.blendImageRamp;
    BuildBlendImageRamp(0, 0);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(255, r[i]);
    BuildBlendImageRamp(255, 0);  // base -65279: only entry 255 is above 0
    EXPECT_EQ(1, r[255]);
    EXPECT_EQ(0, r[254]);
    EXPECT_EQ(0, r[0]);
    BuildBlendImageRamp(128, 255);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(i, r[i]);
    BuildBlendImageRamp(64, 3);  // k 4, step 16384, base -3904: 64 i - 3904
    EXPECT_EQ(0, r[60]);
    EXPECT_EQ(0, r[61]);
    EXPECT_EQ(64, r[62]);
    EXPECT_EQ(128, r[63]);
    EXPECT_EQ(192, r[64]);
    EXPECT_EQ(255, r[65]);
    BuildBlendImageRamp(10, -1);  // a range of -1 would divide by zero: taken as 0 (256 i - 2314)
    EXPECT_EQ(0, r[9]);
    EXPECT_EQ(246, r[10]);
    EXPECT_EQ(255, r[11]);
    BuildBlendImageRamp(2147483647, 2147483647);
    EXPECT_EQ(0, r[255]);
}

}  // namespace
