// FFmpeg's libraries opened on first use: the loader's answers for present
// and missing libraries and symbols, and the backend's answers when the
// libraries are missing.
#include "platform/dshow/av_backend.h"
#include "platform/dshow/library_loader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct LoaderCase {
    const char* what;
    const char* libraries[2];
    const char* names[2];
    size_t count;
    bool loaded;
    const char* errorMentions;  // a part of the error, when it fails
};

const LoaderCase kLoaderCases[] = {
    {"one library, two symbols", {"libm.so.6", "libm.so.6"}, {"cos", "sin"}, 2, true, ""},
    {"two libraries", {"libm.so.6", "libc.so.6"}, {"cos", "strlen"}, 2, true, ""},
    {"no requests", {nullptr, nullptr}, {nullptr, nullptr}, 0, true, ""},
    {"missing library", {"libm.so.6", "libvelumi-missing.so.9"}, {"cos", "x"}, 2, false, "libvelumi-missing.so.9"},
    {"missing symbol", {"libm.so.6", "libm.so.6"}, {"cos", "velumi_no_such_symbol"}, 2, false,
     "velumi_no_such_symbol"},
    {"no library name", {"libm.so.6", nullptr}, {"cos", "sin"}, 2, false, "request 1"},
    {"no symbol name", {nullptr, "libm.so.6"}, {"cos", nullptr}, 2, false, "request 0"},
};

TEST(LibraryLoader, ResolvesAllOrNothing) {
    for (const LoaderCase& c : kLoaderCases) {
        void* slots[2] = {reinterpret_cast<void*>(1), reinterpret_cast<void*>(1)};
        dshow::SymbolRequest requests[2];
        for (size_t i = 0; i < 2; ++i) requests[i] = {c.libraries[i], c.names[i], &slots[i]};
        std::string error;
        EXPECT_EQ(dshow::LoadSymbols(requests, c.count, &error), c.loaded) << c.what;
        for (size_t i = 0; i < c.count; ++i) {
            if (c.loaded) {
                EXPECT_NE(slots[i], nullptr) << c.what << " slot " << i;
            } else {
                EXPECT_EQ(slots[i], nullptr) << c.what << " slot " << i << " is left half-loaded";
            }
        }
        if (!c.loaded) {
            EXPECT_NE(error.find(c.errorMentions), std::string::npos) << c.what << ": " << error;
        }
    }
}

TEST(LibraryLoader, FoundSymbolIsTheFunction) {
    using Length = size_t (*)(const char*);
    Length length = nullptr;
    const dshow::SymbolRequest request{"libc.so.6", "strlen", reinterpret_cast<void**>(&length)};
    ASSERT_TRUE(dshow::LoadSymbols(&request, 1, nullptr));
    EXPECT_EQ(length("velumi"), 6u);
}

TEST(LibraryLoader, NullListWithCountIsRefused) {
    std::string error;
    EXPECT_FALSE(dshow::LoadSymbols(nullptr, 3, &error));
    EXPECT_FALSE(error.empty());
}

// A short 16-bit mono WAVE file in memory.
std::vector<uint8_t> TinyWave() {
    const uint32_t samples = 800, rate = 8000, dataBytes = samples * 2;
    std::vector<uint8_t> f(44 + dataBytes, 0);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&f[at], &v, 4); };
    auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&f[at], &v, 2); };
    std::memcpy(&f[0], "RIFF", 4);
    put32(4, 36 + dataBytes);
    std::memcpy(&f[8], "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, 1);
    put32(24, rate);
    put32(28, rate * 2);
    put16(32, 2);
    put16(34, 16);
    std::memcpy(&f[36], "data", 4);
    put32(40, dataBytes);
    return f;
}

dshow::av::ByteSource SourceOf(const std::vector<uint8_t>& bytes) {
    dshow::av::ByteSource source;
    source.size = static_cast<int64_t>(bytes.size());
    source.read = [&bytes](int64_t at, uint8_t* buffer, int size) {
        if (at < 0 || at >= static_cast<int64_t>(bytes.size())) return 0;
        const int n = static_cast<int>(std::min<int64_t>(size, static_cast<int64_t>(bytes.size()) - at));
        std::memcpy(buffer, bytes.data() + at, static_cast<size_t>(n));
        return n;
    };
    return source;
}

struct BackendCase {
    const char* what;
    bool refused;
};

const BackendCase kBackendCases[] = {{"libraries present", false}, {"libraries missing", true}};

TEST(LazyAvBackend, OpensOnlyWithTheLibraries) {
    const std::vector<uint8_t> wave = TinyWave();
    for (const BackendCase& c : kBackendCases) {
        dshow::av::RefuseLibrariesForTest(c.refused);
        std::string error;
        EXPECT_EQ(dshow::av::LibrariesLoaded(&error), !c.refused) << c.what << ": " << error;
        EXPECT_EQ(error.empty(), !c.refused) << c.what;
        auto demuxer = dshow::av::Demuxer::Open(SourceOf(wave));
        EXPECT_EQ(demuxer != nullptr, !c.refused) << c.what;
        dshow::av::StreamInfo audio;
        audio.kind = dshow::av::StreamKind::Audio;
        if (demuxer != nullptr && !demuxer->Streams().empty()) audio = demuxer->Streams()[0];
        EXPECT_EQ(dshow::av::AudioDecoder::Open(audio) != nullptr, !c.refused) << c.what;
        dshow::av::ColourConverter converter(4, 4);
        std::vector<uint8_t> yuv(static_cast<size_t>(dshow::av::VideoDecoder::FrameBytes(4, 4)), 128);
        std::vector<uint8_t> bgr(12 * 4);
        EXPECT_EQ(converter.Convert(yuv.data(), bgr.data(), 12), !c.refused) << c.what;
    }
    dshow::av::RefuseLibrariesForTest(false);
}

}  // namespace
