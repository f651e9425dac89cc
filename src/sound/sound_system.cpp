// Sound start-up and shutdown, and the sound thread that refills stream
// sounds every 30 ms on machines with more than one logical processor.
#include "core/library.h"
#include "core/log.h"
#include "core/services.h"
#include "platform/user32/user32.h"
#include "platform/winmm/winmm.h"
#include "sound/sound_internal.h"
#include "sound/sound_ogg.h"

namespace {

int32_t g_threadModeForTest = -1;
std::atomic<int32_t> g_threadPasses{0};

bool WantSoundThread() {
    if (g_threadModeForTest >= 0) return g_threadModeForTest == 1;
    return LogicalProcessorCount() > 1;
}

void ReleaseSoundObject() {
    if (g_sound.soundObject != nullptr) g_sound.soundObject->Release();
    g_sound.soundObject = nullptr;
}

// Ends a failed start-up: the object is released and the lock deleted again.
int32_t FailStartUp(const char* message) {
    WriteLog(message);
    ReleaseSoundObject();
    DeleteSoundLock();
    return -1;
}

int32_t CreatePrimaryBuffer() {
    DSBUFFERDESC description{};
    description.dwSize = sizeof description;
    description.dwFlags = DSBCAPS_PRIMARYBUFFER;
    if (FAILED(g_sound.soundObject->CreateSoundBuffer(&description, &g_sound.primaryBuffer, nullptr))) {
        g_sound.primaryBuffer = nullptr;
        return -1;
    }
    DSCAPS caps{};
    caps.dwSize = sizeof caps;
    g_sound.soundObject->GetCaps(&caps);
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = (caps.dwFlags & DSCAPS_PRIMARYSTEREO) ? 2 : 1;
    format.wBitsPerSample = (caps.dwFlags & DSCAPS_PRIMARY16BIT) ? 16 : 8;
    format.nSamplesPerSec = caps.dwMaxSecondarySampleRate < 44100 ? caps.dwMaxSecondarySampleRate : 44100;
    format.nBlockAlign = static_cast<WORD>(format.wBitsPerSample / 8 * format.nChannels);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    format.cbSize = 0;
    if (FAILED(g_sound.primaryBuffer->SetFormat(&format)))
        WriteLog("DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\n");
    return 0;
}

// A buffer of silence that loops for as long as sound runs.
void StartSilentBuffer() {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 176400;
    DSBUFFERDESC description{};
    description.dwSize = sizeof description;
    description.dwFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_STATIC;
    description.dwBufferBytes = format.nBlockAlign * 100;
    description.lpwfxFormat = &format;
    if (FAILED(g_sound.soundObject->CreateSoundBuffer(&description, &g_sound.silentBuffer, nullptr))) {
        g_sound.silentBuffer = nullptr;
        WriteLog("無音バッファの作成に失敗しました");
        return;
    }
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstBytes = 0, secondBytes = 0;
    if (FAILED(g_sound.silentBuffer->Lock(0, description.dwBufferBytes, &first, &firstBytes, &second, &secondBytes,
                                          0))) {
        WriteLog("無音バッファのロックに失敗しました");
        g_sound.silentBuffer->Release();
        g_sound.silentBuffer = nullptr;
        return;
    }
    FillBytes(first, 0, firstBytes);
    if (second != nullptr) FillBytes(second, 0, secondBytes);
    g_sound.silentBuffer->Unlock(first, firstBytes, second, secondBytes);
    g_sound.silentBuffer->Play(0, 0, DSBPLAY_LOOPING);
}

BOOL OnSoundDeviceFound(GUID*, LPCSTR description, LPCSTR module, LPVOID) {
    WriteLogFormatted("モジュール名:%15s  ドライバ記述:%s ", module, description);
    return TRUE;
}

const char* Availability(DWORD flags, DWORD flag) { return (flags & flag) ? "OK" : "NO"; }

// A report that cannot be made lowers both indent levels it raised, so that
// the rest of the log keeps its indent.
void SkipDeviceReport(const char* message) {
    WriteLog(message);
    DecreaseLogIndent();
    DecreaseLogIndent();
}

void WriteDeviceReport() {
    IncreaseLogIndent();
    DSCAPS caps{};
    caps.dwSize = sizeof caps;
    g_sound.soundObject->GetCaps(&caps);
    WriteLog("DirectSound デバイスを列挙します\n");
    IncreaseLogIndent();
    HMODULE library = LoadLibraryA("DSOUND.DLL");
    if (library == nullptr) return SkipDeviceReport("DSOUND.DLL のロードに失敗しました\n");
    using Enumerate = decltype(&DirectSoundEnumerateA);
    auto enumerate = reinterpret_cast<Enumerate>(GetProcAddress(library, "DirectSoundEnumerateA"));
    if (enumerate == nullptr) {
        FreeLibrary(library);
        return SkipDeviceReport("DirectSound デバイスの列挙用関数のポインタ取得に失敗しました\n");
    }
    enumerate(OnSoundDeviceFound, nullptr);
    DecreaseLogIndent();
    WriteLogFormatted("最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz ",
                      static_cast<double>(caps.dwMaxSecondarySampleRate) / 1000,
                      static_cast<double>(caps.dwMinSecondarySampleRate) / 1000);
    WriteLogFormatted("総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB \n",
                      static_cast<double>(caps.dwTotalHwMemBytes) * 0.00390625,
                      static_cast<double>(caps.dwFreeHwMemBytes) * 0.00390625);
    WriteLog("利用可能サンプリング精度\n");
    WriteLogFormatted(" プライマリ １６bit = %s  ８bit = %s ", Availability(caps.dwFlags, DSCAPS_PRIMARY16BIT),
                      Availability(caps.dwFlags, DSCAPS_PRIMARY8BIT));
    WriteLogFormatted(" セカンダリ １６bit = %s  ８bit = %s \n", Availability(caps.dwFlags, DSCAPS_SECONDARY16BIT),
                      Availability(caps.dwFlags, DSCAPS_SECONDARY8BIT));
    WriteLog("利用可能チャンネル\n");
    WriteLogFormatted(" プライマリ MONO = %s  STEREO = %s ", Availability(caps.dwFlags, DSCAPS_PRIMARYMONO),
                      Availability(caps.dwFlags, DSCAPS_PRIMARYSTEREO));
    WriteLogFormatted(" セカンダリ MONO = %s  STEREO = %s \n", Availability(caps.dwFlags, DSCAPS_SECONDARYMONO),
                      Availability(caps.dwFlags, DSCAPS_SECONDARYSTEREO));
    DecreaseLogIndent();
    FreeLibrary(library);
}

DWORD SoundThreadProc(LPVOID) {
    while (g_sound.threadStop.load() != 1) {
        EnterSoundLock();
        if (g_sound.soundObject != nullptr) {
            for (ListNode* node = g_sound.streamHead.next; node != nullptr && node->next != nullptr;
                 node = node->next) {
                auto* record = static_cast<SoundRecord*>(node->data);
                if (record->active) RefillStream(node->value);
            }
        }
        if (g_sound.soundObject != nullptr) RefillSoftSoundPlayers();
        LeaveSoundLock();
        ++g_threadPasses;
        Sleep(30);
    }
    g_sound.threadStop = 2;
    return 0;
}

void StartSoundThread() {
    g_sound.thread = nullptr;
    if (!WantSoundThread()) return;
    g_sound.threadStop = 0;
    g_sound.thread = CreateThread(nullptr, 0, SoundThreadProc, nullptr, CREATE_SUSPENDED, &g_sound.threadId);
    if (g_sound.thread == nullptr) return;
    SetThreadPriority(g_sound.thread, THREAD_PRIORITY_TIME_CRITICAL);
    ResumeThread(g_sound.thread);
}

// Asks the sound thread to stop and waits until it has ended. The message
// pump keeps running while it winds down; the thread is then always joined,
// also when the program is already ending (the pump then returns at once),
// so that nothing below is released under a running pass.
void StopSoundThread() {
    if (g_sound.thread == nullptr) return;
    g_sound.threadStop = 1;
    if (PumpMessagesUnlocked() == 0) {
        while (g_sound.threadStop.load() == 1) {
            Sleep(2);
            if (PumpMessagesUnlocked() != 0) break;
        }
    }
    WaitForSingleObject(g_sound.thread, INFINITE);
    CloseHandle(g_sound.thread);
    g_sound.thread = nullptr;
}

// Plain DirectSound (MIDI mode 0): the object, its device, the cooperative
// level and the primary buffer with the device's format.
int32_t StartDirectSound() {
    WriteLog("DirectSound の初期化を行います\n");
    WriteLog("DirectSound インターフェースの取得を行います....  ");
    void* object = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, &object))) {
        g_sound.soundObject = nullptr;
        return FailStartUp("DirectSoundインターフェースの作成に失敗しました\n");
    }
    g_sound.soundObject = static_cast<IDirectSound*>(object);
    WriteLog("成功\n");
    WriteLog("引き続きインターフェースの初期化処理...  ");
    if (FAILED(g_sound.soundObject->Initialize(nullptr))) return FailStartUp("初期化に失敗しました\n");
    WriteLog("成功\n");
    if (FAILED(g_sound.soundObject->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY)))
        return FailStartUp("DirectSoundの協調レベルの設定に失敗しました\n");
    if (CreatePrimaryBuffer() != 0)
        return FailStartUp("DirectSoundのプライマリサウンドバッファの作成に失敗しました\n");
    return 0;
}

}  // namespace

