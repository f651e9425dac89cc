// The present into a window's own drawable: the source rectangle of a
// picture lands in the destination rectangle, each pixel taking the texel
// under its centre (nearest), rows the right way up, black around it.
#include "platform/d3d9/d3d9_gl.h"
#include "platform/sdl/sdl_gl.h"
#include "platform/sdl/sdl_video.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

namespace gl = d3d9::gl;

constexpr int kPictureW = 16, kPictureH = 12;
constexpr int kWindowW = 64, kWindowH = 48;

// Every texel its own colour: x in red, y in green.
uint32_t TexelColor(int x, int y) { return 0xFF000000u | static_cast<uint32_t>(x) << 16 | y << 8 | 0x55u; }

class WindowPresentTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!gl::Start()) GTEST_SKIP() << "no OpenGL 3.3 context here";
        platform::sdl::WindowPlacement placement;
        placement.clientWidth = kWindowW;
        placement.clientHeight = kWindowH;
        platform::sdl::GiveNextWindowGL();
        window_ = platform::sdl::CreateVideoWindow("present", placement);
        ASSERT_NE(window_, 0u);
        ASSERT_TRUE(platform::sdl::BeginWindowGL(window_, &drawableW_, &drawableH_));
        std::vector<uint32_t> texels(kPictureW * kPictureH);
        for (int y = 0; y < kPictureH; ++y)
            for (int x = 0; x < kPictureW; ++x) texels[y * kPictureW + x] = TexelColor(x, y);
        picture_ = gl::NewColorTexture(kPictureW, kPictureH, 1, 0);
        ASSERT_NE(picture_, 0u);
        gl::WriteColor(picture_, 0, gl::Rect{0, 0, kPictureW, kPictureH}, texels.data());
    }
    void TearDown() override {
        gl::DeleteTexture(picture_);
        if (window_ != 0) {
            platform::sdl::EndWindowGL(window_);
            platform::sdl::DestroyVideoWindow(window_);
        }
    }

    uint32_t window_ = 0;
    int drawableW_ = 0, drawableH_ = 0;
    uint32_t picture_ = 0;
};

TEST_F(WindowPresentTest, EachPixelTakesTheTexelUnderItsCentre) {
    struct Case {
        const char* what;
        gl::Rect source, dest;
    } cases[] = {
        {"one to one", {0, 0, 16, 12}, {0, 0, 16, 12}},
        {"doubled", {0, 0, 16, 12}, {0, 0, 32, 24}},
        {"a part, doubled, moved", {4, 2, 8, 6}, {10, 5, 16, 12}},
        {"tripled in the middle", {0, 0, 16, 12}, {8, 6, 48, 36}},
        {"halved: the odd texels", {0, 0, 16, 12}, {0, 0, 8, 6}},
        {"one and a half", {0, 0, 12, 8}, {3, 2, 18, 12}},
        {"the whole drawable", {0, 0, 16, 12}, {0, 0, kWindowW, kWindowH}},
    };
    ASSERT_EQ(drawableW_, kWindowW);
    ASSERT_EQ(drawableH_, kWindowH);
    std::vector<uint32_t> shown(kWindowW * kWindowH);
    for (const Case& c : cases) {
        const uint64_t readsBefore = gl::ReadCount();
        gl::PresentToWindow(picture_, 0, c.source, c.dest, drawableW_, drawableH_);
        EXPECT_EQ(gl::ReadCount(), readsBefore) << c.what << ": the present reads nothing back";
        gl::ReadDrawable(gl::Rect{0, 0, kWindowW, kWindowH}, drawableH_, shown.data());
        int wrong = 0;
        for (int y = 0; y < kWindowH; ++y)
            for (int x = 0; x < kWindowW; ++x) {
                const int px = x - c.dest.x, py = y - c.dest.y;
                uint32_t want = 0xFF000000u;
                if (px >= 0 && py >= 0 && px < c.dest.w && py < c.dest.h) {
                    const int tx = c.source.x + static_cast<int>(std::floor((px + 0.5) * c.source.w / c.dest.w));
                    const int ty = c.source.y + static_cast<int>(std::floor((py + 0.5) * c.source.h / c.dest.h));
                    want = TexelColor(tx, ty);
                }
                const uint32_t got = shown[y * kWindowW + x] | 0xFF000000u;
                if (got != want && ++wrong <= 3)
                    ADD_FAILURE() << c.what << " at " << x << "," << y << ": " << std::hex << got << " not " << want;
            }
        EXPECT_EQ(wrong, 0) << c.what;
    }
}

}  // namespace
