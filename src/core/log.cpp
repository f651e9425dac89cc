// The library's log file "Log.txt": Shift-JIS text, CR LF line ends, a
// millisecond stamp and the indent at each line start, mirrored to the
// debugger output.
#include "core/log.h"

#include "platform/kernel32/kernel32.h"

#include <time.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr const char* kLogFileName = "Log.txt";

struct LogState {
    std::recursive_mutex lock;
    FILE* file = nullptr;
    int indent = 0;
    bool atLineStart = true;
    int32_t off = 0;
    int64_t startMs = -1;  // the clock of the stamps; set when the log opens
};

LogState& State() {
    static LogState state;
    return state;
}

int64_t NowMs() {
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// The "<ms>:" stamp and the indent tabs of a new line. Called with the lock held.
std::string LineStart(LogState& state) {
    if (state.startMs < 0) state.startMs = NowMs();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%d:", static_cast<int>(NowMs() - state.startMs));
    return std::string(stamp) + std::string(static_cast<size_t>(state.indent), '\t');
}

void Emit(LogState& state, const std::string& piece) {
    if (piece.empty()) return;
    if (state.file != nullptr) {
        std::string fileText;
        for (char c : piece) {
            if (c == '\n') fileText += '\r';
            fileText += c;
        }
        std::fwrite(fileText.data(), 1, fileText.size(), state.file);
        std::fflush(state.file);
    }
    if (state.off == 0) OutputDebugStringA(piece.c_str());
}

}  // namespace

int WriteLog(const char* text) {
    if (text == nullptr) return -1;
    LogState& state = State();
    std::lock_guard<std::recursive_mutex> lock(state.lock);
    std::string piece;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\r' && p[1] == '\n') continue;  // written as CR LF below anyway
        if (state.atLineStart) {
            piece += LineStart(state);
            state.atLineStart = false;
        }
        piece += *p;
        if (*p == '\n') state.atLineStart = true;
    }
    Emit(state, piece);
    return -1;
}

int WriteLogFormatted(const char* format, ...) {
    if (format == nullptr) return -1;
    va_list arguments;
    va_start(arguments, format);
    va_list copy;
    va_copy(copy, arguments);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        std::vector<char> buffer(static_cast<size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
        text.assign(buffer.data(), static_cast<size_t>(length));
    }
    va_end(arguments);
    text += '\n';
    return WriteLog(text.c_str());
}

int IncreaseLogIndent() {
    std::lock_guard<std::recursive_mutex> lock(State().lock);
    ++State().indent;
    return 0;
}

int DecreaseLogIndent() {
    std::lock_guard<std::recursive_mutex> lock(State().lock);
    if (State().indent > 0) --State().indent;
    return 0;
}

int OpenLogFile() {
    LogState& state = State();
    std::lock_guard<std::recursive_mutex> lock(state.lock);
    if (state.file != nullptr) {
        std::fclose(state.file);
        state.file = nullptr;
    }
    state.startMs = NowMs();
    state.atLineStart = true;
    state.indent = 0;
    if (state.off) return 0;
    std::remove(kLogFileName);
    state.file = std::fopen(kLogFileName, "wb");
    return state.file != nullptr ? 0 : -1;
}

int CloseLogFile() {
    LogState& state = State();
    std::lock_guard<std::recursive_mutex> lock(state.lock);
    if (state.file == nullptr) return 0;
    int result = std::fclose(state.file) == 0 ? 0 : -1;
    state.file = nullptr;
    return result;
}

void SetLogOutputOff(int32_t off) {
    std::lock_guard<std::recursive_mutex> lock(State().lock);
    State().off = off;
}

int32_t IsLogOutputOff() {
    std::lock_guard<std::recursive_mutex> lock(State().lock);
    return State().off;
}
