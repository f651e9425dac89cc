// Shared helpers of the window-system tests: a window procedure that records
// what it is sent, the headless video driver, and a private window registry.
#pragma once

#include "platform/gdi32/gdi32.h"
#include "platform/user32/user32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace windowtest {

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Everything RecordingProc was sent since the last ClearSeen.
std::vector<Seen>& SeenMessages();
void ClearSeen();
std::vector<UINT> SeenIds();
// Records the message, then behaves as DefWindowProcA (WM_CREATE returns
// CreateResult()).
LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT& CreateResult();

// Headless SDL, a fresh window registry directory, no injected failures.
void PrepareWindowSystem();
// A registered class of RecordingProc under a name unique to the test.
std::string RegisterRecordingClass(const char* base);
// A visible top-level window of that class with the given client size.
HWND CreateTestWindow(const std::string& className, int clientWidth, int clientHeight,
                      DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU);
// A child process that lists a window of the class (named by process id
// `named`, 0: its own) in the window registry and then waits to be killed;
// its id, or -1 when it could not list it.
int StartListingProcess(const char* className, int named = 0);
// The window entries in the registry directory.
int ListedWindowCount();
// Takes and dispatches every waiting message; returns how many there were.
int DispatchAll();
// The queued messages (taken, not dispatched) with the given id range.
std::vector<MSG> TakeAll(UINT first = 0, UINT last = 0);

// A test with one recording window of the given client size and its DC;
// Picture() reads what the window shows.
class PictureWindowTest : public ::testing::Test {
protected:
    PictureWindowTest(const char* name, int width, int height) : name_(name), width_(width), height_(height) {}
    void SetUp() override {
        PrepareWindowSystem();
        cls_ = RegisterRecordingClass(name_);
        hwnd_ = CreateTestWindow(cls_, width_, height_);
        ASSERT_NE(hwnd_, nullptr);
        dc_ = GetDC(hwnd_);
        ASSERT_NE(dc_, nullptr);
    }
    void TearDown() override {
        ReleaseDC(hwnd_, dc_);
        DestroyWindow(hwnd_);
        TakeAll();
        UnregisterClassA(cls_.c_str(), nullptr);
    }
    std::vector<uint32_t> Picture() {
        std::vector<uint32_t> pixels;
        int w = 0, h = 0;
        EXPECT_TRUE(platform::ReadWindowPicture(hwnd_, &pixels, &w, &h));
        EXPECT_EQ(w, width_);
        EXPECT_EQ(h, height_);
        return pixels;
    }
    const char* name_;
    int width_, height_;
    std::string cls_;
    HWND hwnd_ = nullptr;
    HDC dc_ = nullptr;
};

}  // namespace windowtest
