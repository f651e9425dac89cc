// MIDI handles over MCI and software sound players: the empty tables the
// library runs with, the handle checks, the MCI commands the notification
// and stop send (and what a refused play leaves), the temporary file and
// handle released at the end, and the player refill with its end point.
#include "core/library.h"
#include "platform/winmm/mci.h"
#include "sound/sound_internal.h"
#include "sound/sound_players.h"
#include "sound_test_util.h"

#include <sys/stat.h>

#include <fstream>

using namespace soundtest;

namespace {

bool FileExists(const char* path) {
    struct stat info;
    return stat(path, &info) == 0;
}

void TouchFile(const char* path) { std::ofstream(path) << "MThd"; }

class MidiTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        mci::ResetForTest();
    }
    void TearDown() override {
        SetTemporaryPlayHandleForTest(-1, 0);
        SoundTest::TearDown();
        EXPECT_EQ(GetMidiCountForTest(), 0);
        EXPECT_EQ(GetSoftSoundCountForTest(), 0);
        mci::ResetForTest();
    }
    const uint8_t data_[4] = {'M', 'T', 'h', 'd'};
};

TEST_F(MidiTest, WithNothingMadeTheChecksAndDeletesFindNothing) {
    EXPECT_EQ(CheckMidiPlayState(), 0);
    EXPECT_EQ(ProcessSoftSoundPlayers(), 0);
    EXPECT_EQ(DeleteAllMidi(), 0);
    EXPECT_EQ(DeleteAllSoftSounds(), 0);
    EXPECT_EQ(DeleteAllSoftSoundPlayers(), 0);
    EXPECT_EQ(ReleaseTemporaryPlayHandle(), 0);
    // Nothing plays and nothing loops: the notification sends no command.
    EXPECT_EQ(HandleMidiNotify(MCI_NOTIFY_SUCCESSFUL, 1), 0);
    EXPECT_EQ(mci::CommandCountForTest(), 0);
}

TEST_F(MidiTest, CallsWithoutSoundOrWithABadHandleAreRefused) {
    const int32_t midi = AddMidiDataForTest(data_, 4);
    const int32_t soft = AddSoftSoundDataForTest(data_, 4);
    ASSERT_EQ(midi & 0x78000000, 0x40000000);
    ASSERT_EQ(soft & 0x78000000, 0x68000000);
    for (int32_t bad : {-1, midi + 1, midi ^ 0x00010000, soft, 0x10000000}) {
        EXPECT_EQ(IsMidiPlaying(bad), -1) << std::hex << bad;
        EXPECT_EQ(StopMidi(bad), -1) << std::hex << bad;
        EXPECT_EQ(DeleteMidi(bad), -1) << std::hex << bad;
    }
    // A slot of 8192 or more, a stale check value, the other kind.
    EXPECT_EQ(DeleteSoftSound(0x68000000 | 8192, kSoftSoundData), -1);
    EXPECT_EQ(DeleteSoftSound(soft ^ 0x00010000, kSoftSoundData), -1);
    EXPECT_EQ(DeleteSoftSound(soft, kSoftSoundPlayer), -1);
    EXPECT_EQ(DeleteSoftSound(midi, kSoftSoundData), -1);
    EXPECT_EQ(DeleteSoftSound(soft, kSoftSoundData), 0);
    EXPECT_EQ(DeleteSoftSound(soft, kSoftSoundData), -1) << "already gone";
    EXPECT_EQ(DeleteMidi(midi), 0);

    ASSERT_EQ(TerminateSound(), 0);
    EXPECT_EQ(CheckMidiPlayState(), -1);
    EXPECT_EQ(ProcessSoftSoundPlayers(), -1);
    EXPECT_EQ(IsMidiPlaying(midi), -1);
    ASSERT_EQ(InitializeSound(), 0);
}

