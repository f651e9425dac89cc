// A stand-in for the library and the window around input: a window that is
// active or not, a clock that moves only when a test says, the system key
// state, a message pump that counts its passes, and an exit that throws.
#pragma once

#include "input/input.h"
#include "input/input_internal.h"
#include "platform/dinput/dinput.h"
#include "platform/kernel32/kernel32.h"
#include "platform/sdl/sdl_input.h"
#include "platform/sdl/sdl_joystick.h"
#include "platform/seams/seams.h"

#include "core/log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace input_test {

struct FatalExit {
    std::string message;
};

struct World {
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5150));
    int active = 1;
    int closing = 0;
    int pumpResult = 0;
    int pumps = 0;
    int waits = 0;
    int32_t version = 0x109;  // Windows 7
    DWORD clock = 100000;
    bool wrongThread = false;
    BYTE keys[256] = {};
    BYTE latched[256] = {};  // pressed and released since the last key state read: down for that read
    std::function<void()> onPump;  // runs inside a pump pass
};

inline World& TheWorld() {
    static World world;
    return world;
}

inline HWND MainWindow() { return TheWorld().window; }
inline int Active() { return TheWorld().active; }
inline int Closing() { return TheWorld().closing; }
inline int Wait() {
    ++TheWorld().waits;
    return 0;
}
inline int Pump() {
    ++TheWorld().pumps;
    if (TheWorld().onPump) TheWorld().onPump();
    return TheWorld().pumpResult;
}
inline int32_t Version() { return TheWorld().version; }
inline DWORD MainThread() { return TheWorld().wrongThread ? GetCurrentThreadId() + 1 : GetCurrentThreadId(); }
inline void Exit(const char* text) { throw FatalExit{text}; }
inline DWORD Clock() { return TheWorld().clock; }
inline BOOL KeyState(BYTE* keys) {
    for (int vk = 0; vk < 256; ++vk) keys[vk] = TheWorld().keys[vk] | TheWorld().latched[vk];
    std::memset(TheWorld().latched, 0, sizeof TheWorld().latched);
    return TRUE;
}
inline SHORT OneKeyState(int vk) {
    BYTE b = vk >= 0 && vk < 256 ? TheWorld().keys[vk] : 0;
    return static_cast<SHORT>(((b & 0x80) != 0 ? 0xFF80 : 0) | (b & 0x01));
}
inline bool Foreground(HWND window) { return TheWorld().active == 1 && window == TheWorld().window; }

inline const input::InputHost kTestHost = {MainWindow, Active, Closing, Wait,     Pump,      Version,
                                           MainThread, Exit,   Clock,   KeyState, OneKeyState};

// Each test starts with input ended, the switches at their defaults, a fresh
// key map, no pads and nothing held.
class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        TheWorld() = World{};
        input::SetHostForTest(&kTestHost);
        dinput::SetForegroundQueryForTest(Foreground);
        platform::sdl::ResetInputStateForTest();
    }

    void TearDown() override {
        seams::ClearAllCalls();
        TheWorld().onPump = nullptr;
        TheWorld().closing = 0;
        TerminateInput();
        ReleaseLeftovers();
        for (int32_t id : pads_) platform::sdl::DetachTestPad(id);
        SetNoDirectInputFlag(0);
        SetNoForceFeedbackFlag(0);
        SetForceDirectInputFlag(0);
        input::g_input.keyMapSet = 0;
        platform::sdl::ResetInputStateForTest();
        for (int i = 0; i < 16; ++i) DecreaseLogIndent();  // a fatal start leaves it raised
        dinput::SetForegroundQueryForTest(nullptr);
        input::SetHostForTest(nullptr);
    }

    // Pads left behind by a fatal start-up (the process would have ended).
    static void ReleaseLeftovers() {
        for (input::PadRecord& pad : input::g_input.pads) {
            if (pad.constantForce != nullptr) pad.constantForce->Release();
            if (pad.sine != nullptr) pad.sine->Release();
            if (pad.device != nullptr) pad.device->Release();
            if (pad.event != nullptr) CloseHandle(pad.event);
            std::memset(&pad, 0, sizeof pad);
        }
        input::g_input.padCount = 0;
    }

    int32_t AttachPad(int axes = 4, int buttons = 12, bool rumble = true, const char* name = "Test pad") {
        int32_t id = platform::sdl::AttachTestPad(name, axes, buttons, 1, rumble);
        EXPECT_GE(id, 0);
        pads_.push_back(id);
        return id;
    }

    void DetachPad(int32_t id) {
        platform::sdl::DetachTestPad(id);
        pads_.erase(std::remove(pads_.begin(), pads_.end(), id), pads_.end());
    }

    // What the log gets while body runs (Shift-JIS, as written).
    static std::string CaptureLog(const std::function<void()>& body) {
        namespace fs = std::filesystem;
        fs::path saved = fs::current_path();
        fs::path dir = fs::temp_directory_path() / ("inputlog" + std::to_string(getpid()));
        fs::create_directories(dir);
        fs::current_path(dir);
        SetLogOutputOff(0);
        OpenLogFile();
        body();
        CloseLogFile();
        std::ifstream in(dir / "Log.txt", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        fs::current_path(saved);
        fs::remove_all(dir);
        return text.str();
    }

    static void Tick(DWORD ms = 1) { TheWorld().clock += ms; }
    // As the system keeps a key: bit 7 while down, bit 0 flipped by each press.
    static void HoldVirtualKey(int vk, bool down) {
        BYTE& b = TheWorld().keys[vk];
        if (down && (b & 0x80) == 0) b ^= 0x01;
        b = static_cast<BYTE>((b & 0x01) | (down ? 0x80 : 0));
    }
    static void ReleaseAllVirtualKeys() {
        for (int vk = 0; vk < 256; ++vk) HoldVirtualKey(vk, false);
    }
    // A press and release between two reads, as the system keeps it: the
    // toggle bit flips, and the next key state read shows the key down.
    static void ClickVirtualKey(int vk) {
        TheWorld().keys[vk] ^= 0x01;
        TheWorld().latched[vk] = 0x80;
    }
    static void StartOnWinmm() {
        SetNoDirectInputFlag(1);
        ASSERT_EQ(InitializeInput(), 0);
    }

    std::vector<int32_t> pads_;
};

}  // namespace input_test