void DeleteSoundLock() {
    if (!g_sound.lockCreated) return;
    g_sound.lockCreated = false;
    DeleteCriticalSection(&g_sound.lock);
}

int32_t InitializeSound() {
    if (g_sound.soundObject != nullptr) return -1;
    InitializeCriticalSection(&g_sound.lock);
    g_sound.lockCreated = true;
    g_sound.lockDepth = 0;
    g_sound.lockOwner = 0;

    if (g_sound.midiMode == 1) {
        const MusicStart started = StartSoundThroughMusic();
        if (started == MusicStart::kFellBack) return InitializeSound();
        if (started == MusicStart::kFailed) return -1;
    } else if (StartDirectSound() != 0) {
        return -1;
    }
    StartSilentBuffer();

    g_sound.loadType = 0;
    OggSampleBytes = 2;
    InitList(&g_sound.streamHead, &g_sound.streamSentinel);
    InitList(&g_sound.softPlayerHead, &g_sound.softPlayerSentinel);

    WriteDeviceReport();

    DeleteAllSounds(0);
    DeleteAllSoftSounds();
    DeleteAllSoftSoundPlayers();

    StartSoundThread();
    WriteLog("DirectSound の初期化は正常に終了しました\n");
    return 0;
}

int32_t TerminateSound() {
    if (g_sound.soundObject == nullptr) return -1;
    // A fatal error can end the library from inside a load that holds the
    // lock; let go of it so that the sound thread can finish its pass.
    LeaveSoundLockFully();
    StopSoundThread();
    FinishCaptureWaveFile();
    DeleteAllSounds(0);
    DeleteAllSoftSounds();
    DeleteAllSoftSoundPlayers();
    DeleteAllMidi();
    DeleteMidiFileAtEnd();
    DeleteSoundLock();
    ReleaseMusicObjects();
    if (g_sound.primaryBuffer != nullptr) {
        g_sound.primaryBuffer->Stop();
        g_sound.primaryBuffer->Release();
        g_sound.primaryBuffer = nullptr;
    }
    if (g_sound.silentBuffer != nullptr) {
        g_sound.silentBuffer->Stop();
        g_sound.silentBuffer->Release();
        g_sound.silentBuffer = nullptr;
    }
    ReleaseSoundObject();
    WriteLog("DirectSound の終了処理は正常に終了しました\n");
    return 0;
}

void SetSoundThreadModeForTest(int32_t mode) { g_threadModeForTest = mode; }

bool IsSoundThreadRunningForTest() { return g_sound.thread != nullptr && g_sound.threadStop.load() == 0; }

int32_t SoundThreadPassCountForTest() { return g_threadPasses.load(); }
