// Sound start-up in MIDI mode 1: DirectMusic's loader, performance and
// DirectMusic object, the MIDI ports in the log, and the sound object that
// the performance's audio hands back.
#include "core/log.h"
#include "core/services.h"
#include "platform/kernel32/kernel32.h"
#include "sound/sound_internal.h"

namespace {

// Ends a failed start: TerminateSound ends nothing before the sound object
// exists, so what was made so far is let go of here.
MusicStart FailMusicStart(const char* message) {
    WriteLog(message);
    if (TerminateSound() != 0) {
        ReleaseMusicObjects();
        DeleteSoundLock();
    }
    return MusicStart::kFailed;
}

template <typename Interface>
Interface* Create(REFCLSID clsid, REFIID iid) {
    void* object = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, &object))) return nullptr;
    return static_cast<Interface*>(object);
}

// One log line per MIDI port, numbered from 0.
void ReportMidiPorts(IDirectMusic8* music) {
    DMUS_PORTCAPS caps{};
    caps.dwSize = sizeof caps;
    for (DWORD index = 0; music->EnumPort(index, &caps) == S_OK; ++index) {
        int units = 0;
        while (units < DMUS_MAX_DESCRIPTION && caps.wszDescription[units] != 0) ++units;
        char description[DMUS_MAX_DESCRIPTION * 2 + 1] = {};
        if (units > 0) {
            const int bytes = WideCharToMultiByte(CP_ACP, 0, caps.wszDescription, units, description,
                                                  sizeof description - 1, nullptr, nullptr);
            description[bytes > 0 ? bytes : 0] = '\0';
        }
        WriteLogFormatted("%s  Device%d:%s ", caps.dwClass == DMUS_PC_OUTPUTCLASS ? "出力ポート" : "入力ポート",
                          static_cast<int>(index), description);
        caps.dwSize = sizeof caps;
    }
}

// The DirectMusic object and its IDirectMusic8 interface, which lists the
// ports and is kept; the interface it was made with is let go of after.
MusicStart OpenDirectMusic() {
    auto* music = Create<IDirectMusic>(CLSID_DirectMusic, IID_IDirectMusic);
    if (music == nullptr) return FailMusicStart("DirectMusic オブジェクトの取得に失敗しました\n");
    void* music8 = nullptr;
    if (FAILED(music->QueryInterface(IID_IDirectMusic8, &music8))) {
        music->Release();
        return FailMusicStart("DirectMusic8 オブジェクトの取得に失敗しました\n");
    }
    g_sound.musicObject = static_cast<IDirectMusic8*>(music8);
    ReportMidiPorts(g_sound.musicObject);
    music->Release();
    return MusicStart::kStarted;
}

}  // namespace

MusicStart StartSoundThroughMusic() {
    WriteLog("DirectSound8 の初期化を行います\n");
    g_sound.musicLoader = Create<IDirectMusicLoader8>(CLSID_DirectMusicLoader, IID_IDirectMusicLoader8);
    if (g_sound.musicLoader == nullptr) {
        WriteLog("DirectMusicLoader8 オブジェクトの作成に失敗しました\n");
        WriteLog("前バージョンでの初期化処理に移ります\n");
        g_sound.midiMode = 0;
        // The start in mode 0 creates the lock again.
        DeleteSoundLock();
        return MusicStart::kFellBack;
    }
    g_sound.musicPerformance =
        Create<IDirectMusicPerformance8>(CLSID_DirectMusicPerformance, IID_IDirectMusicPerformance8);
    if (g_sound.musicPerformance == nullptr)
        return FailMusicStart("DirectMusicPerformance オブジェクトの作成に失敗しました\n");
    if (OpenDirectMusic() != MusicStart::kStarted) return MusicStart::kFailed;

    DMUS_AUDIOPARAMS params{};
    params.dwSize = sizeof params;
    params.fInitNow = TRUE;
    params.dwValidData = DMUS_AUDIOPARAMS_FEATURES | DMUS_AUDIOPARAMS_SAMPLERATE;
    params.dwFeatures = DMUS_AUDIOF_ALL;
    params.dwSampleRate = 44100;
    g_sound.soundObject = nullptr;
    if (FAILED(g_sound.musicPerformance->InitAudio(nullptr, &g_sound.soundObject, nullptr,
                                                   DMUS_APATH_SHARED_STEREOPLUSREVERB, 64, DMUS_AUDIOF_ALL,
                                                   &params))) {
        g_sound.soundObject = nullptr;
        return FailMusicStart("DirectMusicPerformanceオブジェクトの初期化に失敗しました\n");
    }
    g_sound.musicPerformance->SetGlobalParam(GUID_PerfMasterVolume, &g_sound.masterVolume,
                                             sizeof g_sound.masterVolume);
    return MusicStart::kStarted;
}
