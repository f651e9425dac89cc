// Where the one OpenGL context lives: on the window given a drawable from
// the start (GiveNextWindowGL), presented into without a second drawable;
// when its window goes, on another window with a drawable, else on a hidden
// window of its own. The context is made once per process, so the steps run
// in order in one test (ctest gives it a process of its own).
#include "platform/sdl/sdl_gl.h"
#include "platform/sdl/sdl_video.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

enum class Action { MakeWithDrawable, MakePlain, PresentInto, Destroy };

struct Step {
    const char* what;
    Action action;
    int window;  // index into the test's windows
    int home;    // the window the context lives on afterwards; -1: a hidden one
};

const Step kSteps[] = {
    {"a window given a drawable", Action::MakeWithDrawable, 0, 0},
    {"a window made after it has none", Action::MakePlain, 1, 0},
    {"a present into the plain window leaves the home", Action::PresentInto, 1, 0},
    {"the home goes: the context moves to the other window with a drawable", Action::Destroy, 0, 1},
    {"that one goes too: a hidden window", Action::Destroy, 1, -1},
    {"a new plain window does not become the home", Action::MakePlain, 2, -1},
    {"a present into it still works", Action::PresentInto, 2, -1},
};

TEST(GLHomeWindow, TheContextLivesWhereItWasMade) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (platform::sdl::HasGLContext()) GTEST_SKIP() << "the context was made before this test";
    uint32_t windows[3] = {0, 0, 0};
    platform::sdl::WindowPlacement placement;
    placement.clientWidth = 64;
    placement.clientHeight = 48;
    for (const Step& s : kSteps) {
        uint32_t& id = windows[s.window];
        switch (s.action) {
            case Action::MakeWithDrawable:
                platform::sdl::GiveNextWindowGL();
                [[fallthrough]];
            case Action::MakePlain:
                id = platform::sdl::CreateVideoWindow(s.what, placement);
                ASSERT_NE(id, 0u) << s.what;
                break;
            case Action::PresentInto: {
                int w = 0, h = 0;
                EXPECT_TRUE(platform::sdl::BeginWindowGL(id, &w, &h)) << s.what;
                EXPECT_EQ(w, 64) << s.what;
                platform::sdl::EndWindowGL(id);
                break;
            }
            case Action::Destroy:
                platform::sdl::DestroyVideoWindow(id);
                break;
        }
        if (!platform::sdl::AcquireGLContext()) GTEST_SKIP() << "no OpenGL 3.3 context here";
        EXPECT_EQ(platform::sdl::GLHomeWindow(), s.home < 0 ? 0u : windows[s.home]) << s.what;
    }
    platform::sdl::DestroyVideoWindow(windows[2]);
}

}  // namespace
