// Force-feedback effects: constant force and the periodic effects, kept as
// DIEFFECT parameters and played on the controller as SDL vibrations. An
// effect reaches the device (is downloaded) only while its device is
// acquired exclusively, and is unloaded when the device is unacquired.
#include "platform/dinput/dinput_internal.h"

#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace dinput {

class Effect final : public ComObject<IDirectInputEffect> {
public:
    Effect(Device* device, const GUID& guid, bool periodic) : device_(device), guid_(guid), periodic_(periodic) {
        device_->AddRef();
        device_->AttachEffect(this);
    }

    HRESULT QueryInterface(REFIID iid, void** object) override;
    HRESULT GetEffectGuid(GUID* guid) override;
    HRESULT GetParameters(DIEFFECT* effect, DWORD flags) override;
    HRESULT SetParameters(const DIEFFECT* effect, DWORD flags) override;
    HRESULT Start(DWORD iterations, DWORD flags) override;
    HRESULT Stop() override;
    HRESULT GetEffectStatus(DWORD* status) override;
    HRESULT Download() override;
    HRESULT Unload() override;

    void Unloaded() { RemoveFromDevice(); }
    void Halt() {
        if (slot_ >= 0) platform::sdl::StopVibration(device_->joystick(), slot_);
    }

private:
    ~Effect() override {
        RemoveFromDevice();
        device_->DetachEffect(this);
        device_->Release();
    }

    // The parameters, as the last SetParameters left them.
    struct Parameters {
        DWORD set = 0;  // DIEP_ flags given so far
        DWORD coordinates = 0;
        DWORD objectFlags = DIEFF_OBJECTOFFSETS;
        DWORD duration = 0;
        DWORD samplePeriod = 0;
        DWORD gain = DI_FFNOMINALMAX;
        DWORD triggerButton = DIEB_NOTRIGGER;
        DWORD triggerRepeat = 0;
        DWORD axisCount = 0;
        DWORD axes[2] = {};
        LONG direction[2] = {};
        bool hasEnvelope = false;
        DIENVELOPE envelope{};
        DICONSTANTFORCE constant{};
        DIPERIODIC periodic{};
        DWORD startDelay = 0;
    };

    HRESULT Take(const DIEFFECT& e, DWORD flags, Parameters* p) const;
    bool Complete() const {
        const DWORD needed = DIEP_DURATION | DIEP_AXES | DIEP_TYPESPECIFICPARAMS;
        return (params_.set & needed) == needed;
    }
    platform::sdl::Vibration ToVibration() const;
    void RemoveFromDevice() {
        if (slot_ >= 0) platform::sdl::RemoveVibration(device_->joystick(), slot_);
        slot_ = -1;
    }

    Device* device_;
    const GUID guid_;
    const bool periodic_;
    Parameters params_;
    int slot_ = -1;  // the vibration slot while downloaded
};

namespace {

constexpr DWORD kKnownParameters = DIEP_ALLPARAMS | DIEP_START | DIEP_NORESTART | DIEP_NODOWNLOAD;

bool IsPeriodic(REFGUID guid) {
    return guid == GUID_Sine || guid == GUID_Square || guid == GUID_Triangle || guid == GUID_SawtoothUp ||
           guid == GUID_SawtoothDown;
}

int32_t ToLevel(int64_t magnitude, DWORD gain) {
    return static_cast<int32_t>(magnitude * gain / DI_FFNOMINALMAX * 32767 / DI_FFNOMINALMAX);
}

uint32_t ToMs(DWORD microseconds) { return microseconds / 1000; }

}  // namespace

HRESULT CreateEffectObject(Device* device, REFGUID guid, const DIEFFECT* parameters, IDirectInputEffect** out) {
    bool periodic = IsPeriodic(guid);
    if (!periodic && !(guid == GUID_ConstantForce)) return DIERR_DEVICENOTREG;
    auto* effect = new Effect(device, guid, periodic);
    if (parameters != nullptr) {
        HRESULT hr = effect->SetParameters(parameters, DIEP_ALLPARAMS);
        if (FAILED(hr)) {
            effect->Release();
            return hr;
        }
    }
    *out = effect;
    return DI_OK;
}

void UnloadEffect(Effect* effect) { effect->Unloaded(); }
void StopEffect(Effect* effect) { effect->Halt(); }

