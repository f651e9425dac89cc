// Force-feedback effects of the DirectInput stand-in: parameter checks,
// download and play only under exclusive acquisition, and what the pad's
// motors are told.
#include "dinput_fixture.h"

#include <functional>

namespace dinput_test {
namespace {

using platform::sdl::GetTestPadRumble;

// A complete constant force or sine on X and Y, easy to spoil for a test.
struct EffectParams {
    DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
    LONG direction[2] = {0, 0};
    DIENVELOPE envelope{sizeof(DIENVELOPE), 0, 500000, 0, 1000000};
    DICONSTANTFORCE constant{10000};
    DIPERIODIC periodic{10000, 0, 0, 1500000};
    DIEFFECT effect{};

    explicit EffectParams(bool sine) {
        effect.dwSize = sizeof(DIEFFECT);
        effect.dwFlags = (sine ? DIEFF_POLAR : DIEFF_CARTESIAN) | DIEFF_OBJECTOFFSETS;
        effect.dwDuration = INFINITE;
        effect.dwGain = 10000;
        effect.dwTriggerButton = DIEB_NOTRIGGER;
        effect.cAxes = 2;
        effect.rgdwAxes = axes;
        effect.rglDirection = direction;
        effect.lpEnvelope = sine ? &envelope : nullptr;
        effect.cbTypeSpecificParams = sine ? sizeof(DIPERIODIC) : sizeof(DICONSTANTFORCE);
        effect.lpvTypeSpecificParams = sine ? static_cast<void*>(&periodic) : static_cast<void*>(&constant);
    }
};

class Effects : public DirectInputTest {
protected:
    void SetUp() override {
        DirectInputTest::SetUp();
        pad_ = ReadyPad(&id_);
    }
    IDirectInputEffect* Make(bool sine, const EffectParams& params) {
        IDirectInputEffect* effect = nullptr;
        EXPECT_EQ(pad_->CreateEffect(sine ? GUID_Sine : GUID_ConstantForce, &params.effect, &effect, nullptr),
                  DI_OK);
        if (effect != nullptr) Keep(effect);
        return effect;
    }
    DWORD Status(IDirectInputEffect* effect) {
        DWORD status = 0xFF;
        EXPECT_EQ(effect->GetEffectStatus(&status), DI_OK);
        return status;
    }
    platform::sdl::TestPadRumble Motors() { return GetTestPadRumble(id_); }

