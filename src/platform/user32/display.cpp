// Screen metrics, display modes, the cursor and the message box.
#include "platform/kernel32/kernel32.h"
#include "platform/sdl/sdl_video.h"
#include "platform/seams/seams.h"
#include "platform/user32/internal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>

namespace user32 {

static DisplayMode g_desktopForTest{};

static DisplayMode DesktopMode() {
    {
        Lock lock(S().mutex);
        if (g_desktopForTest.width > 0) return g_desktopForTest;
    }
    platform::sdl::DisplayModeInfo mode;
    if (!platform::sdl::GetDesktopMode(&mode)) return DisplayMode{640, 480, 32, 60};
    return DisplayMode{mode.width, mode.height, mode.bitsPerPixel, mode.refreshRate > 0 ? mode.refreshRate : 60};
}

static DisplayMode CurrentMode() {
    {
        Lock lock(S().mutex);
        if (S().displayChanged) return S().display;
    }
    return DesktopMode();
}

void ScreenSize(int* width, int* height) {
    DisplayMode mode = CurrentMode();
    *width = mode.width;
    *height = mode.height;
}

// The window system's modes, then the usual 4:3 sizes that fit the desktop at
// 16 and 32 bits; sorted by size, depth and rate, without repeats.
static std::vector<DisplayMode> ModeList() {
    std::vector<DisplayMode> modes;
    DisplayMode desktop = DesktopMode();
    for (const auto& m : platform::sdl::GetDisplayModes())
        modes.push_back(DisplayMode{m.width, m.height, m.bitsPerPixel, m.refreshRate > 0 ? m.refreshRate : 60});
    static const int kSizes[][2] = {{640, 480}, {800, 600}, {1024, 768}};
    for (const auto& size : kSizes) {
        for (int bits : {16, 32}) modes.push_back(DisplayMode{size[0], size[1], bits, 60});
    }
    modes.push_back(desktop);
    auto key = [](const DisplayMode& m) { return std::make_tuple(m.width, m.height, m.bits, m.refresh); };
    std::sort(modes.begin(), modes.end(), [&](const DisplayMode& a, const DisplayMode& b) { return key(a) < key(b); });
    modes.erase(std::unique(modes.begin(), modes.end(), [&](const DisplayMode& a, const DisplayMode& b) {
                    return key(a) == key(b);
                }),
                modes.end());
    return modes;
}

static void FillDevMode(DEVMODEA* dm, const DisplayMode& mode) {
    WORD size = dm->dmSize;
    WORD extra = dm->dmDriverExtra;
    std::memset(dm, 0, sizeof *dm);
    std::strncpy(reinterpret_cast<char*>(dm->dmDeviceName), "DISPLAY", CCHDEVICENAME - 1);
    dm->dmSpecVersion = 0x0401;
    dm->dmSize = size != 0 ? size : sizeof *dm;
    dm->dmDriverExtra = extra;
    dm->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFLAGS | DM_DISPLAYFREQUENCY;
    dm->dmBitsPerPel = static_cast<DWORD>(mode.bits);
    dm->dmPelsWidth = static_cast<DWORD>(mode.width);
    dm->dmPelsHeight = static_cast<DWORD>(mode.height);
    dm->dmDisplayFrequency = static_cast<DWORD>(mode.refresh);
}

void ApplyCursor() {
    bool visible = S().cursorShowCount >= 0;
    HCURSOR cursor = S().cursorTouched ? S().cursor : LoadCursorA(nullptr, IDC_ARROW);
    uintptr_t id = reinterpret_cast<uintptr_t>(cursor);
    using C = platform::sdl::SystemCursor;
    C shape = C::Arrow;
    switch (id) {
        case 32513: shape = C::IBeam; break;
        case 32514: shape = C::Wait; break;
        case 32515: shape = C::Cross; break;
        case 32642: shape = C::SizeNWSE; break;
        case 32643: shape = C::SizeNESW; break;
        case 32644: shape = C::SizeWE; break;
        case 32645: shape = C::SizeNS; break;
        case 32646: shape = C::SizeAll; break;
        case 32648: shape = C::No; break;
        case 32649: shape = C::Hand; break;
    }
    platform::sdl::SetCursorState(visible, cursor != nullptr, shape);
}

}  // namespace user32

using namespace user32;

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
        case SM_CXFULLSCREEN:
        case SM_CXVIRTUALSCREEN: return CurrentMode().width;
        case SM_CYSCREEN:
        case SM_CYVIRTUALSCREEN: return CurrentMode().height;
        case SM_CYFULLSCREEN: return CurrentMode().height - kCaptionHeight;
        case SM_CXVSCROLL:
        case SM_CYHSCROLL: return 17;
        case SM_CYCAPTION: return kCaptionHeight;
        case SM_CXBORDER:
        case SM_CYBORDER: return 1;
        case SM_CXFIXEDFRAME:
        case SM_CYFIXEDFRAME: return kFixedFrame;
        case SM_CXSIZEFRAME:
        case SM_CYSIZEFRAME: return kSizeFrame;
        case SM_CXICON:
        case SM_CYICON:
        case SM_CXCURSOR:
        case SM_CYCURSOR: return 32;
        case SM_CXSMICON:
        case SM_CYSMICON: return 16;
        case SM_CYMENU: return kMenuHeight;
        case SM_MOUSEPRESENT:
        case SM_CMONITORS: return 1;
    }
    return 0;
}

BOOL EnumDisplaySettingsA(LPCSTR, DWORD modeNum, DEVMODEA* devMode) {
    if (devMode == nullptr) return FALSE;
    if (modeNum == ENUM_CURRENT_SETTINGS || modeNum == ENUM_REGISTRY_SETTINGS) {
        FillDevMode(devMode, modeNum == ENUM_CURRENT_SETTINGS ? CurrentMode() : DesktopMode());
        return TRUE;
    }
    std::vector<DisplayMode> modes = ModeList();
    if (modeNum >= modes.size()) return FALSE;
    FillDevMode(devMode, modes[modeNum]);
    return TRUE;
}

