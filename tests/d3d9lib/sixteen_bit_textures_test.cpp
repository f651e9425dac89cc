// A 16-bit screen on the device: the format probe finds the 16-bit texture
// formats, and pictures reach their textures in those formats' layouts.
#include "device_test_util.h"

namespace device_test {
namespace {

const ScreenMode kSixteen{320, 240, 16, 0, 0};  // exclusive full screen keeps the depth

class SixteenBitTest : public DeviceTest {
protected:
    // The words of the picture's first texture, top rows first.
    static std::vector<uint16_t> TextureWords(const ImagePicture* picture, int width, int height,
                                              D3DFORMAT* format) {
        std::vector<uint16_t> words;
        if (picture->textures == nullptr) return words;
        IDirect3DTexture9* t = picture->textures[0].staging != nullptr ? picture->textures[0].staging
                                                                       : picture->textures[0].texture;
        D3DSURFACE_DESC desc{};
        t->GetLevelDesc(0, &desc);
        *format = desc.Format;
        D3DLOCKED_RECT locked{};
        if (t->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK) return words;
        for (int y = 0; y < height; ++y) {
            const auto* row =
                reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch);
            words.insert(words.end(), row, row + width);
        }
        t->UnlockRect(0);
        return words;
    }
};

TEST_F(SixteenBitTest, TheProbeTakesTheSixteenBitFormats) {
    Start(kSixteen);
    ASSERT_EQ(Screen().d3dActive, 1);
    const DeviceBlock& d = Device();
    EXPECT_EQ(d.backBufferFormat, D3DFMT_R5G6B5);
    const std::string log = graphics_test::LogText();
    struct Case {
        const char* what;
        int index;
        D3DFORMAT format;
        const char* line;
    } cases[] = {
        {"16-bit colour", kFormat16, D3DFMT_R5G6B5, "16bit カラーフォーマットは D_D3DFMT_R5G6B5 です"},
        {"16-bit alpha", kFormatAlpha16, D3DFMT_A4R4G4B4, "アルファ付き 16bit カラーフォーマットは D_D3DFMT_A4R4G4B4 です"},
        {"16-bit cut-out", kFormatCutOut16, D3DFMT_A1R5G5B5,
         "アルファテスト用 16bit カラーフォーマットは D_D3DFMT_A1R5G5B5 です"},
        {"cut-out at the screen depth", kFormatCutOutScreen, D3DFMT_A1R5G5B5, nullptr},
        {"render target at the screen depth", kFormatTargetScreen, D3DFMT_R5G6B5,
         "描画用 16bit カラーフォーマットは D3DFMT_R5G6B5 です"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(d.textureFormats[c.index], c.format) << c.what;
        if (c.line != nullptr) {
            EXPECT_NE(log.find(c.line), std::string::npos) << c.what;
        }
    }
}

TEST_F(SixteenBitTest, PicturesFillTheirTexturesInTheSixteenBitLayouts) {
    Start(kSixteen);
    ASSERT_EQ(Screen().d3dActive, 1);
    Picture p(2, 1, 0);
    struct Case {
        const char* what;
        uint32_t left, right;  // 0xAARRGGBB of the PNG
        bool alpha;            // saved with its alpha channel
        D3DFORMAT format;
        uint16_t words[2];
        bool drawn;            // drawn on black and read back through the screen lock
        uint32_t screen[2];    // 0x00RRGGBB there (5-6-5 on the back buffer)
    } cases[] = {
        {"a cut-out picture: magenta is see-through", 0xFFFF00FF, 0xFF8F4F2F, false, D3DFMT_A1R5G5B5,
         // 8F 4F 2F is 5-6-5 0x11 0x13 0x05; the green 0x13 widens to 0x4D, whose top 5 bits are 0x09
         {0x7C1F, 0x8000 | 0x11 << 10 | 0x09 << 5 | 0x05},
         true,
         // sampled 8C 4A 29; the back buffer's six green bits keep 0x12, read back as 0x49
         {0x000000, 0x8C4929}},
        {"a translucent picture", 0x80FF8040, 0xFF102030, true, D3DFMT_A4R4G4B4, {0x8F84, 0xF123}, false, {}},
    };
    for (const Case& c : cases) {
        p.At(0, 0) = c.left;
        p.At(1, 0) = c.right;
        const int32_t image = graphics_test::LoadPicture("sixteen.png", p, c.alpha);
        ASSERT_GE(image, 0) << c.what;
        ImageRecord* record = FindImage(image);
        ASSERT_NE(record, nullptr) << c.what;
        PrepareImageForDevice(record);
        D3DFORMAT format = D3DFMT_UNKNOWN;
        const std::vector<uint16_t> words = TextureWords(record->picture, 2, 1, &format);
        EXPECT_EQ(format, c.format) << c.what;
        EXPECT_EQ(words, std::vector<uint16_t>(c.words, c.words + 2)) << c.what;
        if (c.drawn) {
            ClearDrawTarget(nullptr);
            ASSERT_EQ(DrawImage(10, 20, image, 1), 0) << c.what;
            const Picture screen = ReadScreen();
            EXPECT_EQ(screen.At(10, 20), c.screen[0]) << c.what;
            EXPECT_EQ(screen.At(11, 20), c.screen[1]) << c.what;
        }
        DeleteImage(image);
    }
}

}  // namespace
}  // namespace device_test
