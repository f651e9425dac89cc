// Quick clicks: a key or mouse button pressed and released between two reads
// is reported by the first read of that key or button, whatever other reads,
// refreshes and clock steps come between, on both roads to the keyboard.
#include "input_fixture.h"

#include <string>

namespace input_test {
namespace {

constexpr int kVkLeftButton = 0x01;
constexpr int kVkEscape = 0x1B;
constexpr int kVkZ = 0x5A;
constexpr int32_t kPadZ = 0x10;          // slot 4 of pad 1's default map
constexpr int32_t kPadEscape = 0x1000;  // slot 12

// One road to the keys: what a press, release or click of the mouse's left
// button ('M'), Z ('Z') or Escape ('E') is there.
struct Road {
    const char* what;
    int32_t version;
    void (*press)(char target, bool down);
    void (*click)(char target);
};

int VirtualKeyOf(char target) { return target == 'M' ? kVkLeftButton : target == 'Z' ? kVkZ : kVkEscape; }
int KeyCodeOf(char target) { return target == 'Z' ? DIK_Z : DIK_ESCAPE; }

void PressSystem(char target, bool down) {
    BYTE& b = TheWorld().keys[VirtualKeyOf(target)];
    if (down && (b & 0x80) == 0) b ^= 0x01;
    b = static_cast<BYTE>((b & 0x01) | (down ? 0x80 : 0));
}
void ClickSystem(char target) {
    TheWorld().keys[VirtualKeyOf(target)] ^= 0x01;
    TheWorld().latched[VirtualKeyOf(target)] = 0x80;
}
void PressDevice(char target, bool down) {
    bool ok = target == 'M' ? platform::sdl::PushTestMouseButton(0, down)
                            : platform::sdl::PushTestKey(KeyCodeOf(target), down);
    ASSERT_TRUE(ok) << target;
}
void ClickDevice(char target) {
    PressDevice(target, true);
    PressDevice(target, false);
}

const Road kRoads[] = {
    {"SystemKeyState", 0x109, PressSystem, ClickSystem},
    {"DirectInput", 0x107, PressDevice, ClickDevice},
};

class Clicks : public InputTest, public ::testing::WithParamInterface<Road> {
protected:
    void SetUp() override {
        InputTest::SetUp();
        ASSERT_EQ(InitializeInput(), 0);
        TheWorld().version = GetParam().version;
        Tick();
        GetMouseButtons();  // acquires DirectInput's mouse: its presses count from here
    }

    // The reads: mouse (left button), Escape, Z, the pad's key map (any slot).
    static int Read(char reader) {
        switch (reader) {
            case 'm': return GetMouseButtons() & kMouseLeft;
            case 'e': return IsKeyDown(DIK_ESCAPE);
            case 'z': return IsKeyDown(DIK_Z);
            default: return GetPadState(kPadWithKeyMap | 1) != 0 ? 1 : 0;
        }
    }

    // Runs a script: M Z E click that button or key, H and U hold and let go
    // of the left button, + steps the clock a millisecond, r is a refresh as
    // the message pump makes it (the whole keyboard read at once), and a
    // reader (m e z p) followed by 0 or 1 reads and checks.
    void Run(const char* what, const char* script) {
        for (const char* s = script; *s != '\0'; ++s) {
            const std::string where = std::string(what) + " at " + std::to_string(s - script);
            switch (*s) {
                case 'M': case 'Z': case 'E': GetParam().click(*s); break;
                case 'H': GetParam().press('M', true); break;
                case 'U': GetParam().press('M', false); break;
                case '+': Tick(); break;
                case 'r': RefreshKeyboard(); break;
                default:
                    ASSERT_NE(s[1], '\0') << where;
                    EXPECT_EQ(Read(*s), s[1] - '0') << where;
                    ++s;
            }
        }
    }
};

TEST_P(Clicks, AClickIsReportedByTheFirstReadOfItsButtonOrKey) {
    struct Case {
        const char* what;
        const char* script;
    };
    const Case cases[] = {
        {"Escape read a millisecond before the mouse", "M+e0+m1m0"},
        {"the mouse read before the key", "Z+m0+z1+z0"},
        {"two reads of the button in one millisecond", "M+m1m0"},
        {"two reads of the key in one millisecond", "Z+z1z0"},
        {"two reads of the button with the clock moving", "M+m1+m0"},
        {"refreshes of the whole keyboard before the key", "Z+r+r+z1z0"},
        {"refreshes before the mouse", "M+r+r+e0+m1+m0"},
        {"the key map and the key report it each once", "Z+p1+z1+p0z0"},
        {"Escape in the key map and alone", "E+r+p1+e1+p0e0"},
        {"a click after a reported click", "M+m1M+r+r+m1+m0"},
        {"a key click after a reported one", "Z+z1Z+r+r+z1z0"},
        {"clicks of the button and two keys at once", "MZE+e1+r+m1+p1+z1+m0p0z0e0"},
        {"a held button reads up once let go", "H+m1+r+m1U+r+m0"},
        {"a held button let go before its read still counts", "H+rU+r+m1m0"},
    };
    for (const Case& c : cases) Run(c.what, c.script);
}

// The game's own order, every frame: Escape, the mouse, the pad, then the
// message pump after the screen is shown. A click falls before any of them,
// with the clock standing or moving between each two: every reader reports it
// once, over the frames that follow.
TEST_P(Clicks, TheGamesFrameOrderLosesNoClick) {
    const char frame[] = {'e', 'm', 'p', 'r'};
    for (int position = 0; position < 4; ++position) {
        for (int steps = 0; steps < 16; ++steps) {
            const std::string what = "click before read " + std::to_string(position) + ", clock steps " +
                                     std::to_string(steps);
            int mouse = 0, escape = 0, padZ = 0, padEscape = 0;
            for (int f = 0; f < 3; ++f) {
                Tick(16);  // the screen shown
                for (int i = 0; i < 4; ++i) {
                    if (f == 0 && i == position) {
                        for (char target : {'M', 'Z', 'E'}) GetParam().click(target);
                    }
                    if (frame[i] == 'e') escape += IsKeyDown(DIK_ESCAPE);
                    if (frame[i] == 'm') mouse += GetMouseButtons() & kMouseLeft;
                    if (frame[i] == 'p') {
                        int32_t pad = GetPadState(kPadWithKeyMap | 1);
                        padZ += (pad & kPadZ) != 0 ? 1 : 0;
                        padEscape += (pad & kPadEscape) != 0 ? 1 : 0;
                    }
                    if (frame[i] == 'r') RefreshKeyboard();
                    if ((steps >> i) & 1) Tick();
                }
            }
            EXPECT_EQ(mouse, 1) << what;
            EXPECT_EQ(escape, 1) << what;
            EXPECT_EQ(padZ, 1) << what;
            EXPECT_EQ(padEscape, 1) << what;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Input, Clicks, ::testing::ValuesIn(kRoads),
                         [](const ::testing::TestParamInfo<Road>& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace input_test
