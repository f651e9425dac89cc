// The helpers every stand-in shares: seams::FailNow (fail now, and with which
// result?) and platform::FailWith (set the last error, return the failure).
#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"

#include <gtest/gtest.h>

namespace {

class SeamsTest : public ::testing::Test {
protected:
    void TearDown() override { seams::ClearAllCalls(); }
};

TEST_F(SeamsTest, TheChosenResultIsTakenOnlyWhenItIsAFailureTheTypeHolds) {
    constexpr HRESULT kHresult = E_OUTOFMEMORY;     // the fallbacks
    constexpr DWORD kError = ERROR_ACCESS_DENIED;
    constexpr HRESULT kNotRegistered = static_cast<HRESULT>(0x80040154);
    struct Case {
        const char* what;
        int64_t chosen;
        HRESULT asHresult;
        DWORD asError;
    } const cases[] = {
        {"none chosen", -1, kHresult, kError},
        {"zero would be a success", 0, kHresult, kError},
        {"a failure HRESULT", kNotRegistered, kNotRegistered, 0x80040154u},
        {"the same written unsigned", 0x80040154, kNotRegistered, 0x80040154u},
        {"a small positive code", 112, 112, 112u},
        {"the largest unsigned code", 0xFFFFFFFF, -1, 0xFFFFFFFFu},
        {"too wide for 32 bits", int64_t{1} << 32, kHresult, kError},
        {"too negative for 32 bits", INT64_MIN, kHresult, kError},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(seams::ChosenOr<HRESULT>(c.chosen, kHresult), c.asHresult) << c.what;
        EXPECT_EQ(seams::ChosenOr<DWORD>(c.chosen, kError), c.asError) << c.what;
    }
}

TEST_F(SeamsTest, FailNowAnswersOncePerCountedFailure) {
    EXPECT_FALSE(seams::FailNow<HRESULT>("Probe::Call", E_FAIL)) << "nothing injected";
    seams::FailCallAfter("Probe::Call", 1, 2, E_OUTOFMEMORY);
    EXPECT_FALSE(seams::FailNow<HRESULT>("Probe::Call", E_FAIL)) << "the skipped call runs";
    for (int i = 0; i < 2; ++i) {
        const auto failed = seams::FailNow<HRESULT>("Probe::Call", E_FAIL);
        ASSERT_TRUE(failed) << "failure " << i;
        EXPECT_EQ(*failed, E_OUTOFMEMORY) << "failure " << i;
    }
    EXPECT_FALSE(seams::FailNow<HRESULT>("Probe::Call", E_FAIL)) << "the failures are used up";
}

TEST_F(SeamsTest, AKindNamedSeamFailsThatKindOnly) {
    struct Case {
        const char* what;
        const char* seam;
        const char* kind;
        bool fails;
    } const cases[] = {
        {"the call for every kind", "Probe::Read", "Mouse", true},
        {"the call with no kind", "Probe::Read", nullptr, true},
        {"the kind asked", "Probe::Read:Mouse", "Mouse", true},
        {"another kind", "Probe::Read:Mouse", "Keyboard", false},
        {"no kind given", "Probe::Read:Mouse", nullptr, false},
    };
    for (const Case& c : cases) {
        seams::FailCall(c.seam, 1);
        const auto failed = seams::FailNow<HRESULT>("Probe::Read", c.kind, E_OUTOFMEMORY);
        EXPECT_EQ(failed.value_or(S_OK), c.fails ? E_OUTOFMEMORY : S_OK) << c.what;
        seams::ClearAllCalls();
    }
}

TEST_F(SeamsTest, FailWithSetsTheLastErrorAndHandsBackTheFailure) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(platform::FailWith(ERROR_INVALID_PARAMETER, FALSE), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(platform::FailWith(ERROR_INVALID_HANDLE, INVALID_HANDLE_VALUE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(platform::FailWith(ERROR_NOT_ENOUGH_MEMORY, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

// A stand-in call as the stand-ins write one: the seam, then a refusal.
BOOL ProbeCall(const void* argument) {
    if (auto failed = seams::FailNow<DWORD>("ProbeCall", ERROR_ACCESS_DENIED))
        return platform::FailWith(*failed, FALSE);
    if (argument == nullptr) return platform::FailWith(ERROR_INVALID_PARAMETER, FALSE);
    return TRUE;
}

TEST_F(SeamsTest, AnInjectedKernelFailureSetsTheChosenOrDefaultError) {
    const int argument = 0;
    struct Case {
        const char* what;
        bool inject;
        int64_t chosen;
        const void* argument;
        BOOL result;
        DWORD error;
    } const cases[] = {
        {"runs", false, -1, &argument, TRUE, ERROR_SUCCESS},
        {"refuses a null argument", false, -1, nullptr, FALSE, ERROR_INVALID_PARAMETER},
        {"injected with its default error", true, -1, &argument, FALSE, ERROR_ACCESS_DENIED},
        {"injected with a chosen error", true, 112, &argument, FALSE, 112},
    };
    for (const Case& c : cases) {
        SetLastError(ERROR_SUCCESS);
        if (c.inject) seams::FailCall("ProbeCall", 1, c.chosen);
        EXPECT_EQ(ProbeCall(c.argument), c.result) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
        seams::ClearAllCalls();
    }
}

}  // namespace
