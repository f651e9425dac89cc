// Where the one OpenGL context lives: on the window given a drawable from
// the start (GiveNextWindowGL), presented into without a second drawable,
// else on a hidden window of its own; when its window goes, the context
// stays and finds a hidden home at the next acquire.
#include "platform/d3d9/d3d9.h"
#include "platform/sdl/sdl_gl.h"
#include "platform/sdl/sdl_video.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

struct Case {
    const char* what;
    bool giveDrawable;      // GiveNextWindowGL before the windows are made
    bool destroyFirst;      // the first window goes after the context was made
    bool homeIsFirst;       // the context lives on the first window
};

const Case kCases[] = {
    {"a window given a drawable hosts the context", true, false, true},
    {"without one the context has a hidden window", false, false, false},
    {"the host window goes: the context stays, on a hidden window", true, true, false},
};

platform::sdl::WindowPlacement Placement() {
    platform::sdl::WindowPlacement p;
    p.clientWidth = 64;
    p.clientHeight = 48;
    return p;
}

TEST(GLHomeWindow, TheContextLivesWhereItWasMade) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    for (const Case& c : kCases) {
        platform::sdl::ReleaseGLContext();
        if (c.giveDrawable) platform::sdl::GiveNextWindowGL();
        const uint32_t first = platform::sdl::CreateVideoWindow("first", Placement());
        const uint32_t second = platform::sdl::CreateVideoWindow("second", Placement());
        ASSERT_NE(first, 0u) << c.what;
        ASSERT_NE(second, 0u) << c.what;
        if (!platform::sdl::AcquireGLContext()) {
            platform::sdl::DestroyVideoWindow(first);
            platform::sdl::DestroyVideoWindow(second);
            GTEST_SKIP() << "no OpenGL 3.3 context here";
        }
        if (c.destroyFirst) platform::sdl::DestroyVideoWindow(first);
        EXPECT_TRUE(platform::sdl::AcquireGLContext()) << c.what;
        EXPECT_EQ(platform::sdl::GLHomeWindow(), c.homeIsFirst ? first : 0u) << c.what;
        // The second window (no drawable from the start) still takes presents.
        int w = 0, h = 0;
        EXPECT_TRUE(platform::sdl::BeginWindowGL(second, &w, &h)) << c.what;
        EXPECT_EQ(w, 64) << c.what;
        platform::sdl::EndWindowGL(second);
        EXPECT_TRUE(platform::sdl::AcquireGLContext()) << c.what << ": current again after the present";
        if (!c.destroyFirst) platform::sdl::DestroyVideoWindow(first);
        platform::sdl::DestroyVideoWindow(second);
        EXPECT_TRUE(platform::sdl::AcquireGLContext()) << c.what << ": after every window went";
        EXPECT_EQ(platform::sdl::GLHomeWindow(), 0u) << c.what;
    }
    platform::sdl::ReleaseGLContext();
}

}  // namespace
