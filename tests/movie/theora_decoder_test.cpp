// The Theora decoder over files made by libtheora's encoder: refusals, the
// page and key-frame index, decoded pictures against their sources and
// against a plain in-order decode, seeks (and long ones left off for a close
// or a new seek), the stock and its wrap, backward jumps, other chroma
// layouts, and every failure path of the open.
#include "file/file.h"
#include "movie_test_util.h"

#include <fstream>
#include <iterator>
#include <thread>

using namespace movietest;

namespace {

class TheoraDecoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        PrepareMovieTests();
    }

    void SetUp() override {
        seams::ClearAllCalls();
        blocksBefore_ = AllocatedBlockCount();
    }

    void TearDown() override {
        Close();
        SetTheoraPacketHook(nullptr);
        seams::ClearAllCalls();
        EXPECT_EQ(AllocatedBlockCount(), blocksBefore_) << "memory blocks left behind";
    }

    // Writes the bytes to a file and opens a decoder over it (null when refused).
    TheoraDecoder* Open(const Bytes& bytes, int32_t stock = 10, const char* name = "movie.ogv") {
        Close();
        WriteBytes(name, bytes);
        file_ = OpenAccessFile(name, 0, 1, 0);
        EXPECT_NE(file_, 0u);
        decoder_ = OpenTheora(GetFileFunctionTable(), file_, stock);
        return decoder_;
    }

    void Close() {
        CloseTheora(decoder_);
        decoder_ = nullptr;
        if (file_ != 0) CloseAccessFile(file_);
        file_ = 0;
    }

    // The current frame's picture, fetched anew.
    Picture Frame() {
        EXPECT_EQ(GetTheoraFrame(decoder_, 1, 0), 1);
        return CopyPicture(GetTheoraImage(decoder_));
    }

    std::vector<int32_t> Stock() const {
        std::vector<int32_t> frames(64, -2);
        frames.resize(static_cast<size_t>(GetTheoraStockFrames(decoder_, frames.data(), 64)));
        std::vector<int32_t> used;
        for (int32_t f : frames)
            if (f >= 0) used.push_back(f);
        std::sort(used.begin(), used.end());
        return used;
    }

    // The stock once the thread has settled on it: waits (at most ten
    // seconds) until it holds the expected frames and the thread rests.
    std::vector<int32_t> SettledStock(const std::vector<int32_t>& expected) {
        for (int i = 0; i < 10000; ++i) {
            if (GetTheoraThreadState(decoder_) == kTheoraStockFull && Stock() == expected) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return Stock();
    }

    TheoraDecoder* decoder_ = nullptr;
    DWORD_PTR file_ = 0;
    uint32_t blocksBefore_ = 0;
};