HRESULT Effect::QueryInterface(REFIID iid, void** object) {
    return com::AnswerQuery(this, iid, {&IID_IDirectInputEffect}, object);
}

HRESULT Effect::GetEffectGuid(GUID* guid) {
    if (guid == nullptr) return DIERR_INVALIDPARAM;
    *guid = guid_;
    return DI_OK;
}

// Checks the parameters that flags names and copies them into *p; nothing
// is taken when one of them is out of range.
HRESULT Effect::Take(const DIEFFECT& e, DWORD flags, Parameters* p) const {
    if (e.dwSize != sizeof(DIEFFECT) && e.dwSize != DIEFFECT_DX5_SIZE) return DIERR_INVALIDPARAM;
    if ((flags & ~kKnownParameters) != 0) return DIERR_INVALIDPARAM;
    if ((flags & DIEP_STARTDELAY) != 0 && e.dwSize != sizeof(DIEFFECT)) return DIERR_INVALIDPARAM;
    bool objectsNamed = (flags & (DIEP_AXES | DIEP_TRIGGERBUTTON)) != 0;
    DWORD objectFlags = e.dwFlags & (DIEFF_OBJECTIDS | DIEFF_OBJECTOFFSETS);
    if (objectsNamed && objectFlags != DIEFF_OBJECTIDS && objectFlags != DIEFF_OBJECTOFFSETS)
        return DIERR_INVALIDPARAM;
    if (objectsNamed) p->objectFlags = objectFlags;
    if (flags & DIEP_DURATION) p->duration = e.dwDuration;
    if (flags & DIEP_SAMPLEPERIOD) p->samplePeriod = e.dwSamplePeriod;
    if (flags & DIEP_GAIN) {
        if (e.dwGain > DI_FFNOMINALMAX) return DIERR_INVALIDPARAM;
        p->gain = e.dwGain;
    }
    if (flags & DIEP_TRIGGERBUTTON) p->triggerButton = e.dwTriggerButton;
    if (flags & DIEP_TRIGGERREPEATINTERVAL) p->triggerRepeat = e.dwTriggerRepeatInterval;
    if (flags & DIEP_AXES) {
        if (e.cAxes == 0 || e.cAxes > 2 || e.rgdwAxes == nullptr) return DIERR_INVALIDPARAM;
        for (DWORD i = 0; i < e.cAxes; ++i) {
            if (objectFlags == DIEFF_OBJECTOFFSETS && !device_->HasAxisAt(e.rgdwAxes[i])) return DIERR_INVALIDPARAM;
            if (i > 0 && e.rgdwAxes[i] == e.rgdwAxes[0]) return DIERR_INVALIDPARAM;
            p->axes[i] = e.rgdwAxes[i];
        }
        p->axisCount = e.cAxes;
    }
    if (flags & DIEP_DIRECTION) {
        DWORD coordinates = e.dwFlags & (DIEFF_CARTESIAN | DIEFF_POLAR | DIEFF_SPHERICAL);
        if (p->axisCount == 0 || e.rglDirection == nullptr) return DIERR_INVALIDPARAM;
        if (coordinates != DIEFF_CARTESIAN && coordinates != DIEFF_POLAR && coordinates != DIEFF_SPHERICAL)
            return DIERR_INVALIDPARAM;
        if (coordinates == DIEFF_POLAR && (p->axisCount != 2 || e.rglDirection[0] < 0 ||
                                           e.rglDirection[0] >= 360 * DI_DEGREES || e.rglDirection[1] != 0))
            return DIERR_INVALIDPARAM;
        p->coordinates = coordinates;
        // Polar and spherical directions have one angle fewer than axes.
        DWORD count = coordinates == DIEFF_CARTESIAN ? p->axisCount : p->axisCount - 1;
        for (DWORD i = 0; i < 2; ++i) p->direction[i] = i < count ? e.rglDirection[i] : 0;
    }
    if (flags & DIEP_ENVELOPE) {
        p->hasEnvelope = e.lpEnvelope != nullptr;
        if (p->hasEnvelope) {
            const DIENVELOPE& v = *e.lpEnvelope;
            if (v.dwSize != sizeof(DIENVELOPE) || v.dwAttackLevel > DI_FFNOMINALMAX ||
                v.dwFadeLevel > DI_FFNOMINALMAX)
                return DIERR_INVALIDPARAM;
            p->envelope = v;
        }
    }
    if (flags & DIEP_TYPESPECIFICPARAMS) {
        if (e.lpvTypeSpecificParams == nullptr) return DIERR_INVALIDPARAM;
        if (periodic_) {
            if (e.cbTypeSpecificParams != sizeof(DIPERIODIC)) return DIERR_INVALIDPARAM;
            DIPERIODIC v;
            std::memcpy(&v, e.lpvTypeSpecificParams, sizeof v);
            if (v.dwMagnitude > DI_FFNOMINALMAX || std::abs(v.lOffset) > DI_FFNOMINALMAX ||
                v.dwPhase >= 360 * DI_DEGREES)
                return DIERR_INVALIDPARAM;
            p->periodic = v;
        } else {
            if (e.cbTypeSpecificParams != sizeof(DICONSTANTFORCE)) return DIERR_INVALIDPARAM;
            DICONSTANTFORCE v;
            std::memcpy(&v, e.lpvTypeSpecificParams, sizeof v);
            if (std::abs(v.lMagnitude) > DI_FFNOMINALMAX) return DIERR_INVALIDPARAM;
            p->constant = v;
        }
    }
    if (flags & DIEP_STARTDELAY) p->startDelay = e.dwStartDelay;
    p->set |= flags & DIEP_ALLPARAMS;
    return DI_OK;
}

