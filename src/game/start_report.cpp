#include "game/start_report.h"

#include "game/library_calls.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

int g_descriptor = -1;
int (*g_present)() = nullptr;  // the entry wrapped

int PresentAndReport() {
    const int result = g_present();
    GameCalls().presentScreen = g_present;  // once is enough
    const char mark = 'F';
    while (write(g_descriptor, &mark, 1) < 0 && errno == EINTR) {
    }
    close(g_descriptor);
    g_descriptor = -1;
    return result;
}

// A descriptor number above the standard streams; -1 for anything else.
int ParseDescriptor(const char* text) {
    if (text == nullptr || *text < '0' || *text > '9') return -1;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value <= 2 || value > INT_MAX) return -1;
    return static_cast<int>(value);
}

}  // namespace

bool ReportFirstFrameTo(const char* descriptorText) {
    const int descriptor = ParseDescriptor(descriptorText);
    if (descriptor < 0) {
        std::fprintf(stderr, "velumi: VELUMI_FIRST_FRAME_FD=%s is not a descriptor number above 2\n",
                     descriptorText != nullptr ? descriptorText : "");
        return false;
    }
    GameLibraryCalls& calls = GameCalls();
    if (calls.presentScreen != PresentAndReport) g_present = calls.presentScreen;
    if (g_descriptor >= 0) close(g_descriptor);  // asked again before the first frame: the last one is told
    g_descriptor = descriptor;
    calls.presentScreen = PresentAndReport;
    return true;
}