    int32_t id_ = -1;
    IDirectInputDeviceA* pad_ = nullptr;
};

struct Spoil {
    const char* what;
    bool sine;
    std::function<void(EffectParams&)> change;
};

class BadEffect : public Effects, public ::testing::WithParamInterface<Spoil> {};

TEST_P(BadEffect, IsRefusedAndNothingIsMade) {
    EffectParams params(GetParam().sine);
    GetParam().change(params);
    IDirectInputEffect* effect = reinterpret_cast<IDirectInputEffect*>(1);
    EXPECT_EQ(pad_->CreateEffect(GetParam().sine ? GUID_Sine : GUID_ConstantForce, &params.effect, &effect, nullptr),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(effect, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    DirectInput, BadEffect,
    ::testing::Values(
        Spoil{"Size", false, [](EffectParams& p) { p.effect.dwSize = 10; }},
        Spoil{"Gain", false, [](EffectParams& p) { p.effect.dwGain = 10001; }},
        Spoil{"NoAxes", false, [](EffectParams& p) { p.effect.cAxes = 0; }},
        Spoil{"ThreeAxes", false, [](EffectParams& p) { p.effect.cAxes = 3; }},
        Spoil{"AButtonAsAxis", false, [](EffectParams& p) { p.axes[1] = DIJOFS_BUTTON(0); }},
        Spoil{"AnAbsentAxis", false, [](EffectParams& p) { p.axes[1] = DIJOFS_RX; }},
        Spoil{"SameAxisTwice", false, [](EffectParams& p) { p.axes[1] = DIJOFS_X; }},
        Spoil{"NoCoordinates", false, [](EffectParams& p) { p.effect.dwFlags = DIEFF_OBJECTOFFSETS; }},
        Spoil{"TwoCoordinates", false, [](EffectParams& p) { p.effect.dwFlags |= DIEFF_POLAR; }},
        Spoil{"NoObjectKind", false, [](EffectParams& p) { p.effect.dwFlags = DIEFF_CARTESIAN; }},
        Spoil{"ForceAboveMaximum", false, [](EffectParams& p) { p.constant.lMagnitude = 10001; }},
        Spoil{"ForceBelowMinimum", false, [](EffectParams& p) { p.constant.lMagnitude = -10001; }},
        Spoil{"ForceSize", false, [](EffectParams& p) { p.effect.cbTypeSpecificParams = sizeof(DIPERIODIC); }},
        Spoil{"PolarAngle", true, [](EffectParams& p) { p.direction[0] = 36000; }},
        Spoil{"PolarOneAxis", true, [](EffectParams& p) { p.effect.cAxes = 1; }},
        Spoil{"SineMagnitude", true, [](EffectParams& p) { p.periodic.dwMagnitude = 10001; }},
        Spoil{"SinePhase", true, [](EffectParams& p) { p.periodic.dwPhase = 36000; }},
        Spoil{"SineOffset", true, [](EffectParams& p) { p.periodic.lOffset = -10001; }},
        Spoil{"EnvelopeSize", true, [](EffectParams& p) { p.envelope.dwSize = 4; }},
        Spoil{"EnvelopeLevel", true, [](EffectParams& p) { p.envelope.dwFadeLevel = 10001; }},
        Spoil{"NoParameters", true, [](EffectParams& p) { p.effect.lpvTypeSpecificParams = nullptr; }}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(Effects, OnlyPadsThatVibrateMakeKnownEffects) {
    EffectParams params(false);
    IDirectInputEffect* effect = nullptr;
    EXPECT_EQ(pad_->CreateEffect(GUID_XAxis, &params.effect, &effect, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(pad_->CreateEffect(GUID_ConstantForce, &params.effect, nullptr, nullptr), DIERR_INVALIDPARAM);
    IDirectInputDeviceA* keyboard = ReadyKeyboard();
    EXPECT_EQ(keyboard->CreateEffect(GUID_ConstantForce, &params.effect, &effect, nullptr), DIERR_UNSUPPORTED);
    int32_t quiet;
    IDirectInputDeviceA* still = ReadyPad(&quiet, DISCL_EXCLUSIVE | DISCL_FOREGROUND, &c_dfDIJoystick, false);
    EXPECT_EQ(still->CreateEffect(GUID_ConstantForce, &params.effect, &effect, nullptr), DIERR_UNSUPPORTED);
    EXPECT_EQ(effect, nullptr);
}

TEST_F(Effects, PlayingNeedsTheDeviceHeldExclusively) {
    IDirectInputEffect* force = Make(false, EffectParams(false));
    EXPECT_EQ(force->Start(1, 0), DIERR_NOTEXCLUSIVEACQUIRED);
    EXPECT_EQ(force->Download(), DIERR_NOTEXCLUSIVEACQUIRED);
    ASSERT_EQ(pad_->Acquire(), DI_OK);
    EXPECT_EQ(force->Start(0, 0), DIERR_INVALIDPARAM);
    EXPECT_EQ(force->Start(1, DIES_NODOWNLOAD), DIERR_NOTDOWNLOADED);
    ASSERT_EQ(force->Start(1, 0), DI_OK);
    EXPECT_EQ(Status(force), DWORD{DIEGES_PLAYING});
    EXPECT_EQ(Motors().low, 0xFFFF);
    EXPECT_EQ(Motors().high, 0);
    ASSERT_EQ(force->Stop(), DI_OK);
    EXPECT_EQ(Status(force), 0u);
    EXPECT_EQ(Motors().low, 0);
}

TEST_F(Effects, AnEffectWithoutParametersIsIncomplete) {
    IDirectInputEffect* effect = nullptr;
    ASSERT_EQ(pad_->CreateEffect(GUID_Sine, nullptr, &effect, nullptr), DI_OK);
    Keep(effect);
    ASSERT_EQ(pad_->Acquire(), DI_OK);
    EXPECT_EQ(effect->Start(1, 0), DIERR_INCOMPLETEEFFECT);
    EffectParams params(true);
    EXPECT_EQ(effect->SetParameters(&params.effect, DIEP_ALLPARAMS | DIEP_START), DI_OK);
    EXPECT_EQ(Status(effect), DWORD{DIEGES_PLAYING});
    EXPECT_EQ(Motors().high, 0xFFFF);
}

TEST_F(Effects, UnacquiringUnloadsAndTheNextStartLoadsAgain) {
    IDirectInputEffect* sine = Make(true, EffectParams(true));
    ASSERT_EQ(pad_->Acquire(), DI_OK);
    ASSERT_EQ(sine->Start(1, 0), DI_OK);
    ASSERT_EQ(pad_->Unacquire(), DI_OK);
    EXPECT_EQ(Status(sine), 0u);
    EXPECT_EQ(Motors().high, 0);
    EXPECT_EQ(sine->Stop(), DIERR_NOTEXCLUSIVEACQUIRED);
    ASSERT_EQ(pad_->Acquire(), DI_OK);
    EXPECT_EQ(sine->Start(1, 0), DI_OK);
    EXPECT_EQ(Motors().high, 0xFFFF);
}

TEST_F(Effects, UnloadStopsAndTheNextStartDownloadsAgain) {
    IDirectInputEffect* force = Make(false, EffectParams(false));
    ASSERT_EQ(pad_->Acquire(), DI_OK);
    ASSERT_EQ(force->Download(), DI_OK);
    EXPECT_EQ(force->Download(), DI_NOEFFECT) << "already on the device";
    ASSERT_EQ(force->Start(1, DIES_NODOWNLOAD), DI_OK);
    ASSERT_EQ(force->Unload(), DI_OK);
    EXPECT_EQ(Status(force), 0u);
    EXPECT_EQ(Motors().low, 0);
    EXPECT_EQ(force->Start(1, DIES_NODOWNLOAD), DIERR_NOTDOWNLOADED);
    EXPECT_EQ(force->Start(1, 0), DI_OK);
    EXPECT_EQ(Motors().low, 0xFFFF);
}

TEST_F(Effects, ChangedParametersReachAPlayingEffect) {
    IDirectInputEffect* force = Make(false, EffectParams(false));
    ASSERT_EQ(pad_->Acquire(), DI_OK);
    ASSERT_EQ(force->Start(1, 0), DI_OK);
    EffectParams weaker(false);
    weaker.constant.lMagnitude = -5000;
    weaker.effect.dwGain = 5000;
    ASSERT_EQ(force->SetParameters(&weaker.effect, DIEP_TYPESPECIFICPARAMS | DIEP_GAIN), DI_OK);
    EXPECT_NEAR(Motors().low, 0xFFFF / 4, 2) << "a quarter: magnitude times gain, sign dropped";
    EffectParams bad(false);
    bad.effect.dwGain = 20000;
    EXPECT_EQ(force->SetParameters(&bad.effect, DIEP_TYPESPECIFICPARAMS | DIEP_GAIN), DIERR_INVALIDPARAM);
    DICONSTANTFORCE kept{};
    DIEFFECT read{};
    read.dwSize = sizeof read;
    read.cbTypeSpecificParams = sizeof kept;
    read.lpvTypeSpecificParams = &kept;
    ASSERT_EQ(force->GetParameters(&read, DIEP_TYPESPECIFICPARAMS | DIEP_GAIN), DI_OK);
    EXPECT_EQ(kept.lMagnitude, -5000) << "a refused change changes nothing";
    EXPECT_EQ(read.dwGain, 5000u);
}

TEST_F(Effects, ParametersReadBackAndAskForRoom) {
    IDirectInputEffect* sine = Make(true, EffectParams(true));
    DWORD axes[1];
    DIEFFECT read{};
    read.dwSize = sizeof read;
    read.cAxes = 1;
    read.rgdwAxes = axes;
    EXPECT_EQ(sine->GetParameters(&read, DIEP_AXES), DIERR_MOREDATA);
    EXPECT_EQ(read.cAxes, 2u);
    DWORD both[2];
    read.rgdwAxes = both;
    ASSERT_EQ(sine->GetParameters(&read, DIEP_AXES | DIEP_DURATION), DI_OK);
    EXPECT_EQ(both[1], DWORD{DIJOFS_Y});
    EXPECT_EQ(read.dwDuration, INFINITE);
    GUID guid{};
    ASSERT_EQ(sine->GetEffectGuid(&guid), DI_OK);
    EXPECT_TRUE(guid == GUID_Sine);
}

TEST_F(Effects, ASoloStartStopsTheOthers) {
    IDirectInputEffect* force = Make(false, EffectParams(false));
    IDirectInputEffect* sine = Make(true, EffectParams(true));
    ASSERT_EQ(pad_->Acquire(), DI_OK);
    ASSERT_EQ(force->Start(1, 0), DI_OK);
    ASSERT_EQ(sine->Start(1, DIES_SOLO), DI_OK);
    EXPECT_EQ(Status(force), 0u);
    EXPECT_EQ(Motors().low, 0);
    EXPECT_EQ(Motors().high, 0xFFFF);
}

TEST_F(Effects, AnEffectKeepsItsDeviceAlive) {
    IDirectInputEffect* force = nullptr;
    EffectParams params(false);
    IDirectInputDeviceA* device = Device(PadGuid());
    ASSERT_EQ(device->CreateEffect(GUID_ConstantForce, &params.effect, &force, nullptr), DI_OK);
    int live = dinput::LiveDeviceCount();
    objects_.pop_back();
    device->Release();
    EXPECT_EQ(dinput::LiveDeviceCount(), live);
    force->Release();
    EXPECT_EQ(dinput::LiveDeviceCount(), live - 1);
}

}  // namespace
}  // namespace dinput_test
