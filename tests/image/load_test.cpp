// The loaders: files, memory images, caller streams and the decoder order.
#include "image_test_util.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

using namespace image_test;

namespace {

Bytes SmallBgra() {
    Bytes b;
    PutText(b, "BGRA");
    Put32(b, 1);
    Put32(b, 1);
    b.insert(b.end(), {9, 8, 7, 6});
    return b;
}

}  // namespace

TEST(LoadPixelImage, FromMemoryAndFromAFile) {
    Bytes file = SmallBgra();
    PixelImage image;
    ASSERT_EQ(LoadPixelImage(nullptr, file.data(), file.size(), &image), 0);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{6, 7, 8, 9}));
    ReleasePixelImage(&image);

    std::string path = std::string(TEST_BINARY_DIR) + "/image_load_test_" + std::to_string(getpid()) + ".bgra";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    ASSERT_EQ(LoadPixelImage(path.c_str(), nullptr, 0, &image), 0);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{6, 7, 8, 9}));
    ReleasePixelImage(&image);
    std::remove(path.c_str());

    EXPECT_EQ(LoadPixelImage(path.c_str(), nullptr, 0, &image), -1);  // gone now
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(LoadPixelImage(nullptr, nullptr, 0, &image), -1);
}

TEST(LoadPixelImage, DataNoDecoderAcceptsFails) {
    PixelImage image;
    // An Ogg page start, as a movie file has, and plain text.
    for (const char* text : {"OggS\0\2\0\0\0\0\0\0\0\0\0\0\0\0\0\0", "hello, this is not a picture", ""}) {
        Bytes bytes(text, text + std::strlen(text) + 1);
        EXPECT_EQ(LoadPixelImage(nullptr, bytes.data(), bytes.size(), &image), -1) << text;
        EXPECT_EQ(image.pixels, nullptr);
    }
}

TEST(DecodePixelImage, StartsAtTheStreamsPositionAndRewindsBetweenTries) {
    // 5 bytes of something else, then a TGA file: every decoder before TGA
    // reads some of it and fails, and each must see it from the same start.
    Bytes bytes = {'j', 'u', 'n', 'k', '!'};
    Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0x20, 0x33, 0x22, 0x11};
    bytes.insert(bytes.end(), tga.begin(), tga.end());
    DataStream stream{*GetMemoryStreamFunctions(), OpenMemStream(bytes.data(), bytes.size())};
    ASSERT_NE(stream.handle, 0u);
    ASSERT_EQ(stream.functions.Seek(stream.handle, 5, 0), 0);
    PixelImage image;
    ASSERT_EQ(DecodePixelImage(&stream, &image), 0);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{255, 0x11, 0x22, 0x33}));
    ReleasePixelImage(&image);
    stream.functions.Close(stream.handle);
}
