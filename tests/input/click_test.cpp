// Quick clicks on both roads to the keys: a key or mouse button pressed and
// released between two reads is reported by the first read of it, whatever
// reads, keyboard refreshes and clock steps come between, and every read
// before the next refresh answers alike.
#include "input_fixture.h"

#include <cctype>
#include <string>
#include <vector>

namespace input_test {
namespace {

// The parameter is the Windows version, which picks the road: the system key
// state from Vista on, DirectInput's devices before.
class Clicks : public InputTest, public ::testing::WithParamInterface<int32_t> {
protected:
    void SetUp() override {
        InputTest::SetUp();
        ASSERT_EQ(InitializeInput(), 0);
        TheWorld().version = GetParam();
        Tick();
        GetMouseButtons();  // acquires DirectInput's mouse: its presses count from here
    }
    // M, Z, E: the left button, Z, Escape.
    static void Press(char target, bool down) {
        if (GetParam() >= 0x108) return HoldVirtualKey(target == 'M' ? 0x01 : target == 'Z' ? 0x5A : 0x1B, down);
        ASSERT_TRUE(target == 'M' ? platform::sdl::PushTestMouseButton(0, down)
                                  : platform::sdl::PushTestKey(target == 'Z' ? DIK_Z : DIK_ESCAPE, down));
    }
    static void Click(char target) {
        if (GetParam() >= 0x108) return ClickVirtualKey(target == 'M' ? 0x01 : target == 'Z' ? 0x5A : 0x1B);
        Press(target, true);
        Press(target, false);
    }
    // m e z p: the left button, Escape, Z, any slot of pad 1's key map.
    static int Read(char reader) {
        if (reader == 'm') return GetMouseButtons() & kMouseLeft;
        if (reader == 'p') return GetPadState(kPadWithKeyMap | 1) != 0 ? 1 : 0;
        return IsKeyDown(reader == 'z' ? DIK_Z : DIK_ESCAPE);
    }
    // M Z E click, H and U hold and let go of the left button, + steps the
    // clock a millisecond, r refreshes the whole keyboard as the message pump
    // does, and a reader with 0 or 1 reads and checks.
    static void Run(const char* what, const char* script) {
        for (const char* s = script; *s != '\0'; ++s) {
            if (*s == 'H' || *s == 'U') {
                Press('M', *s == 'H');
            } else if (*s == '+' || *s == 'r') {
                *s == '+' ? Tick() : void(RefreshKeyboard());
            } else if (std::isupper(*s)) {
                Click(*s);
            } else {
                EXPECT_EQ(Read(*s), s[1] - '0') << what << " at " << s - script;
                if (*++s == '\0') return;
            }
        }
    }
};

TEST_P(Clicks, AClickIsReportedByTheFirstReadOfItsButtonOrKey) {
    const char* const cases[][2] = {
        {"Escape read a millisecond before the mouse", "M+e0+m1+m0"},
        {"the mouse read before the key", "Z+m0+z1+z0"},
        {"refreshes of the whole keyboard before the reads", "MZ+r+r+e0+m1+z1+m0z0"},
        {"the key map and the key report it each once", "Z+p1+z1+p0z0"},
        {"clicks after reported clicks", "MZ+m1z1MZ+r+r+m1z1+m0z0"},
        {"a held button reads up once let go", "H+m1+r+m1U+r+m0"},
        {"a held button let go before its read", "H+rU+r+m1+m0"},
    };
    for (const auto& c : cases) Run(c[0], c[1]);
}

// Reads in one millisecond answer from the state the last refresh stored,
// a reported click included, until a refresh in a later millisecond. On
// DirectInput's road the mouse is its device, read anew by every call.
TEST_P(Clicks, ReadsInOneMillisecondAnswerAlike) {
    struct Case {
        const char* what;
        const char* script;
        const char* deviceMouse;  // the DirectInput road's script, when it differs
    };
    const Case cases[] = {
        {"a clicked button read twice", "M+m1m1+m0", "M+m1m0+m0"},
        {"a tapped key read twice", "Z+z1z1+z0", nullptr},
        {"the key map and the key, each twice", "Z+p1p1z1z1+p0z0", nullptr},
        {"a button let go after its read", "H+m1Um1+m0", "H+m1Um0+m0"},
        {"a refresh asked for in the same millisecond", "M+m1rm1+rm0", "M+m1rm0+rm0"},
        {"a key across a refresh in the same millisecond", "Z+z1rz1+rz0", nullptr},
    };
    for (const Case& c : cases) Run(c.what, GetParam() < 0x108 && c.deviceMouse != nullptr ? c.deviceMouse : c.script);
}

// The game's order each frame: Escape, the mouse, the pad, the pump after the
// screen is shown. Clicks fall before any of them, the clock standing or
// moving between each two reads: every reader reports each click once.
TEST_P(Clicks, TheGamesFrameOrderLosesNoClick) {
    const char frame[] = "empr";
    for (int position = 0; position < 4; ++position) {
        for (int steps = 0; steps < 16; ++steps) {
            int mouse = 0, escape = 0, padZ = 0, padEscape = 0;
            for (int f = 0; f < 3; ++f) {
                Tick(16);
                for (int i = 0; i < 4; ++i) {
                    if (f == 0 && i == position) Click('M'), Click('Z'), Click('E');
                    if (frame[i] == 'e') escape += IsKeyDown(DIK_ESCAPE);
                    if (frame[i] == 'm') mouse += GetMouseButtons() & kMouseLeft;
                    int32_t pad = frame[i] == 'p' ? GetPadState(kPadWithKeyMap | 1) : 0;
                    padZ += (pad & 0x10) != 0 ? 1 : 0;          // slot 4: Z
                    padEscape += (pad & 0x1000) != 0 ? 1 : 0;  // slot 12: Escape
                    if (frame[i] == 'r') RefreshKeyboard();
                    if ((steps >> i) & 1) Tick();
                }
            }
            const std::string what = "before read " + std::to_string(position) + ", steps " + std::to_string(steps);
            EXPECT_EQ((std::vector<int>{mouse, escape, padZ, padEscape}), (std::vector<int>{1, 1, 1, 1})) << what;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Input, Clicks, ::testing::Values(0x109, 0x107),
                         [](const ::testing::TestParamInfo<int32_t>& info) {
                             return std::string(info.param >= 0x108 ? "SystemKeyState" : "DirectInput");
                         });

}  // namespace
}  // namespace input_test
