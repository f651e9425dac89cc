// The display-mode list and the change to a full screen's display mode.
#include "graphics/display_mode.h"

#include "core/log.h"
#include "graphics/graphics_internal.h"
#include "platform/kernel32/kernel32.h"
#include "platform/user32/user32.h"

namespace {

// More modes than any display lists: the end of an enumeration that never ends.
constexpr DWORD kMaxDisplayModes = 4096;

DWORD CountListedModes() {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    DWORD n = 0;
    while (n < kMaxDisplayModes && EnumDisplaySettingsA(nullptr, n, &mode)) ++n;
    return n;
}

// Fills up to capacity records; the number filled (the list may have shrunk
// since it was counted).
int32_t FillModes(DisplayModeRecord* modes, DWORD capacity) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    DWORD n = 0;
    for (; n < capacity && EnumDisplaySettingsA(nullptr, n, &mode); ++n) {
        modes[n] = DisplayModeRecord{static_cast<int32_t>(mode.dmPelsWidth), static_cast<int32_t>(mode.dmPelsHeight),
                                     static_cast<int32_t>(mode.dmBitsPerPel),
                                     static_cast<int32_t>(mode.dmDisplayFrequency)};
    }
    return static_cast<int32_t>(n);
}

LONG ChangeTo(DWORD width, DWORD height, DWORD bits, DWORD refreshRate, bool withRate) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    mode.dmBitsPerPel = bits;
    if (withRate) {
        mode.dmFields |= DM_DISPLAYFREQUENCY;
        mode.dmDisplayFrequency = refreshRate;
    }
    return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN);
}

}  // namespace

DisplayModeList& DisplayModes() {
    static DisplayModeList list;
    return list;
}

int32_t GetDisplayModeCount() {
    DisplayModeList& list = DisplayModes();
    if (list.modes != nullptr) return list.count;
    const DWORD listed = CountListedModes();
    // One record at least, so that an empty list is a built list too.
    const size_t bytes = sizeof(DisplayModeRecord) * (listed > 0 ? listed : 1);
    auto* modes = static_cast<DisplayModeRecord*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
    if (modes == nullptr) return WriteLog("ディスプレイモードリスト用のメモリの確保に失敗しました\n");
    list.modes = modes;
    list.count = FillModes(modes, listed);
    return list.count;
}

int ChangeDisplayMode() {
    const ScreenState& s = Screen();
    const int32_t bits = GetScreenBitDepth();
    if (bits != 16 && bits != 32) {
        return WriteLogFormatted("フルスクリーンで使用できない色ビット数です(%d bit)", bits);
    }
    const bool substitute = s.width == 320 && s.height == 240;
    const DWORD width = static_cast<DWORD>(substitute ? 640 : s.width);
    const DWORD height = static_cast<DWORD>(substitute ? 480 : s.height);
    const DWORD rate = static_cast<DWORD>(s.refreshRate);
    if (ChangeTo(width, height, static_cast<DWORD>(bits), rate, true) != DISP_CHANGE_SUCCESSFUL &&
        ChangeTo(width, height, static_cast<DWORD>(bits), rate, false) != DISP_CHANGE_SUCCESSFUL) {
        return WriteLogFormatted("画面モードを %dx%d %dbit %dHz に変更できませんでした", static_cast<int>(width),
                                 static_cast<int>(height), bits, s.refreshRate);
    }
    if (substitute) g_drawState.emulate320x240 = 1;
    return 0;
}
