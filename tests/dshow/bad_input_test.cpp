// Files no graph can play are refused by RenderFile with the documented
// result, leave nothing in the graph and no thread behind; damaged ones that
// open play to an end.
#include "graph_fixture.h"
#include "media_maker.h"

#include <cstring>

namespace dshowtest {
namespace {

std::vector<uint8_t> Noise(size_t size, uint32_t seed) {
    std::vector<uint8_t> out(size);
    for (auto& b : out) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    return out;
}

// Every 32-bit little-endian `from` in the bytes becomes `to`.
void Replace32(std::vector<uint8_t>& bytes, uint32_t from, uint32_t to) {
    for (size_t i = 0; i + 4 <= bytes.size(); ++i)
        if (std::memcmp(&bytes[i], &from, 4) == 0) std::memcpy(&bytes[i], &to, 4);
}

std::vector<uint8_t> SmallAvi() {
    const std::string path = TempPath("small.avi");
    EXPECT_EQ(WriteMovie({"avi", "mjpeg", nullptr, 40, 24, 6, 10}, path), "");
    std::vector<uint8_t> bytes = ReadFile(path);
    std::remove(path.c_str());
    return bytes;
}

// Every JPEG frame header's height and width in the bytes set to these.
void SetJpegSize(std::vector<uint8_t>& bytes, uint16_t width, uint16_t height) {
    for (size_t i = 0; i + 9 <= bytes.size(); ++i) {
        if (bytes[i] != 0xFF || bytes[i + 1] != 0xC0) continue;
        bytes[i + 5] = height >> 8, bytes[i + 6] = height & 0xFF;
        bytes[i + 7] = width >> 8, bytes[i + 8] = width & 0xFF;
    }
}

// MP3 frame headers at places no frame length leads to, between noise.
std::vector<uint8_t> FalseSyncs() {
    std::vector<uint8_t> bytes = Noise(30000, 99);
    for (size_t at = 17; at + 4 < bytes.size(); at += 97 + (at % 13)) {
        const uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x64};
        std::memcpy(&bytes[at], header, 4);
    }
    return bytes;
}

struct Case {
    const char* what;
    std::vector<uint8_t> (*make)();
    HRESULT expected;
};

const Case kRefused[] = {
    {"zero-length file", [] { return std::vector<uint8_t>(); }, VFW_E_UNSUPPORTED_STREAM},
    {"garbage", [] { return Noise(50000, 3); }, VFW_E_UNSUPPORTED_STREAM},
    {"MP3 of false syncs", FalseSyncs, VFW_E_UNSUPPORTED_STREAM},
    {"enormous picture",
     [] {
         std::vector<uint8_t> avi = SmallAvi();
         Replace32(avi, 40, 70000);  // every width field of the headers
         SetJpegSize(avi, 65000, 24);
         return avi;
     },
     VFW_E_UNSUPPORTED_STREAM},
    {"picture of too many pixels",
     [] {
         std::vector<uint8_t> avi = SmallAvi();
         Replace32(avi, 40, 16000);
         Replace32(avi, 24, 16000);
         SetJpegSize(avi, 16000, 16000);
         return avi;
     },
     VFW_E_UNSUPPORTED_STREAM},
};

class BadInputTest : public GraphTest {
protected:
    int FilterCount() {
        IEnumFilters* filters = nullptr;
        graph->EnumFilters(&filters);
        IBaseFilter* f = nullptr;
        int n = 0;
        while (filters->Next(1, &f, nullptr) == S_OK) {
            ++n;
            f->Release();
        }
        filters->Release();
        return n;
    }
};

TEST_F(BadInputTest, RefusedFilesLeaveOnlyWhatWasThere) {
    for (const Case& c : kRefused) {
        const std::string path = TempPath("bad.bin");
        WriteFile(path, c.make());
        CaptureRenderer* capture = AddCapture();
        EXPECT_EQ(graph->RenderFile(Wide(path).c_str(), nullptr), c.expected) << c.what;
        EXPECT_EQ(FilterCount(), 1) << c.what;
        EXPECT_EQ(graph->RemoveFilter(capture), S_OK) << c.what;
        EXPECT_EQ(dshow::LiveStreamingThreadsForTest(), 0) << c.what;
        std::remove(path.c_str());
    }
}

TEST_F(BadInputTest, AMissingFileIsNotFound) {
    EXPECT_EQ(graph->RenderFile(Wide(TempPath("absent.avi")).c_str(), nullptr), VFW_E_NOT_FOUND);
    EXPECT_EQ(graph->RenderFile(Wide(TEST_BINARY_DIR).c_str(), nullptr), VFW_E_NOT_FOUND);  // a directory
}

TEST_F(BadInputTest, ATruncatedMoviePlaysWhatItHolds) {
    const std::string path = TempPath("cut.avi");
    ASSERT_EQ(WriteMovie({"avi", "mjpeg", "pcm_s16le", 64, 48, 20, 10}, path), "");
    std::vector<uint8_t> bytes = ReadFile(path);
    bytes.resize(bytes.size() / 2);
    WriteFile(path, bytes);
    CaptureRenderer* capture = AddCapture();
    ASSERT_EQ(graph->RenderFile(Wide(path).c_str(), nullptr), S_OK);
    EXPECT_EQ(RunToEnd(), EC_COMPLETE);
    EXPECT_GT(capture->frames, 0);
    EXPECT_LT(capture->frames, 20);
    std::remove(path.c_str());
}

TEST_F(BadInputTest, AGraphReleasedWhileItRunsStopsFirst) {
    const std::string path = TempPath("long.avi");
    ASSERT_EQ(WriteMovie({"avi", "mjpeg", "pcm_s16le", 64, 48, 50, 10}, path), "");
    AddCapture();
    ASSERT_EQ(graph->RenderFile(Wide(path).c_str(), nullptr), S_OK);
    ASSERT_EQ(Control()->Run(), S_OK);
    OAFilterState state = State_Stopped;
    EXPECT_EQ(Control()->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    // TearDown releases the running graph and finds no thread or filter left.
    std::remove(path.c_str());
}

}  // namespace
}  // namespace dshowtest