TEST_F(TheoraDecoderTest, FilesThatAreNotOggTheoraAreRefusedSilentlyAndOversizeFramesWithALine) {
    MovieSpec spec;
    const Bytes movie = EncodeMovie(spec);
    const Bytes vorbisOnly = Join([] {
        StreamPages a = EncodeVorbisPages(5000);
        Pages all = a.first;
        all.insert(all.end(), a.headers.begin(), a.headers.end());
        all.insert(all.end(), a.data.begin(), a.data.end());
        return all;
    }());
    const MovieSpec huge{.width = 16400, .height = 16};  // wider than any picture the library makes
    const Bytes tooWide = EncodeHeadersOnly(huge);
    Bytes garbage = {'O', 'g', 'g', 'S'};
    for (int i = 0; i < 3000; ++i) garbage.push_back(static_cast<uint8_t>(i * 31));
    // What is no Ogg Theora is refused silently: the movie layer tries the
    // next player. A Theora stream it cannot play says why.
    const struct {
        const char* what;
        Bytes bytes;
        const char* logged;
    } cases[] = {
        {"text", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'}, ""},
        {"empty", Bytes{}, ""},
        {"Ogg Vorbis without video", vorbisOnly, ""},
        {"OggS then garbage", garbage, ""},
        {"cut inside the headers", Bytes(movie.begin(), movie.begin() + 100), ""},
        {"frames 16400 pixels wide", tooWide, "Theora ムービーのフレームサイズ(16400 x 16)が上限を超えています\r\n"},
    };
    for (const auto& c : cases) {
        const LogMark mark;
        EXPECT_EQ(Open(c.bytes), nullptr) << c.what;
        if (c.what == std::string("text")) {
            EXPECT_EQ(TellAccessFile(file_), 4) << "only the capture pattern is read";
        }
        EXPECT_EQ(mark.Text().substr(mark.Text().find(':') + 1), c.logged) << c.what;
    }
}

TEST_F(TheoraDecoderTest, AStreamOfHeadersOnlyOpensWithoutFramesAndItsThreadEnds) {
    ASSERT_NE(Open(EncodeHeadersOnly(MovieSpec{.width = 48, .height = 16})), nullptr);
    TheoraStreamInfo info{};
    GetTheoraInfo(decoder_, &info);
    EXPECT_EQ(info.frameCount, 0);
    EXPECT_EQ(info.width, 48);
    EXPECT_EQ(info.height, 16);
    EXPECT_DOUBLE_EQ(info.framesPerSecond, 10.0);
    EXPECT_EQ(GetTheoraThreadState(decoder_), kTheoraEnded) << "the seek to frame 0 finds no page";
    EXPECT_EQ(GetTheoraFrame(decoder_, 1, 0), 0);
    EXPECT_EQ(SeekTheora(decoder_, 0), 0);
    EXPECT_EQ(GetTheoraFrame(decoder_, 1, 0), 0);
}

TEST_F(TheoraDecoderTest, FramesBeyondFourKUltraHdAreRefused) {
    // The rule: the coded frame's longer side at most 3840, its shorter side
    // at most 2176 (2160 rounded up to whole 16-pixel blocks).
    struct Case {
        const char* what;
        int width, height;
        bool opens;
    } cases[] = {
        {"as wide as 4K UHD", 3840, 16, true},
        {"as tall as 4K UHD upright", 16, 3840, true},
        {"one block wider", 3856, 16, false},
        {"one block taller", 16, 3856, false},
        {"both sides past the shorter side", 2192, 2192, false},
    };
    // A refusal names the frame's size in the log.
    const auto refusal = [](int width, int height) {
        char line[128];
        std::snprintf(line, sizeof line, "Theora ムービーのフレームサイズ(%d x %d)が上限を超えています\r\n", width, height);
        return std::string(line);
    };
    for (const Case& c : cases) {
        const LogMark log;
        TheoraDecoder* d = Open(EncodeHeadersOnly(MovieSpec{.width = c.width, .height = c.height}));
        EXPECT_EQ(d != nullptr, c.opens) << c.what;
        EXPECT_EQ(Contains(log.Text(), refusal(c.width, c.height).c_str()), !c.opens) << c.what << "\n" << log.Text();
        Close();
    }
    // Small files that declare huge frames: refused at once, before any decoding.
    const struct {
        const char* name;
        int width, height;
    } files[] = {{"theora_16384x4096.ogv", 16384, 4096}, {"timeout-8192x4128-31frames.ogv", 8192, 4128}};
    for (const auto& f : files) {
        std::ifstream in(std::string(TEST_SOURCE_DIR) + "/tests/movie/data/" + f.name, std::ios::binary);
        const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 4000u) << f.name;
        const LogMark log;
        EXPECT_EQ(Open(bytes), nullptr) << f.name;
        EXPECT_TRUE(Contains(log.Text(), refusal(f.width, f.height).c_str())) << f.name << "\n" << log.Text();
    }
}

