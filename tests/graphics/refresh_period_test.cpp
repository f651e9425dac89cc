// The frame period at the start: measured between two vertical blanks of the
// DirectDraw object, on a still clock that the waits move on (no real wait);
// the nominal period of the screen's rate when the measure cannot be had.
#include "graphics_test_util.h"

#include "d3d9/device_block.h"
#include "platform/ddraw/ddraw.h"

namespace graphics_test {
namespace {

constexpr int32_t kScreenRate = 100;  // nominal period 10000 us, unlike any blank below
constexpr int32_t kNominal = 10000;

// A DirectDraw object whose blanks fall every periodUs on the still clock,
// which reports 75 Hz whatever its blanks do, and whose waits fail from the
// failFrom-th on (-1: never).
class FakeDirectDraw : public ComObject<IDirectDraw7> {
public:
    FakeDirectDraw(int64_t periodUs, int failFrom) : periodUs_(periodUs), failFrom_(failFrom) {}
    HRESULT QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetCaps(DDCAPS*, DDCAPS*) override { return DDERR_UNSUPPORTED; }
    HRESULT GetMonitorFrequency(DWORD* frequency) override {
        *frequency = 75;
        return DD_OK;
    }
    HRESULT Initialize(GUID*) override { return DD_OK; }
    HRESULT SetCooperativeLevel(HWND, DWORD) override { return DD_OK; }
    HRESULT WaitForVerticalBlank(DWORD, HANDLE) override {
        if (failFrom_ >= 0 && waits >= failFrom_) return DDERR_GENERIC;
        ++waits;
        seams::AdvanceStillClock(periodUs_);
        return DD_OK;
    }
    int waits = 0;

private:
    int64_t periodUs_;
    int failFrom_;
};

class RefreshPeriodTest : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        seams::SetStillClock(true);
        Screen().refreshRate = kScreenRate;
    }
    void TearDown() override {
        seams::SetStillClock(false);
        ddraw::SetVerticalBlankRate(60);
        GraphicsTest::TearDown();
    }
};

TEST_F(RefreshPeriodTest, ThePeriodIsMeasuredBetweenTwoBlanksOfTheStandIn) {
    struct Case {
        const char* what;
        int32_t blankRate;
        int32_t period;
    };
    const Case cases[] = {
        {"60 Hz", 60, 16666},
        {"50 Hz", 50, 20000},
        {"144 Hz", 144, 6944},
    };
    ASSERT_NE(GetDirectDrawObject(), nullptr);
    for (const Case& c : cases) {
        ddraw::SetVerticalBlankRate(c.blankRate);
        Screen().framePeriodUs = 0;
        const uint64_t waits = ddraw::VerticalBlankWaitCount();
        MeasureRefreshPeriod();
        EXPECT_EQ(Screen().framePeriodUs, c.period) << c.what;
        EXPECT_EQ(ddraw::VerticalBlankWaitCount() - waits, 2u) << c.what;
    }
}

TEST_F(RefreshPeriodTest, TheWaitsDecideAndTheNominalPeriodStandsInForAFailedMeasure) {
    struct Case {
        const char* what;
        int64_t blankUs;
        int failFrom;
        int waits;
        int32_t period;
    };
    const Case cases[] = {
        {"blanks 12.5 ms apart, whatever rate is reported", 12500, -1, 2, 12500},
        {"the first wait fails", 12500, 0, 0, kNominal},
        {"the second wait fails", 12500, 1, 1, kNominal},
        {"waits that do not wait", 0, -1, 2, kNominal},
        {"blanks a second apart", 1000000, -1, 2, kNominal},
    };
    IDirectDraw7* real = Device().directDraw;
    for (const Case& c : cases) {
        FakeDirectDraw fake(c.blankUs, c.failFrom);
        Device().directDraw = &fake;
        Screen().framePeriodUs = 0;
        MeasureRefreshPeriod();
        Device().directDraw = real;
        EXPECT_EQ(fake.waits, c.waits) << c.what;
        EXPECT_EQ(Screen().framePeriodUs, c.period) << c.what;
    }
    Device().directDraw = nullptr;
    MeasureRefreshPeriod();
    Device().directDraw = real;
    EXPECT_EQ(Screen().framePeriodUs, kNominal) << "without a DirectDraw object";
}

}  // namespace
}  // namespace graphics_test
