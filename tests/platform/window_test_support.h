// Shared helpers of the window-system tests: a window procedure that records
// what it is sent, the headless video driver, and a private window registry.
#pragma once

#include "platform/user32/user32.h"

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
// Takes and dispatches every waiting message; returns how many there were.
int DispatchAll();
// The queued messages (taken, not dispatched) with the given id range.
std::vector<MSG> TakeAll(UINT first = 0, UINT last = 0);

}  // namespace windowtest
