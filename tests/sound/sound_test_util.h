// Shared set-up for the sound tests: WAVE images built in memory, a converter
// over such an image, sound started on the manual audio output (no device, no
// sound thread), output rendered by hand, and the log read back.
#pragma once

#include "../msacm/le_bytes.h"
#include "../temp_folder.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/services.h"
#include "platform/dsound/dsound.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/seams/seams.h"
#include "sound/sound.h"
#include "sound/sound_converter.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace soundtest {

using codectest::Bytes;
using codectest::Put16;
using codectest::Put32;

struct Chunk {
    std::string id;
    Bytes body;
    bool pad = true;                // write a pad byte after an odd body
    uint32_t sizeOverride = 0;      // when non-zero, the size written in the header
};

// A RIFF file of the chunks.
inline Bytes Riff(const std::vector<Chunk>& chunks, const char* form = "WAVE") {
    Bytes out = {'R', 'I', 'F', 'F', 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(form[i]));
    for (const Chunk& c : chunks) {
        out.insert(out.end(), c.id.begin(), c.id.end());
        Put32(out, c.sizeOverride != 0 ? c.sizeOverride : static_cast<uint32_t>(c.body.size()));
        out.insert(out.end(), c.body.begin(), c.body.end());
        if (c.pad && (c.body.size() & 1)) out.push_back(0);
    }
    const uint32_t riffSize = static_cast<uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(riffSize >> (8 * i));
    return out;
}

// A "fmt " body: the usual fields (block align and bytes per second computed
// unless given), cut or zero-padded to size bytes.
inline Bytes FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, size_t size = 16,
                     int blockAlign = -1, int64_t avg = -1) {
    const uint16_t align = blockAlign >= 0 ? static_cast<uint16_t>(blockAlign) : static_cast<uint16_t>(channels * bits / 8);
    Bytes b;
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, avg >= 0 ? static_cast<uint32_t>(avg) : rate * align);
    Put16(b, align);
    Put16(b, bits);
    Put16(b, 0);
    b.resize(size, 0);
    return b;
}

inline Bytes Samples16(const std::vector<int16_t>& samples) {
    Bytes b;
    for (int16_t s : samples) Put16(b, static_cast<uint16_t>(s));
    return b;
}

inline Bytes Wave16(const std::vector<int16_t>& samples, uint16_t channels = 1, uint32_t rate = 44100) {
    return Riff({{"fmt ", FmtBody(1, channels, rate, 16)}, {"data", Samples16(samples)}});
}

inline Bytes Wave8(const Bytes& samples, uint16_t channels = 1, uint32_t rate = 44100) {
    return Riff({{"fmt ", FmtBody(1, channels, rate, 8)}, {"data", samples}});
}

// A converter over a memory image; closes both at the end of the scope.
class Opened {
public:
    explicit Opened(Bytes image) : image_(std::move(image)) {
        stream_.functions = *GetMemoryStreamFunctions();
        stream_.handle = OpenMemStream(image_.data(), image_.size());
        result = OpenSoundConverter(&stream_, &converter);
    }
    ~Opened() {
        CloseConverter(&converter);
        CloseMemStream(stream_.handle);
    }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;

    int32_t result;
    SoundConverter converter{};

private:
    Bytes image_;  // the stream reads it: it lives as long as the converter
    DataStream stream_{};
};

// count samples of a pattern that never repeats within 7000 and is never 0.
inline std::vector<int16_t> Pattern(int count, int base) {
    std::vector<int16_t> v(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) v[i] = static_cast<int16_t>(base + i % 7000 + 1);
    return v;
}

// A file of tests/sound/files (damaged files kept as they were found).
inline Bytes ReadTestFile(const char* name) {
    std::ifstream in(std::string(TEST_SOURCE_DIR) + "/tests/sound/files/" + name, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Everything the log file holds (the tests run in a directory of their own).
inline std::string LogText() {
    std::ifstream in("Log.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Renders frames of the output and returns the left channel.
inline std::vector<int16_t> RenderLeft(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    EXPECT_EQ(sdl::RenderAudioOutput(out.data(), frames), 0);
    std::vector<int16_t> left(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) left[i] = out[2 * i];
    return left;
}

// A folder of the suite's own in the temporary directory, current while the
// suite runs, with the log in it; removed with everything in it at the end.
class SuiteFolder {
public:
    static void Enter(const char* prefix) {
        const std::string folder = test_temp::MakeFolder(prefix);
        ASSERT_FALSE(folder.empty());
        ASSERT_NE(getcwd(previous_, sizeof previous_), nullptr);
        ASSERT_EQ(chdir(folder.c_str()), 0);
        path_ = folder;
        owner_ = getpid();
        SetLogOutputOff(0);
        OpenLogFile();
    }
    // Also for a death test's child that ends with _exit; a forked child
    // leaves its parent's folder alone.
    static void Leave() {
        if (path_.empty() || getpid() != owner_) return;
        CloseLogFile();
        EXPECT_EQ(chdir(previous_), 0);
        std::filesystem::remove_all(path_);
        path_.clear();
    }

private:
    static inline char previous_[4096] = {};
    static inline std::string path_;
    static inline pid_t owner_ = 0;
};

// Sound started on the manual output without the sound thread; every test
// leaves no sound record, buffer or memory block behind.
class SoundTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SuiteFolder::Enter("velumi-sound"); }
    static void TearDownTestSuite() { SuiteFolder::Leave(); }

    void SetUp() override {
        seams::ClearAllCalls();
        ASSERT_EQ(sdl::SetManualAudioOutput(true), 0);
        SetSoundThreadModeForTest(threadMode_);
        blocksBefore_ = AllocatedBlockCount();
        buffersBefore_ = dsound::LiveBufferCountForTest();
        ASSERT_EQ(InitializeSound(), 0);
        logStart_ = LogText().size();
    }

    void TearDown() override {
        seams::ClearAllCalls();
        SetSoundLoadType(0);
        SetSoundConvertMask(0);
        SetSoftwareSoundBuffersForTest(0);
        EXPECT_EQ(TerminateSound(), 0);
        SetSoundThreadModeForTest(-1);
        sdl::SetManualAudioOutput(false);
        EXPECT_EQ(dsound::LiveBufferCountForTest(), buffersBefore_) << "buffers left behind";
        EXPECT_EQ(AllocatedBlockCount(), blocksBefore_) << "memory blocks left behind";
    }

    // The log written since the test began.
    std::string NewLog() const { return LogText().substr(logStart_); }

    int32_t Load(const Bytes& image, int32_t buffers = 1) {
        return CreateSoundFromImage(image.data(), static_cast<uint32_t>(image.size()), buffers, -1);
    }

    int32_t threadMode_ = 0;

private:
    uint32_t blocksBefore_ = 0;
    int buffersBefore_ = 0;
    size_t logStart_ = 0;
};

}  // namespace soundtest
