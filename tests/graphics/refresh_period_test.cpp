// The frame period at the start: taken from the rate the vertical blank is
// paced at, with no wait; measured with two waits only when the DirectDraw
// object reports no rate; the nominal period when neither gives one.
#include "graphics_test_util.h"

#include "d3d9/device_block.h"
#include "platform/ddraw/ddraw.h"

namespace graphics_test {
namespace {

// A DirectDraw object that reports the rate given (0: none, -1: the call
// fails) and counts its waits, which fail when asked to.
class FakeDirectDraw : public ComObject<IDirectDraw7> {
public:
    FakeDirectDraw(int rate, bool waitsFail) : rate_(rate), waitsFail_(waitsFail) {}
    HRESULT QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetCaps(DDCAPS*, DDCAPS*) override { return DDERR_UNSUPPORTED; }
    HRESULT GetMonitorFrequency(DWORD* frequency) override {
        if (rate_ < 0) return DDERR_UNSUPPORTED;
        *frequency = static_cast<DWORD>(rate_);
        return DD_OK;
    }
    HRESULT Initialize(GUID*) override { return DD_OK; }
    HRESULT SetCooperativeLevel(HWND, DWORD) override { return DD_OK; }
    HRESULT WaitForVerticalBlank(DWORD, HANDLE) override {
        ++waits;
        return waitsFail_ ? DDERR_GENERIC : DD_OK;
    }
    int waits = 0;

private:
    int rate_;
    bool waitsFail_;
};

class RefreshPeriodTest : public GraphicsTest {
protected:
    void TearDown() override {
        ddraw::SetVerticalBlankRate(60);
        GraphicsTest::TearDown();
    }
};

TEST_F(RefreshPeriodTest, ThePacedRateGivesThePeriodWithoutAWait) {
    struct Case {
        const char* what;
        int32_t rate;
        int32_t period;
    };
    const Case cases[] = {
        {"60 Hz", 60, 16666},
        {"75 Hz", 75, 13333},
        {"144 Hz", 144, 6944},
        {"no rate asked: 60 Hz", 0, 16666},
        {"beyond 1000 Hz: 60 Hz", 2000, 16666},
    };
    ASSERT_NE(GetDirectDrawObject(), nullptr);
    for (const Case& c : cases) {
        ddraw::SetVerticalBlankRate(c.rate);
        Screen().framePeriodUs = 0;
        const uint64_t waits = ddraw::VerticalBlankWaitCount();
        MeasureRefreshPeriod();
        EXPECT_EQ(Screen().framePeriodUs, c.period) << c.what;
        EXPECT_EQ(ddraw::VerticalBlankWaitCount(), waits) << c.what;
    }
}

TEST_F(RefreshPeriodTest, AnObjectWithoutARateIsMeasuredWithTwoWaits) {
    struct Case {
        const char* what;
        int rate;
        bool waitsFail;
        int waits;
    };
    // The fake's waits return at once: what they measure is below 1 ms, so
    // the nominal period of the screen's 60 Hz stands.
    const Case cases[] = {
        {"rate call fails", -1, false, 2},
        {"rate of 0", 0, false, 2},
        {"the first wait fails", 0, true, 1},
        {"a rate, no wait", 50, false, 0},
    };
    IDirectDraw7* real = Device().directDraw;
    for (const Case& c : cases) {
        FakeDirectDraw fake(c.rate, c.waitsFail);
        Device().directDraw = &fake;
        Screen().framePeriodUs = 0;
        MeasureRefreshPeriod();
        Device().directDraw = real;
        EXPECT_EQ(fake.waits, c.waits) << c.what;
        EXPECT_EQ(Screen().framePeriodUs, c.rate > 0 ? 1000000 / c.rate : 16666) << c.what;
    }
}

TEST_F(RefreshPeriodTest, WithoutADirectDrawObjectTheNominalPeriodStands) {
    IDirectDraw7* real = Device().directDraw;
    Device().directDraw = nullptr;
    Screen().framePeriodUs = 0;
    MeasureRefreshPeriod();
    Device().directDraw = real;
    EXPECT_EQ(Screen().framePeriodUs, 16666);
}

}  // namespace
}  // namespace graphics_test
