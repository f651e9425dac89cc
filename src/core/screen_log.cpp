#include "core/screen_log.h"

#include "core/library_hooks.h"
#include "core/utility.h"

#include <cstring>

namespace {

struct ScreenLogState {
    int32_t on = 0;
    int32_t font = -1;
    int32_t fontLost = 1;  // the font's lost flag: 1 while there is no font
    char lines[kScreenLogLines][kScreenLogLineBytes] = {};
    int32_t lineCount = 0;    // lines in use, the last one being written
};

ScreenLogState& State() {
    static ScreenLogState state;
    return state;
}

char* CurrentLine(ScreenLogState& s) {
    if (s.lineCount == 0) s.lineCount = 1;
    return s.lines[s.lineCount - 1];
}

void StartNewLine(ScreenLogState& s) {
    if (s.lineCount == kScreenLogLines) {
        std::memmove(s.lines[0], s.lines[1], sizeof s.lines[0] * (kScreenLogLines - 1));
        --s.lineCount;
    }
    s.lines[s.lineCount][0] = '\0';
    ++s.lineCount;
}

// The log's font still exists (the font module is reached through the hook table).
bool FontAlive(const ScreenLogState& s) { return !s.fontLost && GetLibraryHooks().checkFontHandle(s.font); }

bool EnsureFont(ScreenLogState& s) {
    if (FontAlive(s)) return true;
    LibraryHooks& hooks = GetLibraryHooks();
    s.font = hooks.createFontToHandle(nullptr, kScreenLogLineHeight, 4, 1, -1, -1, 0, -1, -1);
    if (s.font < 0) return false;
    hooks.setFontLostFlag(s.font, &s.fontLost);
    return true;
}

}  // namespace

int SetScreenLogOutput(int32_t flag) {
    State().on = flag != 0 ? 1 : 0;
    return 0;
}

int32_t IsScreenLogOn() { return State().on; }

int AddScreenLogText(const char* text) {
    if (text == nullptr) return -1;
    ScreenLogState& s = State();
    for (const char* p = text; *p != '\0';) {
        if (*p == '\n') {
            CurrentLine(s);
            StartNewLine(s);
            ++p;
            continue;
        }
        if (*p == '\r') {
            ++p;
            continue;
        }
        int bytes = CharacterBytes(p);
        char* line = CurrentLine(s);
        size_t used = std::strlen(line);
        if (used + static_cast<size_t>(bytes) < kScreenLogLineBytes) {
            std::memcpy(line + used, p, static_cast<size_t>(bytes));
            line[used + bytes] = '\0';
        }
        p += bytes;
    }
    return 0;
}

int ClearScreenLog() {
    ScreenLogState& s = State();
    s.lineCount = 0;
    s.lines[0][0] = '\0';
    return 0;
}

int DrawScreenLog() {
    ScreenLogState& s = State();
    if (!s.on) return 0;
    if (!EnsureFont(s)) return -1;
    LibraryHooks& hooks = GetLibraryHooks();
    const uint32_t white = hooks.makeColor(255, 255, 255), black = hooks.makeColor(0, 0, 0);
    for (int32_t i = 0; i < s.lineCount; ++i)
        hooks.drawStringByFont(0, i * kScreenLogLineHeight, s.lines[i], white, s.font, black, 0);
    return 0;
}

int32_t GetScreenLogFont() {
    const ScreenLogState& s = State();
    return FontAlive(s) ? s.font : -1;
}

int EndScreenLog() {
    ScreenLogState& s = State();
    if (s.on && FontAlive(s)) GetLibraryHooks().deleteFontHandle(s.font);
    s.font = -1;
    s.fontLost = 1;
    return 0;
}