TEST_F(MidiTest, HandlesFollowTheSoundTableRules) {
    const int32_t a = AddMidiDataForTest(data_, 4);
    const int32_t b = AddMidiDataForTest(data_, 4);
    const int32_t c = AddMidiDataForTest(data_, 4);
    EXPECT_EQ(a & 0xFFFF, 0);
    EXPECT_EQ(c & 0xFFFF, 2);
    EXPECT_EQ((b >> 16) & 0x7FF, ((a >> 16) & 0x7FF) + 1) << "a new check value each";
    EXPECT_EQ(GetMidiHighWaterForTest(), 3);
    ASSERT_EQ(DeleteMidi(b), 0);
    EXPECT_EQ(GetMidiHighWaterForTest(), 3);
    ASSERT_EQ(DeleteMidi(c), 0);
    EXPECT_EQ(GetMidiHighWaterForTest(), 1) << "lowered past the empty slot below";
    const int32_t d = AddMidiDataForTest(data_, 4);
    EXPECT_EQ(d & 0xFFFF, 1);
    EXPECT_EQ(IsMidiPlaying(b), -1) << "a reused slot refuses the old handle";
    EXPECT_EQ(DeleteAllMidi(), 0);
    EXPECT_EQ(GetMidiHighWaterForTest(), 0);
    // The table holds 256.
    int32_t last = -1;
    for (int i = 0; i < 256; ++i) last = AddMidiDataForTest(data_, 4);
    EXPECT_NE(last, -1);
    EXPECT_EQ(AddMidiDataForTest(data_, 4), -1);
    EXPECT_EQ(DeleteAllMidi(), 0);
}

TEST_F(MidiTest, StopClosesTheDeviceAndDeletesTheTemporaryFile) {
    TouchFile("play.mid");
    const int32_t h = AddMidiDataForTest(data_, 4);
    mci::OpenDeviceForTest(7);
    ASSERT_EQ(StartMidiForTest(h, 7, 1, "play.mid"), 0);
    EXPECT_EQ(IsMidiPlaying(h), 1);
    ASSERT_EQ(StopMidi(h), 0);
    const mci::Command close = mci::LastCommandForTest();
    EXPECT_EQ(close.deviceId, 7u);
    EXPECT_EQ(close.message, static_cast<UINT>(MCI_CLOSE));
    EXPECT_EQ(close.result, 0u);
    EXPECT_EQ(mci::CommandCountForTest(), 1) << "the loop was cleared first: no play again";
    EXPECT_EQ(IsMidiPlaying(h), 0);
    EXPECT_FALSE(FileExists("play.mid"));
    // Deleting a stopped handle sends nothing more.
    ASSERT_EQ(DeleteMidi(h), 0);
    EXPECT_EQ(mci::CommandCountForTest(), 1);
}

TEST_F(MidiTest, TheNotificationPlaysALoopAgainFromTheStart) {
    const int32_t h = AddMidiDataForTest(data_, 4);
    mci::OpenDeviceForTest(3);
    ASSERT_EQ(StartMidiForTest(h, 3, 1, nullptr), 0);
    ASSERT_EQ(HandleMidiNotify(MCI_NOTIFY_SUCCESSFUL, 3), 0);
    const mci::Command play = mci::LastCommandForTest();
    EXPECT_EQ(play.deviceId, 3u);
    EXPECT_EQ(play.message, static_cast<UINT>(MCI_PLAY));
    EXPECT_EQ(play.flags, static_cast<DWORD_PTR>(MCI_NOTIFY | MCI_FROM));
    EXPECT_EQ(play.from, 0u);
    EXPECT_EQ(play.callback, reinterpret_cast<DWORD_PTR>(GetMainWindow()));
    EXPECT_EQ(IsMidiPlaying(h), 1);
    // Deleting a playing handle stops it first.
    ASSERT_EQ(DeleteMidi(h), 0);
    EXPECT_EQ(mci::LastCommandForTest().message, static_cast<UINT>(MCI_CLOSE));
}

TEST_F(MidiTest, APlayMciRefusesEndsTheLoop) {
    // As on this machine: no MCI device is open, so playing again fails.
    const int32_t h = AddMidiDataForTest(data_, 4);
    ASSERT_EQ(StartMidiForTest(h, 5, 1, nullptr), 0);
    ASSERT_EQ(HandleMidiNotify(MCI_NOTIFY_SUCCESSFUL, 5), 0);
    EXPECT_EQ(mci::CommandCountForTest(), 2) << "the play, then the close";
    EXPECT_EQ(mci::LastCommandForTest().message, static_cast<UINT>(MCI_CLOSE));
    EXPECT_EQ(IsMidiPlaying(h), 0) << "a refused play is not playing";
    ASSERT_EQ(HandleMidiNotify(MCI_NOTIFY_SUCCESSFUL, 5), 0);
    EXPECT_EQ(mci::CommandCountForTest(), 2) << "and nothing loops any more";
    ASSERT_EQ(DeleteMidi(h), 0);

    // What the device-less MCI answers.
    MCI_OPEN_PARMSA open{};
    open.lpstrDeviceType = "sequencer";
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, 0, reinterpret_cast<DWORD_PTR>(&open)),
              static_cast<MCIERROR>(MCIERR_DEVICE_NOT_INSTALLED));
    EXPECT_EQ(mciSendCommandA(1, MCI_CLOSE, 0, 0), static_cast<MCIERROR>(MCIERR_INVALID_DEVICE_ID));
    EXPECT_EQ(mciSendCommandA(MCI_ALL_DEVICE_ID, MCI_CLOSE, 0, 0), 0u);
    EXPECT_EQ(mciSendCommandA(1, 0x0814, 0, 0), static_cast<MCIERROR>(MCIERR_UNRECOGNIZED_COMMAND));
}