TEST_F(TheoraDecoderTest, ASeekDecodesEveryFrameFromItsStartPageToTheTarget) {
    // One key frame, then 299 others: a seek near the end decodes frames 0
    // to 290, none skipped (the one-frame stock then holds the target).
    ASSERT_NE(Open(EncodeMovie({.width = 16, .height = 16, .frames = 300, .keyInterval = 1000}), 1), nullptr);
    EXPECT_EQ(IsTheoraKeyFrame(decoder_, 0), 1);
    EXPECT_EQ(IsTheoraKeyFrame(decoder_, 150), 0);
    const int64_t before = GetTheoraFramesDecoded(decoder_);
    SeekTheora(decoder_, 290);
    EXPECT_EQ(GetTheoraFrame(decoder_, 1, 0), 1);
    EXPECT_EQ(GetTheoraCurrentFrame(decoder_), 290);
    EXPECT_EQ(GetTheoraFramesDecoded(decoder_) - before, 291);
}

// Holds the decode thread before the packet number blockAt (counted from Arm)
// until a close or a new seek is asked for, and counts the packets asked for.
struct PacketGate {
    static inline std::atomic<int> calls{0}, blockAt{0};
    static inline std::atomic<bool> reached{false};
    static void Arm(int at) {
        calls = 0;
        blockAt = at;
        reached = false;
        SetTheoraPacketHook(Hook);
    }
    static void Hook(const TheoraDecoder* d) {
        if (++calls != blockAt) return;
        reached = true;
        while (IsTheoraStopAsked(d) == 0) std::this_thread::yield();
    }
};

