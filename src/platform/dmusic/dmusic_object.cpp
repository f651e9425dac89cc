// The DirectMusic object with its list of MIDI ports, and the classes COM
// creates.
#include "platform/dmusic/dmusic_internal.h"
#include "platform/seams/seams.h"

#include <atomic>
#include <cstring>

namespace dmusic {
namespace {

struct Port {
    DWORD portClass;
    const char16_t* description;
};

// The synthesizer that plays into the DirectSound output; a test can add an
// input port after it.
constexpr Port kPorts[] = {
    {DMUS_PC_OUTPUTCLASS, u"ソフトウェア シンセサイザー (DirectSound 出力)"},
    {DMUS_PC_INPUTCLASS, u"外部 MIDI 入力"},
};
std::atomic<bool> g_inputPort{false};

size_t PortCount() { return g_inputPort ? 2 : 1; }

template <typename Object>
IUnknown* Create() {
    return new Object();
}

}  // namespace

HRESULT DirectMusic::QueryInterface(REFIID iid, void** object) {
    if (iid == IID_IDirectMusic8) {
        if (auto failed = seams::FailNow<HRESULT>("IDirectMusic::QueryInterface", E_NOINTERFACE)) {
            if (object != nullptr) *object = nullptr;
            return *failed;
        }
    }
    return com::AnswerQuery(this, iid, {&IID_IDirectMusic, &IID_IDirectMusic8}, object);
}

HRESULT DirectMusic::EnumPort(DWORD index, DMUS_PORTCAPS* caps) {
    LogCall([](CallLog& log) { ++log.enumPort; });
    if (auto failed = seams::FailNow<HRESULT>("IDirectMusic::EnumPort", E_FAIL)) return *failed;
    if (caps == nullptr) return E_POINTER;
    if (caps->dwSize != sizeof(DMUS_PORTCAPS)) return E_INVALIDARG;
    if (index >= PortCount()) return S_FALSE;
    const Port& port = kPorts[index];
    std::memset(caps, 0, sizeof *caps);
    caps->dwSize = sizeof *caps;
    caps->guidPort = GUID{0x56454C00u + index, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
    caps->dwClass = port.portClass;
    caps->dwMaxChannelGroups = 1;
    caps->dwMaxVoices = 64;
    caps->dwMaxAudioChannels = 2;
    size_t length = 0;
    while (port.description[length] != 0 && length + 1 < DMUS_MAX_DESCRIPTION) {
        caps->wszDescription[length] = port.description[length];
        ++length;
    }
    return S_OK;
}

void OfferInputPortForTest(bool offered) { g_inputPort = offered; }

void RegisterClasses() {
    com::RegisterClass(CLSID_DirectMusicLoader, Create<Loader>);
    com::RegisterClass(CLSID_DirectMusicPerformance, Create<Performance>);
    com::RegisterClass(CLSID_DirectMusic, Create<DirectMusic>);
}

}  // namespace dmusic