TEST_F(MidiTest, TheEndOfSoundReleasesTheTemporaryHandleAndFile) {
    TouchFile("temp.mid");
    const int32_t midi = AddMidiDataForTest(data_, 4);
    mci::OpenDeviceForTest(2);
    ASSERT_EQ(StartMidiForTest(midi, 2, 0, "temp.mid"), 0);
    SetTemporaryPlayHandleForTest(midi, 0);
    ASSERT_EQ(ReleaseTemporaryPlayHandle(), 0);
    EXPECT_EQ(GetMidiCountForTest(), 0);
    EXPECT_FALSE(FileExists("temp.mid"));
    EXPECT_EQ(ReleaseTemporaryPlayHandle(), 0) << "cleared";

    // A sound handle as the temporary one.
    const int32_t sound = Load(Wave16(Pattern(100, 0)));
    SetTemporaryPlayHandleForTest(sound, 1);
    ASSERT_EQ(ReleaseTemporaryPlayHandle(), 0);
    EXPECT_EQ(IsSoundPlaying(sound), -1);

    // Shutdown deletes what is left, and the temporary file: also when a
    // stop cleared its flag but could not delete it.
    for (const bool stopped : {false, true}) {
        TouchFile("left.mid");
        const int32_t left = AddMidiDataForTest(data_, 4);
        mci::OpenDeviceForTest(4);
        ASSERT_EQ(StartMidiForTest(left, 4, 0, "left.mid"), 0);
        if (stopped) {
            seams::FailCall("DeleteFileA", 1);
            ASSERT_EQ(StopMidi(left), 0);
            ASSERT_TRUE(FileExists("left.mid"));
        }
        AddSoftSoundDataForTest(data_, 4);
        ASSERT_EQ(TerminateSound(), 0);
        EXPECT_EQ(GetMidiCountForTest(), 0);
        EXPECT_EQ(GetSoftSoundCountForTest(), 0);
        EXPECT_FALSE(FileExists("left.mid")) << (stopped ? "stopped" : "playing");
        ASSERT_EQ(InitializeSound(), 0);
    }
}

// ---- software sound players ----------------------------------------------------------

class SoftPlayerTest : public MidiTest {
protected:
    static WAVEFORMATEX Format(WORD bits) {
        WAVEFORMATEX f{};
        f.wFormatTag = WAVE_FORMAT_PCM;
        f.nChannels = 1;
        f.nSamplesPerSec = 44100;
        f.wBitsPerSample = bits;
        f.nBlockAlign = static_cast<WORD>(bits / 8);
        f.nAvgBytesPerSec = 44100u * f.nBlockAlign;
        return f;
    }

    // A player of a 4,410-sample buffer kept 1,764 samples (40 ms) ahead.
    int32_t MakePlayer(WORD bits = 16) {
        const WAVEFORMATEX f = Format(bits);
        return AddSoftSoundPlayerForTest(&f, 65536, 4410 * f.nBlockAlign, 1764 * f.nBlockAlign);
    }

    // Renders in 10 ms steps, refilling after each.
    std::vector<int16_t> Play(int steps) {
        std::vector<int16_t> out;
        for (int i = 0; i < steps; ++i) {
            const std::vector<int16_t> part = RenderLeft(441);
            out.insert(out.end(), part.begin(), part.end());
            EXPECT_EQ(ProcessSoftSoundPlayers(), 0);
        }
        return out;
    }
};