platform::sdl::Vibration Effect::ToVibration() const {
    platform::sdl::Vibration v{};
    v.kind = periodic_ ? platform::sdl::Vibration::Periodic : platform::sdl::Vibration::Constant;
    v.level = periodic_ ? ToLevel(params_.periodic.dwMagnitude, params_.gain)
                        : ToLevel(params_.constant.lMagnitude, params_.gain);
    v.periodMs = std::max<uint32_t>(ToMs(params_.periodic.dwPeriod), 1);
    v.lengthMs = params_.duration == INFINITE ? 0 : std::max<uint32_t>(ToMs(params_.duration), 1);
    if (params_.hasEnvelope) {
        v.attackMs = ToMs(params_.envelope.dwAttackTime);
        v.fadeMs = ToMs(params_.envelope.dwFadeTime);
        v.attackLevel = static_cast<uint16_t>(int64_t{params_.envelope.dwAttackLevel} * 32767 / DI_FFNOMINALMAX);
        v.fadeLevel = static_cast<uint16_t>(int64_t{params_.envelope.dwFadeLevel} * 32767 / DI_FFNOMINALMAX);
    }
    v.polar = params_.coordinates == DIEFF_POLAR;
    v.direction[0] = params_.direction[0];
    v.direction[1] = params_.direction[1];
    return v;
}

HRESULT Effect::GetParameters(DIEFFECT* e, DWORD flags) {
    if (e == nullptr || (e->dwSize != sizeof(DIEFFECT) && e->dwSize != DIEFFECT_DX5_SIZE) ||
        (flags & ~DWORD{DIEP_ALLPARAMS}) != 0)
        return DIERR_INVALIDPARAM;
    if (flags & DIEP_DURATION) e->dwDuration = params_.duration;
    if (flags & DIEP_SAMPLEPERIOD) e->dwSamplePeriod = params_.samplePeriod;
    if (flags & DIEP_GAIN) e->dwGain = params_.gain;
    if (flags & DIEP_TRIGGERBUTTON) e->dwTriggerButton = params_.triggerButton;
    if (flags & DIEP_TRIGGERREPEATINTERVAL) e->dwTriggerRepeatInterval = params_.triggerRepeat;
    if (flags & (DIEP_AXES | DIEP_DIRECTION)) {
        if (e->cAxes < params_.axisCount) {
            e->cAxes = params_.axisCount;
            return DIERR_MOREDATA;
        }
        e->cAxes = params_.axisCount;
        for (DWORD i = 0; i < params_.axisCount; ++i) {
            if ((flags & DIEP_AXES) && e->rgdwAxes != nullptr) e->rgdwAxes[i] = params_.axes[i];
            if ((flags & DIEP_DIRECTION) && e->rglDirection != nullptr) e->rglDirection[i] = params_.direction[i];
        }
        e->dwFlags = (e->dwFlags & ~DWORD{DIEFF_CARTESIAN | DIEFF_POLAR | DIEFF_SPHERICAL}) | params_.coordinates;
    }
    if (flags & DIEP_ENVELOPE) {
        if (!params_.hasEnvelope)
            e->lpEnvelope = nullptr;
        else if (e->lpEnvelope != nullptr)
            *e->lpEnvelope = params_.envelope;
    }
    if (flags & DIEP_TYPESPECIFICPARAMS) {
        DWORD size = periodic_ ? sizeof(DIPERIODIC) : sizeof(DICONSTANTFORCE);
        if (e->cbTypeSpecificParams < size || e->lpvTypeSpecificParams == nullptr) {
            e->cbTypeSpecificParams = size;
            return DIERR_MOREDATA;
        }
        std::memcpy(e->lpvTypeSpecificParams, periodic_ ? static_cast<const void*>(&params_.periodic)
                                                        : static_cast<const void*>(&params_.constant),
                    size);
        e->cbTypeSpecificParams = size;
    }
    return DI_OK;
}

