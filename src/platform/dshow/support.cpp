// Seams, counters and the system reference clock.
#include "platform/dshow/graph_internal.h"

#include <atomic>
#include <condition_variable>

namespace dshow {
namespace {
std::atomic<int> g_filters{0};
std::atomic<int> g_threads{0};

class SystemClock : public ComObject<IReferenceClock> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerQuery(static_cast<IReferenceClock*>(this), iid, {&IID_IReferenceClock}, object);
    }
    HRESULT GetTime(REFERENCE_TIME* time) override {
        if (time == nullptr) return E_POINTER;
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        *time = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
        return S_OK;
    }
};
}  // namespace

void CountFilter(int delta) { g_filters += delta; }
void CountThread(int delta) { g_threads += delta; }
int LiveStreamingThreadsForTest() { return g_threads; }
int LiveFiltersForTest() { return g_filters; }

IReferenceClock* CreateSystemClock() { return new SystemClock(); }

}  // namespace dshow