TEST_F(TheoraDecoderTest, ALongSeekLeavesOffBeforeItsNextPacketForACloseOrANewSeek) {
    // One key frame: a seek to 590 decodes 591 packets. Held before the 50th
    // until the close or the second seek is asked, the first seek takes no
    // packet more; the second then decodes from the key frame to its target.
    const struct {
        const char* what;
        int32_t second;  // -1: the decoder is closed
        int packets;     // asked for by both seeks
    } cases[] = {
        {"closed", -1, 50},
        {"sought again to 120", 120, 50 + 121},
        {"sought again to 580", 580, 50 + 581},
    };
    const Bytes file = EncodeMovie({.width = 16, .height = 16, .frames = 600, .keyInterval = 1000, .hold = 40});
    const std::vector<Picture> reference = ReferenceDecode(file);
    for (const auto& c : cases) {
        ASSERT_NE(Open(file, 1), nullptr) << c.what;
        PacketGate::Arm(50);
        SeekTheora(decoder_, 590);
        for (int i = 0; i < 10000 && !PacketGate::reached; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(PacketGate::reached) << c.what;
        if (c.second < 0) {
            Close();
        } else {
            SeekTheora(decoder_, c.second);
            EXPECT_EQ(Frame().pixels, reference.at(static_cast<size_t>(c.second)).pixels) << c.what;
        }
        EXPECT_EQ(PacketGate::calls, c.packets) << c.what;
    }
}

TEST_F(TheoraDecoderTest, TheIndexHoldsEveryFrameOnThePageItEndsOnAndEveryKeyFrame) {
    // Noise makes large packets, spread over several small pages each.
    const Bytes file = EncodeMovie({.width = 64, .height = 48, .frames = 20, .keyInterval = 5,
                                    .noise = 20, .pageBytes = 700, .audioFrames = 30000});
    std::vector<int> keys;
    ReferenceDecode(file, &keys);
    ASSERT_EQ(keys.size(), 20u);
    ASSERT_NE(Open(file), nullptr);
    TheoraStreamInfo info{};
    GetTheoraInfo(decoder_, &info);
    EXPECT_EQ(info.frameCount, 20);
    for (int f = 0; f < 20; ++f) EXPECT_EQ(IsTheoraKeyFrame(decoder_, f), keys[static_cast<size_t>(f)]) << f;
    const long keyCount = std::count(keys.begin(), keys.end(), 1);
    EXPECT_GE(keyCount, 4) << "at most five frames apart";
    EXPECT_LT(keyCount, 20) << "the file has frames that are not key frames";
    EXPECT_EQ(IsTheoraKeyFrame(decoder_, 20), -1);

    const int32_t pages = GetTheoraPageCount(decoder_);
    ASSERT_GT(pages, 1);
    int32_t expectedFirst = 0;
    uint32_t previousOffset = 0;
    for (int32_t i = 0; i < pages; ++i) {
        uint32_t offset = 1;
        int32_t first = -1, key = -1, count = -1;
        ASSERT_EQ(GetTheoraPageEntry(decoder_, i, &offset, &first, &key, &count), 0);
        EXPECT_EQ(first, expectedFirst) << "page " << i;
        EXPECT_GE(count, 1) << "an entry is made only for a page a frame ends on";
        int32_t keys = 0;
        for (int32_t f = first; f < first + count; ++f) keys += IsTheoraKeyFrame(decoder_, f);
        EXPECT_EQ(key, keys > 0 ? 1 : 0) << "page " << i;
        if (i == 0) {
            EXPECT_EQ(offset, 0u) << "the first page replays the headers";
        } else {
            EXPECT_GT(offset, previousOffset);
        }
        previousOffset = offset;
        expectedFirst = first + count;
    }
    EXPECT_EQ(expectedFirst, 20);
    EXPECT_EQ(GetTheoraPageEntry(decoder_, pages, nullptr, nullptr, nullptr, nullptr), -1);
}

TEST_F(TheoraDecoderTest, DecodedFramesMatchTheirSourcesAndFollowTheCurrentFrame) {
    ASSERT_NE(Open(EncodeMovie({.width = 64, .height = 32, .frames = 12})), nullptr);
    EXPECT_EQ(GetTheoraCurrentFrame(decoder_), 0);
    // The open left frame 0 converted: nothing to do until the frame moves.
    EXPECT_EQ(GetTheoraFrame(decoder_, 1, 0), 0);
    Picture first = CopyPicture(GetTheoraImage(decoder_));
    ASSERT_EQ(first.width, 64);
    ASSERT_EQ(first.height, 32);
    EXPECT_EQ(first.At(5, 5) >> 24, 0xFFu) << "the fourth byte is 255";
    for (int k = 0; k < 12; ++k) {
        if (k > 0) AdvanceTheoraFrames(decoder_, 1);
        const Picture p = k == 0 ? first : Frame();
        EXPECT_EQ(FrameShown(p), k);
        const Difference d = CompareWithSource(p, k);
        EXPECT_LT(d.mean, 3.0) << "frame " << k;
        EXPECT_LT(d.largest, 32) << "frame " << k;
    }
    // Past the end the frame wraps once.
    AdvanceTheoraFrames(decoder_, 3);
    EXPECT_EQ(GetTheoraCurrentFrame(decoder_), 2);
    EXPECT_EQ(FrameShown(Frame()), 2);
    // Nothing moves for 0 or less, and the picture stays current.
    AdvanceTheoraFrames(decoder_, 0);
    AdvanceTheoraFrames(decoder_, -4);
    EXPECT_EQ(GetTheoraCurrentFrame(decoder_), 2);
    EXPECT_EQ(GetTheoraFrame(decoder_, 1, 0), 0);
}

// Only frame 0 is a key frame; the picture changes every 40 frames and stays between.
Bytes OneKeyFrameHeld() {
    return EncodeMovie({.width = 16, .height = 16, .frames = 300, .keyInterval = 1000, .hold = 40});
}

TEST_F(TheoraDecoderTest, SeeksAndJumpsGiveExactlyThePicturesOfAnInOrderDecode) {
    const struct {
        const char* what;
        Bytes (*make)();
        std::vector<int32_t> seeks;
        int32_t from;            // where the moves on start
        std::vector<int> steps;  // moves on from there, also around the end
    } cases[] = {
        // Large packets over small pages (many continued pages), a Vorbis
        // stream interleaved, key frames every 6 frames.
        {"key frames 6 apart",
         [] {
             return EncodeMovie({.width = 48, .height = 48, .frames = 40, .keyInterval = 6, .noise = 30,
                                 .pageBytes = 500, .audioFrames = 40000});
         },
         {23, 5, 39, 0, 17, 18, 12, 36, 1, 30}, 33, {1, 1, 3, 2, 4, 1, 9}},
        // Every frame on the way to a target counts, also after a wrap to
        // the start.
        {"one key frame, seeks far past it", OneKeyFrameHeld, {290, 140, 299}, 295, {3, 290}},
        // The stock holds frames after 250 when the clock wraps to 240: the
        // decoder starts again at the key frame and decodes every frame up to 240.
        {"one key frame, wraps from 250 to 240", OneKeyFrameHeld, {250}, 250, {290, 1}},
    };
    for (const auto& c : cases) {
        const Bytes file = c.make();
        const std::vector<Picture> reference = ReferenceDecode(file);
        ASSERT_NE(Open(file), nullptr) << c.what;
        EXPECT_EQ(CopyPicture(GetTheoraImage(decoder_)).pixels, reference.at(0).pixels) << c.what;
        for (int32_t target : c.seeks) {
            SeekTheora(decoder_, target);
            EXPECT_EQ(GetTheoraCurrentFrame(decoder_), target);
            EXPECT_EQ(Frame().pixels, reference.at(static_cast<size_t>(target)).pixels) << c.what << ": seek to " << target;
        }
        SeekTheora(decoder_, c.from);
        for (int step : c.steps) {
            AdvanceTheoraFrames(decoder_, step);
            const int32_t frame = GetTheoraCurrentFrame(decoder_);
            EXPECT_EQ(Frame().pixels, reference.at(static_cast<size_t>(frame)).pixels) << c.what << ": frame " << frame;
        }
    }
}

TEST_F(TheoraDecoderTest, TheStockKeepsTheFramesAheadAndWrapsToTheStart) {
    ASSERT_NE(Open(EncodeMovie({.width = 16, .height = 16, .frames = 20})), nullptr);
    const std::vector<int32_t> opened = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(SettledStock(opened), opened);
    SeekTheora(decoder_, 17);
    EXPECT_EQ(FrameShown(Frame()), 17);
    const std::vector<int32_t> wrapped = {0, 1, 2, 3, 4, 5, 6, 17, 18, 19};
    EXPECT_EQ(SettledStock(wrapped), wrapped) << "the last three frames, then 0 to 6 from the file's start";
    AdvanceTheoraFrames(decoder_, 5);
    EXPECT_EQ(GetTheoraCurrentFrame(decoder_), 2);
    EXPECT_EQ(FrameShown(Frame()), 2);
    const std::vector<int32_t> movedOn = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    EXPECT_EQ(SettledStock(movedOn), movedOn);
}

TEST_F(TheoraDecoderTest, AJumpBackBehindAFullStockIsServedNotWaitedForEver) {
    // The stock holds 15..24 when the movie's clock wraps to frame 3: every
    // entry lies after the new frame, none would ever be freed, and the owner
    // would wait for frame 3 for ever.
    const Bytes file = EncodeMovie({.width = 16, .height = 16, .frames = 30, .keyInterval = 8});
    const std::vector<Picture> reference = ReferenceDecode(file);
    ASSERT_NE(Open(file), nullptr);
    SeekTheora(decoder_, 15);
    EXPECT_EQ(FrameShown(Frame()), 15);
    const std::vector<int32_t> full = {15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
    ASSERT_EQ(SettledStock(full), full);
    AdvanceTheoraFrames(decoder_, 30 - 15 + 3);
    ASSERT_EQ(GetTheoraCurrentFrame(decoder_), 3);
    EXPECT_EQ(Frame().pixels, reference[3].pixels);
    const std::vector<int32_t> after = {3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ(SettledStock(after), after);
    // Around the end to frame 0, which lies behind everything decoded.
    AdvanceTheoraFrames(decoder_, 27);
    ASSERT_EQ(GetTheoraCurrentFrame(decoder_), 0);
    EXPECT_EQ(Frame().pixels, reference[0].pixels);
}

TEST_F(TheoraDecoderTest, ASeekToTheFrameCountEndsTheThreadAndTheDecoderStillCloses) {
    ASSERT_NE(Open(EncodeMovie({.frames = 6})), nullptr);
    SeekTheora(decoder_, 0);  // the current frame: nothing happens
    EXPECT_EQ(GetTheoraFrame(decoder_, 1, 0), 0) << "the picture stayed current";
    SeekTheora(decoder_, 50);
    EXPECT_EQ(GetTheoraCurrentFrame(decoder_), 6) << "clamped to the frame count";
    EXPECT_EQ(GetTheoraFrame(decoder_, 1, 0), 0);
    EXPECT_EQ(GetTheoraThreadState(decoder_), kTheoraEnded);
    SeekTheora(decoder_, 2);
    EXPECT_EQ(GetTheoraCurrentFrame(decoder_), 6) << "a decoder whose thread ended is left as it is";
    SeekTheora(decoder_, -5);
    EXPECT_EQ(GetTheoraCurrentFrame(decoder_), 6);
}

TEST_F(TheoraDecoderTest, AnAdvanceLongerThanTheMovieWrapsAsOftenAsItNeeds) {
    // A count of more than the whole movie once left the current frame past
    // the end, where no frame ever comes: the next GetTheoraFrame waited for
    // ever.
    ASSERT_NE(Open(EncodeMovie({.width = 16, .height = 16, .frames = 6})), nullptr);
    AdvanceTheoraFrames(decoder_, 3 * 6 + 4);
    ASSERT_EQ(GetTheoraCurrentFrame(decoder_), 4);
    EXPECT_EQ(FrameShown(Frame()), 4);
    AdvanceTheoraFrames(decoder_, INT32_MAX);
    ASSERT_EQ(GetTheoraCurrentFrame(decoder_), static_cast<int32_t>((4 + int64_t{INT32_MAX}) % 6));
    EXPECT_EQ(FrameShown(Frame()), 5);
}

TEST_F(TheoraDecoderTest, ASeekRightAfterASeekIsNeverLost) {
    // A seek made while the thread had not yet taken up the one before used
    // to find the thread's state still "paused" from that seek and went on
    // at once; the thread, serving the older seek, then cleared the newer
    // request. A lost seek to the frame count left the thread resting and
    // the next GetTheoraFrame waiting for ever.
    WriteBytes("twice.ogv", EncodeMovie({.width = 16, .height = 16, .frames = 12}));
    for (int round = 0; round < 200; ++round) {
        Close();
        file_ = OpenAccessFile("twice.ogv", 0, 1, 0);
        decoder_ = OpenTheora(GetFileFunctionTable(), file_, 4);
        ASSERT_NE(decoder_, nullptr);
        SeekTheora(decoder_, 1 + round % 10);
        SeekTheora(decoder_, 12);
        int32_t state = GetTheoraThreadState(decoder_);
        for (int wait = 0; wait < 10000 && state != kTheoraEnded; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            state = GetTheoraThreadState(decoder_);
        }
        ASSERT_EQ(state, kTheoraEnded) << "round " << round << ": the seek to the frame count was lost";
        EXPECT_EQ(GetTheoraFrame(decoder_, 1, 0), 0);
    }
}

TEST_F(TheoraDecoderTest, OtherChromaLayoutsTakeTheChromaSampleThatCoversEachPixel) {
    for (th_pixel_fmt format : {TH_PF_444, TH_PF_422}) {
        ASSERT_NE(Open(EncodeMovie({.width = 48, .height = 32, .frames = 3, .format = format})), nullptr) << format;
        for (int k = 0; k < 3; ++k) {
            if (k > 0) AdvanceTheoraFrames(decoder_, 1);
            const Picture p = k == 0 ? CopyPicture(GetTheoraImage(decoder_)) : Frame();
            const Difference d = CompareWithSource(p, k);
            EXPECT_LT(d.mean, 3.0) << "format " << format << " frame " << k;
            EXPECT_LT(d.largest, 32) << "format " << format << " frame " << k;
        }
    }
}

TEST_F(TheoraDecoderTest, DamagedOrCutDataDecodesWhatIsThereAndNothingMore) {
    const Bytes file = EncodeMovie({.width = 32, .height = 32, .frames = 16, .noise = 25, .pageBytes = 300});
    // Cut in the middle of the data: only whole packets count.
    const Bytes cut(file.begin(), file.begin() + static_cast<long>(file.size() * 2 / 3));
    ASSERT_NE(Open(cut), nullptr);
    TheoraStreamInfo info{};
    GetTheoraInfo(decoder_, &info);
    EXPECT_GT(info.frameCount, 0);
    EXPECT_LT(info.frameCount, 16);
    SeekTheora(decoder_, info.frameCount - 1);
    EXPECT_EQ(FrameShown(Frame()), info.frameCount - 1);
    AdvanceTheoraFrames(decoder_, 1);
    EXPECT_EQ(FrameShown(Frame()), 0) << "around the end of what is there";

    // Bytes that are no page, between pages: skipped, and the index's page
    // offsets still land on pages, so that seeks decode as an in-order pass.
    Bytes junked = file;
    for (size_t at = file.size() / 3, inserted = 0; inserted < 3; at += file.size() / 5) {
        const auto page = std::search(junked.begin() + static_cast<long>(at), junked.end(), std::begin("OggS"),
                                      std::begin("OggS") + 4);
        if (page == junked.end()) break;
        const size_t offset = static_cast<size_t>(page - junked.begin());
        junked.insert(page, 29 + inserted * 11, static_cast<uint8_t>(0xA5));
        at = offset + 40;
        ++inserted;
    }
    const std::vector<Picture> reference = ReferenceDecode(junked);
    ASSERT_EQ(reference.size(), 16u);
    ASSERT_NE(Open(junked), nullptr);
    for (int32_t target : {15, 3, 9, 12, 0, 7}) {
        SeekTheora(decoder_, target);
        EXPECT_EQ(Frame().pixels, reference[static_cast<size_t>(target)].pixels) << "seek to " << target;
    }

    // Bytes flipped all over the data pages: pages fail their checksums or
    // packets decode to rubbish, but nothing is read or written out of bounds.
    Bytes damaged = file;
    for (size_t i = 400; i < damaged.size(); i += 97) damaged[i] ^= 0x5A;
    if (Open(damaged) != nullptr) {
        GetTheoraInfo(decoder_, &info);
        for (int32_t f = 0; f < info.frameCount; ++f) {
            SeekTheora(decoder_, f);
            GetTheoraFrame(decoder_, 1, 0);
        }
    }
}

TEST_F(TheoraDecoderTest, NoPictureIsShownBeforeAKeyFrameWasDecoded) {
    // libtheora has no picture to hand out until it has decoded a frame: a
    // movie whose first key frame it refuses, or that starts with an empty
    // (repeat) packet, once made the decode thread copy planes through stale
    // pointers. Such frames now count as missing, and the movie shows frames
    // again from the next key frame that decodes.
    // Every packet on a page of its own.
    const MovieSpec spec{.width = 32, .height = 32, .frames = 8, .keyInterval = 4, .pageBytes = 4000};
    const Bytes refusedKey = {0x00, 0x70};  // an intra frame with reserved bits set
    const Bytes good = EncodeMovie(spec);
    for (const Bytes& first : {refusedKey, Bytes{}}) {
        // A decoder of the same size first, so that the heap holds what a
        // stale picture would point at.
        ASSERT_NE(Open(good), nullptr);
        SeekTheora(decoder_, 6);
        EXPECT_EQ(FrameShown(Frame()), 6);
        Close();
        MovieSpec damaged = spec;
        damaged.framePackets[0] = first;
        const Bytes file = EncodeMovie(damaged);
        ASSERT_NE(Open(file), nullptr) << first.size();
        ASSERT_EQ(IsTheoraKeyFrame(decoder_, 4), 1);
        EXPECT_EQ(GetTheoraFrame(decoder_, 1, 0), 0) << "frame 0 has no picture";
        SeekTheora(decoder_, 4);
        EXPECT_EQ(FrameShown(Frame()), 4);
        AdvanceTheoraFrames(decoder_, 1);
        EXPECT_EQ(FrameShown(Frame()), 5);
    }
}

TEST_F(TheoraDecoderTest, IndexAndKeyFrameTableGrowPastAThousandEntries) {
    // One page per frame: more than 1,000 page entries.
    const Bytes file = EncodeMovie({.width = 16, .height = 16, .frames = 1003, .keyInterval = 50, .pageBytes = 4000});
    ASSERT_NE(Open(file), nullptr);
    TheoraStreamInfo info{};
    GetTheoraInfo(decoder_, &info);
    EXPECT_EQ(info.frameCount, 1003);
    EXPECT_GE(GetTheoraPageCount(decoder_), 1003);
    EXPECT_EQ(IsTheoraKeyFrame(decoder_, 1000), 1);
    EXPECT_EQ(IsTheoraKeyFrame(decoder_, 1001), 0);
    SeekTheora(decoder_, 1002);
    EXPECT_EQ(FrameShown(Frame()), 1002 % 28);
}

TEST_F(TheoraDecoderTest, EveryFailureOfTheOpenIsLoggedAndLeavesNothingBehind) {
    WriteBytes("short.ogv", EncodeMovie(MovieSpec{}));
    // A page per frame: both tables grow past 1,000 entries.
    MovieSpec spec{.width = 16, .height = 16, .frames = 1001, .keyInterval = 64, .pageBytes = 4000};
    WriteBytes("pages.ogv", EncodeMovie(spec));
    spec.pageBytes = 0;  // frames packed into few pages: only the key-frame table grows
    WriteBytes("frames.ogv", EncodeMovie(spec));
    const struct {
        const char* file;
        const char* call;
        const char* message;
    } cases[] = {
        {"short.ogv", "AllocMemory", "Theora ムービーデコード処理用のメモリ確保に失敗しました"},
        {"short.ogv", "CreateThread", "Theora ムービーデコード用スレッドの作成に失敗しました"},
        {"short.ogv", "OpenTheora:PageIndex", "Theora ページ情報格納用メモリの確保に失敗しました"},
        {"short.ogv", "OpenTheora:KeyFrames", "Theora キーフレーム情報格納用メモリの確保に失敗しました"},
        {"short.ogv", "OpenTheora:FrameImage", "Theora ムービーデコードフレームストック用画像バッファの確保に失敗しました"},
        {"short.ogv", "OpenTheora:FrameStock", "Theora ムービーデコードフレームストック用のメモリ確保に失敗しました"},
        {"pages.ogv", "OpenTheora:PageIndexGrowth", "Theora ページ情報格納用メモリの確保に失敗しました"},
        {"frames.ogv", "OpenTheora:KeyFramesGrowth", "Theora キーフレーム情報格納用メモリの確保に失敗しました"},
    };
    for (const auto& c : cases) {
        const uint32_t blocks = AllocatedBlockCount();
        const LogMark mark;
        const DWORD_PTR handle = OpenAccessFile(c.file, 0, 1, 0);
        ASSERT_NE(handle, 0u);
        seams::FailCall(c.call, 1);
        EXPECT_EQ(OpenTheora(GetFileFunctionTable(), handle, 10), nullptr) << c.call;
        seams::ClearAllCalls();
        EXPECT_TRUE(Contains(mark.Text(), c.message)) << c.call;
        CloseAccessFile(handle);
        EXPECT_EQ(AllocatedBlockCount(), blocks) << c.call;
    }
}

}  // namespace
