// WAVE files and the converter over them: the chunk walk, block-wise reads
// and seeks, whole conversion, WAVE images, and malformed files.
#include "platform/kernel32/kernel32.h"
#include "sound/sound_converter.h"
#include "sound_test_util.h"

#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <utility>

using namespace soundtest;

namespace {

Bytes ReadAll(SoundConverter* c, int step) {
    Bytes out;
    std::vector<uint8_t> piece(static_cast<size_t>(step));
    for (;;) {
        const int32_t got = ReadConverter(c, piece.data(), step);
        if (got <= 0) break;
        out.insert(out.end(), piece.begin(), piece.begin() + got);
    }
    return out;
}

using WaveTest = SoundTest;

TEST_F(WaveTest, APlainFileGivesItsFormatAndData) {
    const Bytes pcm = Samples16(Pattern(50, 0));
    Opened w(Riff({{"fmt ", FmtBody(1, 2, 22050, 16, 18)}, {"data", pcm}}));
    ASSERT_EQ(w.result, 0);
    WAVEFORMATEX f{};
    GetConverterFormat(&w.converter, &f);
    EXPECT_EQ(f.wFormatTag, 1);
    EXPECT_EQ(f.nChannels, 2);
    EXPECT_EQ(f.nSamplesPerSec, 22050u);
    EXPECT_EQ(f.nBlockAlign, 4);
    EXPECT_EQ(f.wBitsPerSample, 16);
    EXPECT_EQ(w.converter.formatSize, 18u);
    EXPECT_EQ(w.converter.dataOffset, 12u + 8 + 18 + 8);
    EXPECT_EQ(GetConvertedSize(&w.converter), 100);
    EXPECT_EQ(ReadAll(&w.converter, 7), pcm);
}

TEST_F(WaveTest, ChunksAroundTheFormatAreWalked) {
    const Bytes pcm = Samples16(Pattern(8, 0));
    const Bytes odd = {1, 2, 3};
    struct Case {
        const char* what;
        Bytes image;
        bool opens;
    };
    const Case cases[] = {
        {"odd LIST between fmt and data, padded", Riff({{"fmt ", FmtBody(1, 1, 8000, 16)}, {"LIST", odd}, {"data", pcm}}),
         true},
        {"odd bext before fmt without its pad byte",
         Riff({{"bext", odd, false}, {"fmt ", FmtBody(1, 1, 8000, 16)}, {"data", pcm}}), true},
        {"odd bext before fmt with its pad byte", Riff({{"bext", odd}, {"fmt ", FmtBody(1, 1, 8000, 16)}, {"data", pcm}}),
         true},
        {"bext after fmt", Riff({{"fmt ", FmtBody(1, 1, 8000, 16)}, {"bext", odd}, {"data", pcm}}), true},
        {"two bext before fmt", Riff({{"bext", odd}, {"bext", odd}, {"fmt ", FmtBody(1, 1, 8000, 16)}, {"data", pcm}}),
         false},
        {"LIST before fmt", Riff({{"LIST", odd}, {"fmt ", FmtBody(1, 1, 8000, 16)}, {"data", pcm}}), false},
        {"no data chunk", Riff({{"fmt ", FmtBody(1, 1, 8000, 16)}, {"LIST", odd}}), false},
        {"not RIFF", [&] { Bytes b = Riff({{"fmt ", FmtBody(1, 1, 8000, 16)}, {"data", pcm}}); b[0] = 'X'; return b; }(),
         false},
        {"not WAVE", Riff({{"fmt ", FmtBody(1, 1, 8000, 16)}, {"data", pcm}}, "AVI "), false},
        {"not PCM", Riff({{"fmt ", FmtBody(2, 1, 8000, 4)}, {"data", pcm}}), false},
    };
    for (const Case& c : cases) {
        Opened w(c.image);
        EXPECT_EQ(w.result == 0, c.opens) << c.what;
        if (c.opens && w.result == 0) {
            EXPECT_EQ(ReadAll(&w.converter, 64), pcm) << c.what;
        }
    }
}

TEST_F(WaveTest, ASixteenByteFormatGetsItsBitsFromTheBlockSize) {
    Opened w(Riff({{"fmt ", FmtBody(1, 2, 8000, 12, 16, 4)}, {"data", Bytes(8)}}));
    ASSERT_EQ(w.result, 0);
    EXPECT_EQ(w.converter.outputFormat.wBitsPerSample, 16) << "4 bytes per block over 2 channels";
    EXPECT_EQ(w.converter.outputFormat.cbSize, 0);
}

TEST_F(WaveTest, ADataHeaderAtTheVeryEndIsTakenAtItsWord) {
    Bytes image = Riff({{"fmt ", FmtBody(1, 1, 8000, 16)}});
    const Bytes header = {'d', 'a', 't', 'a', 0xE8, 0x03, 0, 0};  // 1000 bytes that are not there
    image.insert(image.end(), header.begin(), header.end());
    SoundConverter walk{};
    walk.stream.functions = *GetMemoryStreamFunctions();
    walk.stream.handle = OpenMemStream(image.data(), image.size());
    uint8_t* body = nullptr;
    ASSERT_EQ(WalkRiffToFormat(&walk, &body), 0);
    FreeMemory(body);
    EXPECT_EQ(WalkRiffToData(&walk), 0);
    EXPECT_EQ(walk.dataSize, 1000u);
    CloseMemStream(walk.stream.handle);
    // Not one sample frame of it is there: the converter refuses the file.
    Opened w(image);
    EXPECT_EQ(w.result, -1);
    EXPECT_NE(NewLog().find("音声データがファイルの途中で切れていて、読み込める標本がありません\r\n"),
              std::string::npos);
}

TEST_F(WaveTest, ReadsComeInBlocksOfOneSecondAndSeeksMoveInSamples) {
    // 1.5 seconds at 8000 Hz, 16-bit mono: blocks of 16000 bytes.
    std::vector<int16_t> samples(12000);
    for (int i = 0; i < 12000; ++i) samples[i] = static_cast<int16_t>(i);
    const Bytes pcm = Samples16(samples);
    Opened w(Wave16(samples, 1, 8000));
    ASSERT_EQ(w.result, 0);
    EXPECT_EQ(w.converter.blockCapacity, 16000u);
    EXPECT_EQ(ReadAll(&w.converter, 999), pcm) << "reads across block ends";

    int16_t s[2];
    ASSERT_EQ(SeekConverter(&w.converter, 9000), 0);
    ASSERT_EQ(ReadConverter(&w.converter, reinterpret_cast<uint8_t*>(s), 4), 4);
    EXPECT_EQ(s[0], 9000);
    EXPECT_EQ(s[1], 9001);
    EXPECT_EQ(w.converter.outputPosition, 9002u * 2);

    // Asking for more than is left gives the rest and ends the converter.
    std::vector<uint8_t> big(10000);
    ASSERT_EQ(SeekConverter(&w.converter, 11000), 0);
    EXPECT_EQ(ReadConverter(&w.converter, big.data(), 10000), 2000);
    EXPECT_EQ(ReadConverter(&w.converter, big.data(), 10), 0);
    // A seek of less than 16 bytes does nothing, not even clearing the end.
    ASSERT_EQ(SeekConverter(&w.converter, 11995), 0);
    EXPECT_EQ(ReadConverter(&w.converter, big.data(), 10), 0);
    ASSERT_EQ(SeekConverter(&w.converter, 11992), 0);
    EXPECT_EQ(ReadConverter(&w.converter, big.data(), 100), 16) << "16 bytes away: the seek moves";
    EXPECT_EQ(ReadConverter(&w.converter, big.data(), 0), 0);
}

TEST_F(WaveTest, ConvertAllHandsOutThePcmOnce) {
    const Bytes pcm = Samples16(Pattern(300, 100));
    Opened w(Wave16(Pattern(300, 100)));
    ASSERT_EQ(w.result, 0);
    uint8_t sink[10];
    ReadConverter(&w.converter, sink, 10);
    WAVEFORMATEX f{};
    uint8_t* block = nullptr;
    int32_t size = 0;
    ASSERT_EQ(ConvertAll(&w.converter, &f, &block, &size), 0);
    ASSERT_EQ(size, 600);
    EXPECT_EQ(Bytes(block, block + size), pcm) << "from the start, whatever was read before";
    EXPECT_EQ(f.nSamplesPerSec, 44100u);
    FreeMemory(block);
    EXPECT_EQ(CloseConverter(&w.converter), 0);
    EXPECT_EQ(CloseConverter(&w.converter), -1) << "closing twice";
    EXPECT_EQ(ReadConverter(&w.converter, sink, 10), -1) << "reading a closed converter";
}

TEST_F(WaveTest, TheMaskSwitchesBackEndsOff) {
    const Bytes image = Wave16(Pattern(10, 0));
    SetSoundConvertMask(kConvertMaskWavePcm | kConvertMaskWaveAcm | kConvertMaskOgg | kConvertMaskMp3Acm |
                        kConvertMaskMp3DirectShow);
    EXPECT_EQ(GetSoundConvertMask(), 31);
    EXPECT_EQ(Opened(image).result, -1);
    // Without the plain back end a PCM file goes through the ACM.
    SetSoundConvertMask(kConvertMaskWavePcm);
    EXPECT_EQ(Opened(image).result, 0);
    EXPECT_EQ(Opened(image).converter.kind, kConverterAcm);
    SetSoundConvertMask(kConvertMaskWavePcm | kConvertMaskWaveAcm);
    EXPECT_EQ(Opened(image).result, -1);
    SetSoundConvertMask(kConvertMaskOgg);
    EXPECT_EQ(Opened(image).result, 0);
}

TEST_F(WaveTest, WaveImagesAreBuiltByteForByte) {
    WAVEFORMATEX f{1, 1, 8000, 16000, 2, 16, 0};
    const Bytes data = {1, 2, 3, 4, 5};
    uint8_t* image = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(BuildWaveImage(&image, &size, &f, 18, data.data(), 5), 0);
    ASSERT_EQ(size, 5u + 46);
    const Bytes got(image, image + size);
    FreeMemory(image);
    EXPECT_EQ(std::string(got.begin(), got.begin() + 4), "RIFF");
    EXPECT_EQ(got[4] | got[5] << 8, 5 + 38);
    EXPECT_EQ(std::string(got.begin() + 8, got.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(got[16], 18);
    EXPECT_EQ(std::memcmp(got.data() + 20, &f, 18), 0);
    EXPECT_EQ(std::string(got.begin() + 38, got.begin() + 42), "data");
    EXPECT_EQ(got[42], 5);
    EXPECT_EQ(Bytes(got.begin() + 46, got.end()), data);
    // An 18-byte format with an odd data size reads back without a pad byte;
    // of its 5 bytes of 16-bit samples the 2 whole frames count.
    Opened w(got);
    ASSERT_EQ(w.result, 0);
    EXPECT_EQ(w.converter.dataOffset, 46u);
    EXPECT_EQ(GetConvertedSize(&w.converter), 4);
}

// ---- malformed files: -1 and a log line, never a crash, a hang or noise ----

// A captured run: what the output played goes behind the header's room, and
// the end of sound writes the header over that room and closes the file.
TEST_F(WaveTest, TheEndOfSoundFinishesACaptureFile) {
    const HANDLE file = CreateFileA("capture.wav", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_EQ(StartSoundCaptureForTest(file), 0);
    const int32_t h = Load(Wave16(Pattern(300, 0), 1, 44100));
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    constexpr uint32_t kFrames = 200;
    std::vector<int16_t> played(kFrames * 2);
    ASSERT_EQ(sdl::RenderAudioOutput(played.data(), kFrames), 0);
    ASSERT_EQ(AddSoundCaptureFramesForTest(played.data(), kFrames / 2), 0);
    ASSERT_EQ(AddSoundCaptureFramesForTest(played.data() + kFrames, kFrames / 2), 0) << "frames are counted";
    ASSERT_EQ(TerminateSound(), 0);
    EXPECT_FALSE(CloseHandle(file)) << "the file was closed";
    ASSERT_EQ(InitializeSound(), 0);

    std::ifstream in("capture.wav", std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 46u + 4 * kFrames);
    struct Field {
        const char* what;
        size_t offset, size;
        uint32_t value;
    } const fields[] = {
        {"RIFF size", 4, 4, 4 * kFrames + 38}, {"fmt size", 16, 4, 18},       {"format tag", 20, 2, 1},
        {"channels", 22, 2, 2},                {"rate", 24, 4, 44100},        {"bytes per second", 28, 4, 176400},
        {"block align", 32, 2, 4},             {"bits", 34, 2, 16},           {"extra size", 36, 2, 0},
        {"data size", 42, 4, 4 * kFrames},
    };
    for (const Field& f : fields) {
        uint32_t value = 0;
        for (size_t i = 0; i < f.size; ++i) value |= uint32_t{bytes[f.offset + i]} << (8 * i);
        EXPECT_EQ(value, f.value) << f.what;
    }
    for (auto [offset, tag] : {std::pair<size_t, const char*>{0, "RIFF"}, {8, "WAVE"}, {12, "fmt "}, {38, "data"}})
        EXPECT_EQ(std::string(bytes.begin() + offset, bytes.begin() + offset + 4), tag) << offset;
    std::vector<int16_t> captured(kFrames * 2);
    std::memcpy(captured.data(), bytes.data() + 46, 4 * kFrames);
    EXPECT_EQ(captured, played);
    EXPECT_EQ(captured[2 * 5], Pattern(300, 0)[5]) << "the sound played";
}

Bytes WithSize(Bytes image, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) image[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    return image;
}

TEST_F(WaveTest, MalformedFilesAreRefused) {
    const Bytes good = Wave16(Pattern(40, 0));  // fmt body at 20, data header at 36
    struct Case {
        const char* what;
        Bytes image;
    };
    const Case cases[] = {
        {"zero rate", Riff({{"fmt ", FmtBody(1, 1, 0, 16)}, {"data", Bytes(8)}})},
        {"zero channels", Riff({{"fmt ", FmtBody(1, 0, 8000, 16, 16, 2, 16000)}, {"data", Bytes(8)}})},
        {"zero block size", Riff({{"fmt ", FmtBody(1, 1, 8000, 16, 16, 0, 16000)}, {"data", Bytes(8)}})},
        {"zero bytes per second", Riff({{"fmt ", FmtBody(1, 1, 8000, 16, 18, 2, 0)}, {"data", Bytes(8)}})},
        {"fmt of 14 bytes", Riff({{"fmt ", FmtBody(1, 1, 8000, 16, 14)}, {"data", Bytes(8)}})},
        {"fmt of 0 bytes", Riff({{"fmt ", {}}, {"data", Bytes(8)}})},
        {"fmt larger than the file", WithSize(good, 16, 0x7FFFFFF0)},
        {"data larger than the file without one whole frame",
         Riff({{"fmt ", FmtBody(1, 1, 8000, 16)}, {"data", Bytes(1, 7), false, 0xFFFFFFF0u}})},
        {"2 bytes of 16-bit stereo held of 88,200",
         Riff({{"fmt ", FmtBody(1, 2, 22050, 16)}, {"data", {1, 2}, false, 88200}})},
        {"1 byte of 8-bit stereo held of 100", Riff({{"fmt ", FmtBody(1, 2, 8000, 8)}, {"data", {0x90}, false, 100}})},
        {"a complete chunk of 1 byte of 16-bit samples", Riff({{"fmt ", FmtBody(1, 1, 8000, 16)}, {"data", {7}}})},
        {"an empty data chunk", Riff({{"fmt ", FmtBody(1, 1, 8000, 16)}, {"data", {}}})},
        {"chunk size that would seek backwards",
         Riff({{"fmt ", FmtBody(1, 1, 8000, 16)}, {"LIST", Bytes(8), true, 0xFFFFFFF8u}, {"data", Bytes(8)}})},
        {"chunk size past the end", Riff({{"fmt ", FmtBody(1, 1, 8000, 16)}, {"LIST", Bytes(8), true, 0x10000}})},
        {"bext size past the end", Riff({{"bext", Bytes(4), true, 0xFFFFFFFFu}, {"fmt ", FmtBody(1, 1, 8000, 16)}})},
        {"24-bit samples", Riff({{"fmt ", FmtBody(1, 1, 8000, 24)}, {"data", Bytes(9)}})},
        {"three channels", Riff({{"fmt ", FmtBody(1, 3, 8000, 16)}, {"data", Bytes(12)}})},
        {"rate too high to play", Riff({{"fmt ", FmtBody(1, 1, 400000, 16)}, {"data", Bytes(8)}})},
        {"empty file", {}},
    };
    // As a memory sound (load type 0) and as a stream sound (2).
    size_t logBefore = 0;
    for (const int32_t loadType : {0, 2}) {
        SetSoundLoadType(loadType);
        for (const Case& c : cases) {
            const int32_t h = Load(c.image, 3);
            EXPECT_EQ(h, -1) << c.what << ", load type " << loadType;
            if (h != -1) DeleteSound(h, 0);
        }
        const std::string log = NewLog().substr(logBefore);
        logBefore += log.size();
        EXPECT_NE(log.find("再生できない形式の音声データです"), std::string::npos) << loadType;
        // Without one whole sample frame: refused with a line that says so,
        // on both roads, not as if memory had run out.
        EXPECT_NE(log.find("音声データがファイルの途中で切れていて、読み込める標本がありません\r\n"), std::string::npos)
            << loadType;
        EXPECT_NE(log.find("音声データに再生できる標本がありません\r\n"), std::string::npos) << loadType;
        EXPECT_EQ(log.find("音声ファイルを格納するメモリ領域の確保に失敗しました"), std::string::npos) << loadType;
        if (loadType == 0) {
            EXPECT_NE(log.find("音声ファイルのＰＣＭへの変換に失敗しました\r\n"), std::string::npos);
        }
    }
    // The memory road's line when the PCM block cannot be had ends its line too.
    SetSoundLoadType(0);
    for (int skip = 0;
         skip < 12 && NewLog().find("音声ファイルを格納するメモリ領域の確保に失敗しました") == std::string::npos;
         ++skip) {
        seams::FailCallAfter("AllocMemory", skip, 1);
        const int32_t h = Load(good);
        if (h != -1) DeleteSound(h, 0);
        seams::ClearCall("AllocMemory");
    }
    EXPECT_NE(NewLog().find("音声ファイルを格納するメモリ領域の確保に失敗しました\r\n"), std::string::npos);
}

// A file cut before its first sample frame is refused; one cut later loads the
// whole frames it holds, and says so in the log.
TEST_F(WaveTest, ACutOffFileLoadsTheWholeFramesItHolds) {
    const std::vector<int16_t> samples = Pattern(20, 0);
    const Bytes good = Riff({{"bext", {1, 2, 3}}, {"fmt ", FmtBody(1, 2, 8000, 16, 18)}, {"LIST", {9}},
                             {"data", Samples16(samples)}});
    const size_t dataStart = good.size() - 2 * samples.size();
    // As a stream sound: its length is the whole frames held too.
    SetSoundLoadType(2);
    for (size_t length = 0; length < good.size(); ++length) {
        const size_t frames = length < dataStart ? 0 : (length - dataStart) / 4;  // stereo frames
        const int32_t h = Load(Bytes(good.begin(), good.begin() + length));
        EXPECT_EQ(h == -1 ? -1 : GetSoundTotalSample(h), frames == 0 ? -1 : static_cast<int32_t>(frames))
            << "stream cut at " << length;
        if (h != -1) DeleteSound(h, 0);
    }
    SetSoundLoadType(0);
    for (size_t length = 0; length < good.size(); ++length) {
        const Bytes cut(good.begin(), good.begin() + length);
        const size_t frames = length < dataStart ? 0 : (length - dataStart) / 4;  // stereo frames
        const int32_t h = Load(cut);
        if (frames == 0) {
            EXPECT_EQ(h, -1) << "cut at " << length;
            if (h != -1) DeleteSound(h, 0);
            continue;
        }
        ASSERT_NE(h, -1) << "cut at " << length;
        EXPECT_EQ(GetSoundTotalSample(h), static_cast<int32_t>(frames)) << "cut at " << length;
        int16_t* held = nullptr;
        DWORD heldBytes = 0;
        IDirectSoundBuffer* buffer = GetSoundBufferForTest(h, 0);
        ASSERT_EQ(buffer->Lock(0, 0, reinterpret_cast<void**>(&held), &heldBytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER),
                  DS_OK);
        EXPECT_EQ(std::vector<int16_t>(held, held + heldBytes / 2),
                  std::vector<int16_t>(samples.begin(), samples.begin() + static_cast<long>(2 * frames)))
            << "cut at " << length;
        buffer->Unlock(held, heldBytes, nullptr, 0);
        EXPECT_EQ(DeleteSound(h, 0), 0);
    }
    // One line, not followed by an empty one.
    const std::string line = "音声データがファイルの途中で切れています：40 バイトのうち 36 バイトを読み込みます\r\n";
    const std::string log = NewLog();
    const size_t at = log.find(line);
    ASSERT_NE(at, std::string::npos);
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(log[at + line.size()])));
}

TEST_F(WaveTest, GarbageIsRefused) {
    std::mt19937 random(12345);
    for (int i = 0; i < 200; ++i) {
        Bytes junk(static_cast<size_t>(random() % 200));
        for (uint8_t& b : junk) b = static_cast<uint8_t>(random());
        // Half of them start like a WAVE file, to get deeper into the walk.
        if (i % 2 == 0 && junk.size() >= 16) std::memcpy(junk.data(), "RIFF\0\0\0\0WAVEfmt ", 16);
        const int32_t h = Load(junk);
        EXPECT_EQ(h, -1) << "sample " << i;
        if (h != -1) DeleteSound(h, 0);
    }
}

}  // namespace
