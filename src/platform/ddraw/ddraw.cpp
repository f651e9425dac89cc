// The DirectDraw object: initialisation, cooperative level, capabilities and
// the vertical-blank wait paced by the monotonic clock.
#include "platform/ddraw/ddraw.h"

#include "platform/seams/seams.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>

const CLSID CLSID_DirectDraw7 = {0x3C305196, 0x50DB, 0x11D3, {0x9C, 0xFE, 0x00, 0xC0, 0x4F, 0xD9, 0x30, 0xC5}};
const IID IID_IDirectDraw7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

namespace ddraw {
namespace {

constexpr int32_t kDefaultRate = 60;

std::atomic<int32_t> g_rate{kDefaultRate};
std::atomic<uint64_t> g_waits{0};
std::atomic<DWORD> g_cooperativeFlags{0};

// Every object's blanks fall on one grid that starts at the first use.
int64_t Origin() {
    static const int64_t origin = seams::ClockUs();
    return origin;
}

void SleepUntil(int64_t microseconds) {
    timespec t{};
    t.tv_sec = static_cast<time_t>(microseconds / 1000000);
    t.tv_nsec = static_cast<long>(microseconds % 1000000) * 1000;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

void WaitForNextBlank() {
    const int64_t now = seams::ClockUs();
    const int64_t next = NextVerticalBlank(now, Origin(), 1000000 / g_rate.load());
    if (seams::StillClock()) {
        seams::AdvanceStillClock(next - now);
    } else if (!seams::NoWait()) {
        SleepUntil(next);
    }
}

class DirectDraw : public ComObject<IDirectDraw7> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerQuery(this, iid, {&IID_IDirectDraw7}, object);
    }

    HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* helCaps) override {
        if (driverCaps == nullptr && helCaps == nullptr) return DDERR_INVALIDPARAMS;
        for (DDCAPS* caps : {driverCaps, helCaps}) {
            if (caps == nullptr) continue;
            if (caps->dwSize != sizeof(DDCAPS)) return DDERR_INVALIDPARAMS;
        }
        for (DDCAPS* caps : {driverCaps, helCaps}) {
            if (caps == nullptr) continue;
            std::memset(caps, 0, sizeof(DDCAPS));
            caps->dwSize = sizeof(DDCAPS);
        }
        return DD_OK;
    }

    HRESULT GetMonitorFrequency(DWORD* frequency) override {
        if (frequency == nullptr) return DDERR_INVALIDPARAMS;
        if (!initialized_) return DDERR_NOTINITIALIZED;
        *frequency = static_cast<DWORD>(g_rate.load());
        return DD_OK;
    }

    HRESULT Initialize(GUID* guid) override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectDraw7::Initialize", DDERR_GENERIC)) return *failed;
        if (initialized_) return DDERR_ALREADYINITIALIZED;
        if (guid != nullptr) return DDERR_INVALIDPARAMS;  // only the primary display exists
        initialized_ = true;
        return DD_OK;
    }

    HRESULT SetCooperativeLevel(HWND, DWORD flags) override {
        if (!initialized_) return DDERR_NOTINITIALIZED;
        bool normal = (flags & DDSCL_NORMAL) != 0;
        bool exclusive = (flags & (DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN)) != 0;
        if (normal == exclusive) return DDERR_INVALIDPARAMS;
        g_cooperativeFlags = flags;
        return DD_OK;
    }

    HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) override {
        if (!initialized_) return DDERR_NOTINITIALIZED;
        if (flags == DDWAITVB_BLOCKBEGINEVENT || event != nullptr) return DDERR_UNSUPPORTED;
        if (flags != DDWAITVB_BLOCKBEGIN && flags != DDWAITVB_BLOCKEND) return DDERR_INVALIDPARAMS;
        WaitForNextBlank();
        ++g_waits;
        return DD_OK;
    }

private:
    bool initialized_ = false;
};

IUnknown* CreateDirectDrawObject() { return static_cast<IDirectDraw7*>(new DirectDraw()); }

}  // namespace

void RegisterClasses() { com::RegisterClass(CLSID_DirectDraw7, CreateDirectDrawObject); }

void SetVerticalBlankRate(int32_t hertz) { g_rate = (hertz <= 0 || hertz > 1000) ? kDefaultRate : hertz; }

int32_t GetVerticalBlankRate() { return g_rate.load(); }

uint64_t VerticalBlankWaitCount() { return g_waits.load(); }
DWORD LastCooperativeLevelFlags() { return g_cooperativeFlags.load(); }

int64_t NextVerticalBlank(int64_t nowUs, int64_t originUs, int64_t periodUs) {
    if (periodUs <= 0) return nowUs;
    int64_t since = nowUs - originUs;
    // Floor division, so that a time before the origin still lands on the grid.
    int64_t k = since >= 0 ? since / periodUs : -((-since + periodUs - 1) / periodUs);
    return originUs + (k + 1) * periodUs;
}

}  // namespace ddraw