HRESULT Effect::SetParameters(const DIEFFECT* effect, DWORD flags) {
    if (auto failed = seams::FailNow<HRESULT>("IDirectInputEffect::SetParameters", DIERR_INVALIDPARAM)) return *failed;
    HRESULT hr;
    if (effect == nullptr) return DIERR_INVALIDPARAM;
    Parameters next = params_;
    if ((hr = Take(*effect, flags, &next)) != DI_OK) return hr;
    params_ = next;
    if (flags & DIEP_NODOWNLOAD) return DI_OK;
    if (slot_ >= 0) {
        platform::sdl::ChangeVibration(device_->joystick(), slot_, ToVibration());
    } else if (!device_->ExclusivelyAcquired() || !Complete()) {
        return (flags & DIEP_START) ? DIERR_NOTEXCLUSIVEACQUIRED : DI_DOWNLOADSKIPPED;
    } else if ((hr = Download()) != DI_OK && FAILED(hr)) {
        return hr;
    }
    if (flags & DIEP_START) return Start(1, 0);
    return DI_OK;
}

HRESULT Effect::Download() {
    if (auto failed = seams::FailNow<HRESULT>("IDirectInputEffect::Download", DIERR_DEVICEFULL)) return *failed;
    if (!Complete()) return DIERR_INCOMPLETEEFFECT;
    if (!device_->ExclusivelyAcquired()) return DIERR_NOTEXCLUSIVEACQUIRED;
    if (slot_ >= 0) return DI_NOEFFECT;
    slot_ = platform::sdl::AddVibration(device_->joystick(), ToVibration());
    return slot_ >= 0 ? DI_OK : DIERR_DEVICEFULL;
}

HRESULT Effect::Unload() {
    RemoveFromDevice();
    return DI_OK;
}

HRESULT Effect::Start(DWORD iterations, DWORD flags) {
    if (auto failed = seams::FailNow<HRESULT>("IDirectInputEffect::Start", DIERR_GENERIC)) return *failed;
    HRESULT hr;
    if (iterations == 0 || (flags & ~DWORD{DIES_SOLO | DIES_NODOWNLOAD}) != 0) return DIERR_INVALIDPARAM;
    if (!Complete()) return DIERR_INCOMPLETEEFFECT;
    if (!device_->ExclusivelyAcquired()) return DIERR_NOTEXCLUSIVEACQUIRED;
    if (slot_ < 0) {
        if (flags & DIES_NODOWNLOAD) return DIERR_NOTDOWNLOADED;
        if (FAILED(hr = Download())) return hr;
    }
    if (flags & DIES_SOLO) device_->StopEffectsExcept(this);
    return platform::sdl::PlayVibration(device_->joystick(), slot_, iterations) ? DI_OK : DIERR_GENERIC;
}

HRESULT Effect::Stop() {
    if (auto failed = seams::FailNow<HRESULT>("IDirectInputEffect::Stop", DIERR_GENERIC)) return *failed;
    if (!device_->ExclusivelyAcquired()) return DIERR_NOTEXCLUSIVEACQUIRED;
    Halt();
    return DI_OK;
}

HRESULT Effect::GetEffectStatus(DWORD* status) {
    if (status == nullptr) return DIERR_INVALIDPARAM;
    bool playing = slot_ >= 0 && platform::sdl::IsVibrationPlaying(device_->joystick(), slot_);
    *status = playing ? DIEGES_PLAYING : 0;
    return DI_OK;
}

}  // namespace dinput
