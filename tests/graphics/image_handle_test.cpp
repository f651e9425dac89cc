// Image handles: the handle rules, fatal exhaustion, derived images and their
// shared pictures, lost flags, loading (transparent colour, alpha, bad files),
// sizes, fills and the conversion of images on a colour-depth change.
#include "graphics_test_util.h"

namespace graphics_test {
namespace {

class ImageHandleTest : public GraphicsTest {};

constexpr uint32_t kMagenta = 0xFFFF00FF;

// A picture whose pixel (x, y) is a colour of its own, with a magenta frame.
Picture PatternPicture(int w, int h) {
    Picture p(w, h, kMagenta);
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x) p.At(x, y) = 0xFF000000u | uint32_t(x * 4) << 16 | uint32_t(y * 4) << 8 | 0x40;
    return p;
}

TEST_F(ImageHandleTest, HandlesCarryTheImageTypeAndRefuseWhatTheyDoNotName) {
    int32_t a = CreateBlankImage(8, 8);
    int32_t b = CreateBlankImage(8, 8);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_EQ(a & 0x78000000, 0x08000000);
    EXPECT_NE(a, b);
    EXPECT_EQ(GetImageCount(), 2);

    MarkLog();
    const int32_t wrongType = (a & ~0x78000000) | 0x10000000;  // a sound handle's type
    const int32_t wrongCheck = a ^ 0x00010000;
    const int32_t beyondTable = (a & ~0xFFFF) | 0x8000;
    for (int32_t bad : {-1, wrongType, wrongCheck, beyondTable, 0}) {
        int32_t w = 99;
        EXPECT_EQ(GetImageSize(bad, &w, nullptr), -1) << std::hex << bad;
        EXPECT_EQ(w, 99);
        EXPECT_EQ(DrawImage(0, 0, bad, 0), -1);
        EXPECT_EQ(DrawImageRect(0, 0, 0, 0, 4, 4, bad, 1, 0), -1);
        EXPECT_EQ(DeleteImage(bad, 0), -1);
        EXPECT_EQ(DeriveImage(0, 0, 1, 1, bad), -1);
        EXPECT_EQ(SetDrawTarget(bad), -1);
        EXPECT_EQ(FillImage(bad, 1, 2, 3, 4), -1);
    }
    EXPECT_NE(NewLog().find("in DrawImageRect"), std::string::npos);
    EXPECT_NE(NewLog().find("in DeleteImage"), std::string::npos);
    EXPECT_EQ(GetDrawTarget(), kDrawTargetBack);
    EXPECT_EQ(GetImageCount(), 2);

    // A deleted handle stays refused, also once a later image takes its slot
    // back (the check value differs).
    ASSERT_EQ(DeleteImage(a, 0), 0);
    EXPECT_EQ(GetImageSize(a, nullptr, nullptr), -1);
    EXPECT_EQ(DeleteImage(a, 0), -1);
    EXPECT_EQ(GetImageCount(), 1);
    EXPECT_EQ(DeleteImage(b, 0), 0);
}

TEST_F(ImageHandleTest, RunningOutOfHandlesEndsTheProcess) {
    int32_t first = CreateBlankImage(1, 1);
    for (int i = 1; i < kMaxImageHandles; ++i) ASSERT_GE(CreateBlankImage(1, 1), 0) << i;
    EXPECT_EQ(GetImageCount(), kMaxImageHandles);
    EXPECT_EQ(GetImageSize(first, nullptr, nullptr), 0);
    try {
        CreateBlankImage(1, 1);
        FAIL() << "the process did not end";
    } catch (const ProcessExit& e) {
        EXPECT_EQ(e.code, -1);
    }
    EXPECT_FALSE(IsLibraryRunning());  // the library ended before the exit
    EXPECT_NE(LogText().find("in CreateBlankImage"), std::string::npos);
}

TEST_F(ImageHandleTest, RunningOutOfMemoryWhileCreatingAnImageEndsTheProcess) {
    seams::FailCall("AllocMemory", 1);
    EXPECT_THROW(CreateBlankImage(4, 4), ProcessExit);
    EXPECT_FALSE(IsLibraryRunning());

    Start(ScreenMode{});
    int32_t source = CreateBlankImage(4, 4);
    seams::FailCall("AllocMemory", 1);
    EXPECT_THROW(DeriveImage(0, 0, 2, 2, source), ProcessExit);
    EXPECT_NE(LogText().find("in DeriveImage"), std::string::npos);
}

TEST_F(ImageHandleTest, DerivedImagesShareThePictureAndOutliveOrLeaveTheirSource) {
    int32_t source = LoadPicture("pattern.png", PatternPicture(20, 10));
    ASSERT_GE(source, 0);
    uint32_t blocks = AllocatedBlockCount();
    int32_t part = DeriveImage(5, 2, 100, 3, source);  // the width is cut to end inside the source
    ASSERT_GE(part, 0);
    EXPECT_EQ(AllocatedBlockCount(), blocks + 1) << "a derived image adds its record only";
    int32_t w = 0, h = 0;
    ASSERT_EQ(GetImageSize(part, &w, &h), 0);
    EXPECT_EQ(w, 15);
    EXPECT_EQ(h, 3);
    EXPECT_EQ(ImagePixel(part, 0, 0), ImagePixel(source, 5, 2));
    // A derivation of a derived image counts from its own corner.
    int32_t inner = DeriveImage(1, 1, 2, 2, part);
    EXPECT_EQ(ImagePixel(inner, 0, 0), ImagePixel(source, 6, 3));

    // Writing through one shows in the other.
    ASSERT_EQ(SetDrawTarget(part), 0);
    DrawRectangle(0, 0, 1, 1, MakeColor(1, 2, 3), 1);
    EXPECT_EQ(ImagePixel(source, 5, 2), 0x00010203u);

    // Deleting the derived images keeps the picture for the source ...
    ASSERT_EQ(DeleteImage(inner, 0), 0);
    ASSERT_EQ(DeleteImage(part, 0), 0);
    EXPECT_EQ(GetDrawTarget(), kDrawTargetBack) << "a deleted draw target leaves the back buffer";
    EXPECT_EQ(ImagePixel(source, 5, 2), 0x00010203u);
    ASSERT_EQ(DrawImage(0, 0, source, 0), 0);
    EXPECT_EQ(ScreenPixel(5, 2), 0x010203u);

    // ... and deleting the source keeps it for a derived image.
    part = DeriveImage(5, 2, 3, 3, source);
    ASSERT_EQ(DeleteImage(source, 0), 0);
    ClearDrawTarget(nullptr);
    ASSERT_EQ(DrawImage(40, 40, part, 0), 0);
    EXPECT_EQ(ScreenPixel(40, 40), 0x010203u);
    EXPECT_EQ(DeleteImage(part, 0), 0);
    EXPECT_EQ(AllocatedBlockCount(), blocks - 5) << "the last image released the whole picture";
}

TEST_F(ImageHandleTest, DeriveRefusesAStartOutsideTheSourceOrAnEmptySize) {
    int32_t source = CreateBlankImage(10, 10);
    MarkLog();
    EXPECT_EQ(DeriveImage(10, 0, 1, 1, source), -1);
    EXPECT_EQ(DeriveImage(0, 10, 1, 1, source), -1);
    EXPECT_EQ(DeriveImage(-1, 0, 1, 1, source), -1);
    EXPECT_EQ(DeriveImage(0, 0, 0, 5, source), -1);
    EXPECT_EQ(DeriveImage(0, 0, 5, -2, source), -1);
    EXPECT_NE(NewLog().find("in DeriveImage"), std::string::npos);
    int32_t corner = DeriveImage(9, 9, 5, 5, source);
    int32_t w = 0, h = 0;
    ASSERT_EQ(GetImageSize(corner, &w, &h), 0);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(GetImageCount(), 2);
}

TEST_F(ImageHandleTest, LostFlagsAreSetWhenTheImageGoes) {
    int32_t a = CreateBlankImage(2, 2);
    int32_t b = CreateBlankImage(2, 2);
    int32_t lostA = 7, lostB = 7;
    ASSERT_EQ(SetImageLostFlag(a, &lostA), 0);
    ASSERT_EQ(SetImageLostFlag(b, &lostB), 0);
    EXPECT_EQ(lostA, 0);
    EXPECT_EQ(lostB, 0);
    ASSERT_EQ(DeleteImage(a, 0), 0);
    EXPECT_EQ(lostA, 1);
    EXPECT_EQ(lostB, 0);
    EXPECT_EQ(SetImageLostFlag(a, &lostA), -1);
    EndLibrary();  // graphics end deletes every image left
    EXPECT_EQ(lostB, 1);
}

TEST_F(ImageHandleTest, LoadedImagesTakeTheScreenFormatAndTheMagentaTransparency) {
    Picture p = PatternPicture(8, 8);
    int32_t image = LoadPicture("magenta.png", p);
    ASSERT_GE(image, 0);
    ImageRecord* record = FindImage(image);
    ASSERT_NE(record, nullptr);
    EXPECT_STREQ(record->fileName, "magenta.png");
    const MemImgBase* base = record->memImg.base;
    EXPECT_EQ(base->colorType, kMemImgX8R8G8B8);
    EXPECT_EQ(base->alphaFlag, 0);
    EXPECT_EQ(base->transparentColor, 0x00FF00FFu) << "stored as the image's own pixel value, fourth byte 0";
    EXPECT_EQ(ImagePixel(image, 0, 0), 0x00FF00FFu);
    EXPECT_EQ(ImagePixel(image, 3, 2), p.At(3, 2) & 0x00FFFFFF);

    // Transparent draws leave the magenta frame out; plain draws copy it.
    SetBackgroundColor(0, 0, 0x30);
    ClearDrawTarget(nullptr);
    ASSERT_EQ(DrawImage(10, 10, image, 1), 0);
    EXPECT_EQ(ScreenPixel(10, 10), 0x000030u);
    EXPECT_EQ(ScreenPixel(17, 17), 0x000030u);
    EXPECT_EQ(ScreenPixel(13, 12), p.At(3, 2) & 0x00FFFFFF);
    ASSERT_EQ(DrawImage(10, 10, image, 0), 0);
    EXPECT_EQ(ScreenPixel(10, 10), 0xFF00FFu);

    // The colour set when loading is the image's: a later change does not alter it.
    SetTransparentColor(0, 0, 0);
    EXPECT_EQ(FindImage(image)->memImg.base->transparentColor, 0x00FF00FFu);
}

TEST_F(ImageHandleTest, SixteenBitImagesStoreTheTransparentColourInSixteenBits) {
    Start(ScreenMode{320, 240, 16, 0});
    EXPECT_EQ(GetScreenBitDepth(), 16);
    int32_t image = LoadPicture("magenta16.png", PatternPicture(6, 6));
    ASSERT_GE(image, 0);
    const MemImgBase* base = FindImage(image)->memImg.base;
    EXPECT_EQ(base->colorType, kMemImgR5G6B5);
    EXPECT_EQ(base->transparentColor, 0xF81Fu);
    EXPECT_EQ(ImagePixel(image, 0, 0), 0xF81Fu);
    SetBackgroundColor(0, 255, 0);
    ClearDrawTarget(nullptr);
    ASSERT_EQ(DrawImage(0, 0, image, 1), 0);
    EXPECT_EQ(RawPixel(Targets().screen, 0, 0), 0x07E0u);
    EXPECT_EQ(RawPixel(Targets().screen, 2, 2), ImagePixel(image, 2, 2));
}

TEST_F(ImageHandleTest, TranslucentPngsKeepTheirAlphaAndOpaqueOnesDoNot) {
    Picture p(4, 1, 0xFF00FF00);
    p.At(0, 0) = 0x00FF0000;  // fully transparent red
    p.At(1, 0) = 0x80FFFFFF;  // half white
    p.At(2, 0) = 0xFF0000FF;  // opaque blue
    p.At(3, 0) = kMagenta;    // opaque magenta: drawn, the alpha decides
    int32_t translucent = LoadPicture("alpha.png", p, true);
    ASSERT_GE(translucent, 0);
    EXPECT_EQ(FindImage(translucent)->memImg.base->alphaFlag, 1);
    ClearDrawTarget(nullptr);
    ASSERT_EQ(DrawImage(0, 0, translucent, 1), 0);
    EXPECT_EQ(ScreenPixel(0, 0), 0x000000u);
    EXPECT_EQ(ScreenPixel(1, 0), 0x7F7F7Fu);  // 255 x 128 / 256, rounded down
    EXPECT_EQ(ScreenPixel(2, 0), 0x0000FFu);
    EXPECT_EQ(ScreenPixel(3, 0), 0xFF00FFu);

    // Alpha 255 everywhere: a plain image, transparent by the magenta.
    Picture opaque(2, 1, 0xFF102030);
    opaque.At(1, 0) = kMagenta;
    int32_t plain = LoadPicture("opaque-rgba.png", opaque, true);
    ASSERT_GE(plain, 0);
    EXPECT_EQ(FindImage(plain)->memImg.base->alphaFlag, 0);
    ClearDrawTarget(nullptr);
    ASSERT_EQ(DrawImage(0, 0, plain, 1), 0);
    EXPECT_EQ(ScreenPixel(0, 0), 0x102030u);
    EXPECT_EQ(ScreenPixel(1, 0), 0x000000u);
}

TEST_F(ImageHandleTest, BadFilesGiveMinusOneAndALogLineAndLeaveNothing) {
    SavePng("good.png", PatternPicture(4, 4));
    std::vector<uint8_t> good = ReadBytes("good.png");
    ASSERT_GT(good.size(), 40u);
    std::vector<uint8_t> truncated(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
    std::vector<uint8_t> corrupt = good;
    for (size_t i = 33; i < corrupt.size(); i += 3) corrupt[i] ^= 0x5A;
    WriteBytes("truncated.png", truncated);
    WriteBytes("corrupt.png", corrupt);
    WriteBytes("empty.png", {});
    WriteBytes("text.png", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});

    uint32_t blocks = AllocatedBlockCount();
    for (const char* name : {"missing.png", "truncated.png", "corrupt.png", "empty.png", "text.png"}) {
        MarkLog();
        EXPECT_EQ(LoadImageFile(name, 0), -1) << name;
        EXPECT_NE(NewLog().find(name), std::string::npos) << "the log names " << name;
    }
    MarkLog();
    EXPECT_EQ(LoadImageFile(nullptr, 0), -1);
    EXPECT_EQ(LoadImageFile("", 0), -1);
    EXPECT_NE(NewLog().find("in LoadImageFile"), std::string::npos);
    EXPECT_EQ(GetImageCount(), 0);
    EXPECT_EQ(AllocatedBlockCount(), blocks);

    // Images exist only while graphics runs.
    EndLibrary();
    EXPECT_EQ(LoadImageFile("good.png", 0), -1);
    EXPECT_EQ(CreateBlankImage(4, 4), -1);
}

TEST_F(ImageHandleTest, SizesOfImagesAndOfTheScreenTargets) {
    int32_t image = CreateBlankImage(33, 7);
    int32_t w = 0, h = 0;
    ASSERT_EQ(GetImageSize(image, &w, &h), 0);
    EXPECT_EQ(w, 33);
    EXPECT_EQ(h, 7);
    ASSERT_EQ(GetImageSize(kDrawTargetFront, &w, &h), 0);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    EXPECT_EQ(GetImageSize(image, nullptr, nullptr), 0);
    MarkLog();
    EXPECT_EQ(CreateBlankImage(0, 5), -1);
    EXPECT_EQ(CreateBlankImage(5, -1), -1);
    EXPECT_EQ(CreateBlankImage(40000, 1), -1);
    EXPECT_NE(NewLog().find("in CreateBlankImage"), std::string::npos);
}

TEST_F(ImageHandleTest, FillImageCoversTheWholeImageWhateverTheDrawArea) {
    int32_t image = CreateBlankImage(6, 4);
    ASSERT_EQ(SetDrawRegion(100, 100, 101, 101), 0);  // the screen's area must not clip the fill
    ASSERT_EQ(FillImage(image, 10, 20, 30, 255), 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(ImagePixel(image, x, y), 0x000A141Eu) << x << "," << y;
    RECT region{};
    GetDrawRegion(&region);
    EXPECT_EQ(region.left, 100);
    EXPECT_EQ(region.right, 101);

    // An image with alpha gets colour and alpha as they are.
    SetBlankImageAlpha(1);
    int32_t alpha = CreateBlankImage(3, 3);
    SetBlankImageAlpha(0);
    ASSERT_EQ(FindImage(alpha)->memImg.base->alphaFlag, 1);
    ASSERT_EQ(FillImage(alpha, 255, 0, 0, 64), 0);
    EXPECT_EQ(ImagePixel(alpha, 2, 2), 0x40FF0000u);
}

TEST_F(ImageHandleTest, AColourDepthChangeKeepsAndConvertsTheImages) {
    int32_t image = LoadPicture("depth.png", PatternPicture(8, 8));
    int32_t part = DeriveImage(2, 2, 4, 4, image);
    int32_t target = CreateBlankImage(8, 8);
    ASSERT_EQ(SetDrawTarget(target), 0);
    uint32_t before = ImagePixel(image, 3, 3);

    ASSERT_EQ(ChangeScreenMode(320, 240, 16, 60), 0);
    EXPECT_EQ(GetScreenBitDepth(), 16);
    EXPECT_EQ(GetImageCount(), 3);
    EXPECT_EQ(GetDrawTarget(), target) << "an image target stays the target";
    const MemImgBase* base = FindImage(image)->memImg.base;
    EXPECT_EQ(base->colorType, kMemImgR5G6B5);
    EXPECT_EQ(base->transparentColor, 0xF81Fu);
    uint32_t r = (before >> 16) & 0xFF, g = (before >> 8) & 0xFF, b = before & 0xFF;
    EXPECT_EQ(ImagePixel(image, 3, 3), (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
    EXPECT_EQ(FindImage(part)->memImg.base, base) << "the derived image follows its picture";
    EXPECT_EQ(ImagePixel(part, 1, 1), ImagePixel(image, 3, 3));

    // Drawing works across the change: the transparent frame stays out.
    ASSERT_EQ(SetDrawTarget(kDrawTargetBack), 0);
    SetBackgroundColor(0, 0, 255);
    ClearDrawTarget(nullptr);
    ASSERT_EQ(DrawImage(0, 0, image, 1), 0);
    EXPECT_EQ(RawPixel(Targets().screen, 0, 0), 0x001Fu);
    EXPECT_EQ(RawPixel(Targets().screen, 3, 3), ImagePixel(image, 3, 3));
}

}  // namespace
}  // namespace graphics_test
