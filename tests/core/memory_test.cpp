// The memory manager: headers, counts, zeroing, reallocation, the dump and
// refused sizes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/log.h"
#include "core/memory.h"
#include "platform/seams/seams.h"

namespace {

MemoryBlockHeader* HeaderBefore(void* block) {
    // The header sits in front of the block, within the rounded header area.
    auto* bytes = static_cast<char*>(block);
    size_t space = (sizeof(MemoryBlockHeader) + 15) & ~size_t{15};
    return reinterpret_cast<MemoryBlockHeader*>(bytes - space);
}

TEST(Memory, HeaderRecordsCallerAndSize) {
    uint32_t blocks = AllocatedBlockCount();
    uint64_t bytes = AllocatedByteCount();
    void* block = AllocMemory(100, "source.cpp", 77);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
    MemoryBlockHeader* header = HeaderBefore(block);
    EXPECT_EQ(header->guard, kMemoryBlockGuard);
    EXPECT_STREQ(header->sourceName, "source.cpp");
    EXPECT_EQ(header->line, 77);
    EXPECT_EQ(header->size, 100u);
    EXPECT_EQ(AllocatedBlockCount(), blocks + 1);
    EXPECT_EQ(AllocatedByteCount(), bytes + 100);
    std::memset(block, 0xAB, 100);  // the whole size is usable
    FreeMemory(block);
    EXPECT_EQ(AllocatedBlockCount(), blocks);
    EXPECT_EQ(AllocatedByteCount(), bytes);
    FreeMemory(nullptr);
    EXPECT_EQ(AllocatedBlockCount(), blocks);
}

TEST(Memory, ZeroedAndNullName) {
    auto* block = static_cast<unsigned char*>(AllocMemoryZeroed(256, nullptr, 0));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(block[i], 0) << i;
    EXPECT_STREQ(HeaderBefore(block)->sourceName, "");
    FreeMemory(block);
}

TEST(Memory, ReallocKeepsContentsAndZeroesGrowth) {
    auto* block = static_cast<unsigned char*>(AllocMemory(8, "r", 1));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 8; ++i) block[i] = static_cast<unsigned char>(i + 1);
    auto* grown = static_cast<unsigned char*>(ReallocMemory(block, 64, "r", 2));
    ASSERT_NE(grown, nullptr);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(grown[i], i + 1);
    for (int i = 8; i < 64; ++i) ASSERT_EQ(grown[i], 0) << i;
    EXPECT_EQ(HeaderBefore(grown)->size, 64u);
    auto* shrunk = static_cast<unsigned char*>(ReallocMemory(grown, 3, "r", 3));
    ASSERT_NE(shrunk, nullptr);
    EXPECT_EQ(shrunk[2], 3);
    // A refused reallocation leaves the old block as it was.
    seams::FailCall("AllocMemory", 1);
    EXPECT_EQ(ReallocMemory(shrunk, 1000, "r", 4), nullptr);
    EXPECT_EQ(shrunk[0], 1);
    EXPECT_EQ(HeaderBefore(shrunk)->guard, kMemoryBlockGuard);
    FreeMemory(shrunk);
    // A null block allocates.
    void* fresh = ReallocMemory(nullptr, 16, "r", 5);
    ASSERT_NE(fresh, nullptr);
    FreeMemory(fresh);
}

TEST(Memory, SizesThatWouldWrapAreRefused) {
    uint32_t blocks = AllocatedBlockCount();
    EXPECT_EQ(AllocMemory(0xFFFFFFFFu, "big", 1), nullptr);
    EXPECT_EQ(AllocMemoryZeroed(0xFFFFFFF0u, "big", 2), nullptr);
    void* small = AllocMemory(4, "big", 3);
    EXPECT_EQ(ReallocMemory(small, 0xFFFFFFFFu, "big", 4), nullptr);
    FreeMemory(small);
    EXPECT_EQ(AllocatedBlockCount(), blocks);
    void* empty = AllocMemory(0, "zero", 1);
    EXPECT_NE(empty, nullptr) << "a zero-byte block is still a block";
    FreeMemory(empty);
}

TEST(Memory, ForeignBlocksAreRefused) {
    // A block whose header does not carry the live guard (never allocated
    // here, or already freed) is left alone instead of corrupting the list.
    alignas(16) unsigned char foreign[128] = {};
    uint32_t blocks = AllocatedBlockCount();
    void* inside = foreign + ((sizeof(MemoryBlockHeader) + 15) & ~size_t{15});
    FreeMemory(inside);
    EXPECT_EQ(ReallocMemory(inside, 8, "f", 1), nullptr);
    EXPECT_EQ(AllocatedBlockCount(), blocks);
}

TEST(Memory, ThreadsAllocateAndFreeTogether) {
    // The sound thread, read-ahead threads and the main thread allocate at
    // once; the list and the counts must come out whole.
    uint32_t blocks = AllocatedBlockCount();
    uint64_t bytes = AllocatedByteCount();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            std::vector<void*> live;
            for (int i = 0; i < 5000; ++i) {
                live.push_back(AllocMemory(static_cast<uint32_t>(8 + (i + t) % 57), "thread.cpp", t));
                if (i % 3 == 2) {
                    FreeMemory(live.front());
                    live.erase(live.begin());
                }
                if (i % 1000 == 0) live.back() = ReallocMemory(live.back(), 300, "thread.cpp", t);
            }
            for (void* block : live) FreeMemory(block);
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(AllocatedBlockCount(), blocks);
    EXPECT_EQ(AllocatedByteCount(), bytes);
}

TEST(Memory, DumpListsExactlyTheLiveBlocks) {
    namespace fs = std::filesystem;
    fs::path saved = fs::current_path();
    fs::path dir = fs::temp_directory_path() / ("memdump" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);
    SetLogOutputOff(0);
    ASSERT_EQ(OpenLogFile(), 0);

    int before = DumpAllocatedMemory();  // blocks of other code, if any
    void* a = AllocMemory(10, "alpha.cpp", 11);
    void* b = AllocMemory(20, "beta.cpp", 22);
    void* c = AllocMemory(30, "gamma.cpp", 33);
    FreeMemory(b);
    EXPECT_EQ(DumpAllocatedMemory(), before + 2);
    FreeMemory(a);
    FreeMemory(c);
    CloseLogFile();

    std::ifstream in(dir / "Log.txt", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string log = text.str();
    EXPECT_NE(log.find("alpha.cpp(11) : 10 byte"), std::string::npos) << log;
    EXPECT_NE(log.find("gamma.cpp(33) : 30 byte"), std::string::npos);
    EXPECT_EQ(log.find("beta.cpp"), std::string::npos) << "a freed block is not listed";
    EXPECT_LT(log.find("alpha.cpp"), log.find("gamma.cpp")) << "oldest first";
    fs::current_path(saved);
    fs::remove_all(dir);
}

}  // namespace