namespace user32 {

static std::vector<platform::DisplayChangeCall> g_displayChanges;

static LONG ChangeDisplay(DEVMODEA* devMode, DWORD flags) {
    if (auto failed = seams::FailNow<LONG>("ChangeDisplaySettingsA", DISP_CHANGE_FAILED)) return *failed;
    if (devMode == nullptr) {
        Lock lock(S().mutex);
        if (S().displayChanged) {
            S().displayChanged = false;
            SyncAllBackends();
        }
        return DISP_CHANGE_SUCCESSFUL;
    }
    DisplayMode current = CurrentMode();
    DisplayMode wanted = current;
    if (devMode->dmFields & DM_PELSWIDTH) wanted.width = static_cast<int>(devMode->dmPelsWidth);
    if (devMode->dmFields & DM_PELSHEIGHT) wanted.height = static_cast<int>(devMode->dmPelsHeight);
    if (devMode->dmFields & DM_BITSPERPEL) wanted.bits = static_cast<int>(devMode->dmBitsPerPel);
    bool anyRate = !(devMode->dmFields & DM_DISPLAYFREQUENCY) || devMode->dmDisplayFrequency <= 1;
    const DisplayMode* found = nullptr;
    std::vector<DisplayMode> modes = ModeList();
    for (const DisplayMode& m : modes) {
        if (m.width != wanted.width || m.height != wanted.height || m.bits != wanted.bits) continue;
        if (!anyRate && m.refresh != static_cast<int>(devMode->dmDisplayFrequency)) continue;
        found = &m;
        break;
    }
    if (found == nullptr) return DISP_CHANGE_BADMODE;
    if (flags & CDS_TEST) return DISP_CHANGE_SUCCESSFUL;
    DisplayMode desktop = DesktopMode();
    Lock lock(S().mutex);
    bool isDesktop = found->width == desktop.width && found->height == desktop.height && found->bits == desktop.bits;
    S().displayChanged = !isDesktop;
    S().display = *found;
    SyncAllBackends();
    return DISP_CHANGE_SUCCESSFUL;
}

}  // namespace user32

LONG ChangeDisplaySettingsA(DEVMODEA* devMode, DWORD flags) {
    const LONG result = ChangeDisplay(devMode, flags);
    platform::DisplayChangeCall call{devMode == nullptr, 0, 0, 0, 0, 0, result};
    if (devMode != nullptr) {
        call.fields = devMode->dmFields;
        call.width = static_cast<int>(devMode->dmPelsWidth);
        call.height = static_cast<int>(devMode->dmPelsHeight);
        call.bits = static_cast<int>(devMode->dmBitsPerPel);
        call.refresh = static_cast<int>(devMode->dmDisplayFrequency);
    }
    Lock lock(S().mutex);
    g_displayChanges.push_back(call);
    return result;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    // System cursors are named by their ids; the handle is the id itself.
    if (instance != nullptr || !IS_INTRESOURCE(name)) return nullptr;
    uintptr_t id = reinterpret_cast<uintptr_t>(name);
    if (id == 32512 || (id >= 32513 && id <= 32516) || (id >= 32640 && id <= 32651))
        return reinterpret_cast<HCURSOR>(id);
    return platform::FailWith(ERROR_RESOURCE_NAME_NOT_FOUND, nullptr);
}

HCURSOR SetCursor(HCURSOR cursor) {
    Lock lock(S().mutex);
    HCURSOR old = S().cursorTouched ? S().cursor : LoadCursorA(nullptr, IDC_ARROW);
    S().cursor = cursor;
    S().cursorTouched = true;
    ApplyCursor();
    return old;
}

HCURSOR GetCursor() {
    Lock lock(S().mutex);
    return S().cursorTouched ? S().cursor : LoadCursorA(nullptr, IDC_ARROW);
}

int ShowCursor(BOOL show) {
    Lock lock(S().mutex);
    S().cursorShowCount += show ? 1 : -1;
    ApplyCursor();
    return S().cursorShowCount;
}

BOOL GetCursorPos(POINT* point) {
    if (point == nullptr) return FALSE;
    PumpWindowSystem();
    Lock lock(S().mutex);
    *point = S().cursorPos;
    return TRUE;
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    std::string c = platform::ShiftJisToUtf8(caption != nullptr ? caption : "Error");
    std::string t = platform::ShiftJisToUtf8(text != nullptr ? text : "");
    std::fprintf(stderr, "[%s] %s\n", c.c_str(), t.c_str());
    std::fflush(stderr);
    switch (type & 0x0F) {
        case MB_ABORTRETRYIGNORE: return IDABORT;
        case MB_YESNOCANCEL:
        case MB_YESNO: return IDYES;
        case MB_RETRYCANCEL: return IDRETRY;
        default: return IDOK;
    }
}

namespace platform {

bool StartWindowSystem(std::string* reason) {
    if (sdl::InitVideo()) return true;
    if (reason != nullptr) *reason = sdl::VideoStartError();
    return false;
}

void SetDesktopModeForTest(int width, int height, int bits) {
    Lock lock(S().mutex);
    g_desktopForTest = width > 0 && height > 0 ? DisplayMode{width, height, bits, 60} : DisplayMode{};
}

std::vector<DisplayChangeCall> DisplayChangeCalls() {
    Lock lock(S().mutex);
    return g_displayChanges;
}

void ClearDisplayChangeCalls() {
    Lock lock(S().mutex);
    g_displayChanges.clear();
}

}  // namespace platform