TEST_F(SoftPlayerTest, ThePlayerPlaysItsRingThenSilenceAndTellsTheEnd) {
    const int32_t h = MakePlayer();
    ASSERT_NE(h, -1);
    const std::vector<int16_t> data = Pattern(6000, 0);
    ASSERT_EQ(PushSoftSoundPlayerDataForTest(h, data.data(), 6000 * 2), 0);
    ASSERT_EQ(StartSoftSoundPlayerForTest(h), 0);
    // More data than the buffer holds at once, refilled as the cursor moves.
    const std::vector<int16_t> first = Play(10);
    EXPECT_EQ(first, std::vector<int16_t>(data.begin(), data.begin() + 4410));
    EXPECT_EQ(IsSoftSoundPlayerEndReachedForTest(h), 0);
    const std::vector<int16_t> rest = Play(10);
    EXPECT_EQ(std::vector<int16_t>(rest.begin(), rest.begin() + 1590), std::vector<int16_t>(data.begin() + 4410, data.end()));
    for (size_t i = 1590; i < rest.size(); ++i) ASSERT_EQ(rest[i], 0) << "silence after the data, at " << i;
    EXPECT_EQ(IsSoftSoundPlayerEndReachedForTest(h), 1);

    // New data after the end plays (after the silence already queued), the
    // end is taken back, and told again once the new data has played.
    const std::vector<int16_t> more = Pattern(500, 9000);
    ASSERT_EQ(PushSoftSoundPlayerDataForTest(h, more.data(), 1000), 0);
    std::vector<int16_t> after = Play(3);
    EXPECT_EQ(IsSoftSoundPlayerEndReachedForTest(h), 0);
    const std::vector<int16_t> later = Play(30);
    after.insert(after.end(), later.begin(), later.end());
    const auto start = std::find(after.begin(), after.end(), more[0]);
    ASSERT_NE(start, after.end());
    EXPECT_TRUE(std::equal(more.begin(), more.end(), start));
    EXPECT_EQ(IsSoftSoundPlayerEndReachedForTest(h), 1);
    EXPECT_EQ(DeleteSoftSound(h, kSoftSoundPlayer), 0);
}

TEST_F(SoftPlayerTest, EightBitSilenceIsWrittenAs127) {
    const int32_t h = MakePlayer(8);
    ASSERT_NE(h, -1);
    ASSERT_EQ(StartSoftSoundPlayerForTest(h), 0);
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstBytes = 0, secondBytes = 0;
    IDirectSoundBuffer* buffer = GetSoftSoundPlayerBufferForTest(h);
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(buffer->Lock(0, 1764, &first, &firstBytes, &second, &secondBytes, 0), DS_OK);
    for (DWORD i = 0; i < firstBytes; ++i) ASSERT_EQ(static_cast<uint8_t*>(first)[i], 127) << i;
    buffer->Unlock(first, firstBytes, second, secondBytes);
}

TEST_F(SoftPlayerTest, InactivePlayersAreLeftAloneAndShutdownDeletesThem) {
    const int32_t idle = MakePlayer();
    const int32_t data = AddSoftSoundDataForTest(data_, 4);
    ASSERT_NE(idle, -1);
    ASSERT_NE(data, -1);
    const std::vector<int16_t> samples = Pattern(100, 0);
    ASSERT_EQ(PushSoftSoundPlayerDataForTest(idle, samples.data(), 200), 0);
    EXPECT_EQ(ProcessSoftSoundPlayers(), 0);
    EXPECT_EQ(IsSoftSoundPlayerEndReachedForTest(idle), 0);
    // A ring takes no more than it holds.
    std::vector<uint8_t> big(70000);
    EXPECT_EQ(PushSoftSoundPlayerDataForTest(idle, big.data(), 70000), -1);
    EXPECT_EQ(PushSoftSoundPlayerDataForTest(data, big.data(), 10), -1) << "sound data is no player";
    // A player that keeps its whole buffer ahead cannot be made.
    const WAVEFORMATEX f = Format(16);
    EXPECT_EQ(AddSoftSoundPlayerForTest(&f, 1000, 800, 800), -1);
    EXPECT_EQ(DeleteAllSoftSoundPlayers(), 0);
    EXPECT_EQ(GetSoftSoundCountForTest(), 1) << "sound data stays";
    EXPECT_EQ(DeleteAllSoftSounds(), 0);
    EXPECT_EQ(GetSoftSoundCountForTest(), 0);
}

TEST_F(SoftPlayerTest, TheSoundThreadRefillsPlayersToo) {
    // With a thread each pass refills the players; here one pass is run as it does.
    const int32_t h = MakePlayer();
    const std::vector<int16_t> data = Pattern(3000, 0);
    ASSERT_EQ(PushSoftSoundPlayerDataForTest(h, data.data(), 6000), 0);
    ASSERT_EQ(StartSoftSoundPlayerForTest(h), 0);
    RenderLeft(1000);
    EXPECT_EQ(RefillSoftSoundPlayers(), 0);
    const std::vector<int16_t> next = RenderLeft(1500);
    EXPECT_EQ(next, std::vector<int16_t>(data.begin() + 1000, data.begin() + 2500));
}

}  // namespace
