// The process heap: blocks from HeapAlloc, zeroed on request, and the
// refusals of another heap and of an injected failure.
#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Heap, BlocksComeFromTheProcessHeapOnly) {
    HANDLE heap = GetProcessHeap();
    ASSERT_NE(heap, nullptr);
    EXPECT_EQ(GetProcessHeap(), heap) << "one heap";
    HANDLE other = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x100));
    struct Case {
        const char* what;
        HANDLE heap;
        DWORD flags;
        size_t bytes;
        bool injectFailure;
        bool made;
        DWORD error;
    } cases[] = {
        {"zeroed block", heap, HEAP_ZERO_MEMORY, 64, false, true, 0},
        {"plain block", heap, 0, 16, false, true, 0},
        {"empty block", heap, HEAP_ZERO_MEMORY, 0, false, true, 0},
        {"another heap", other, 0, 16, false, false, ERROR_INVALID_PARAMETER},
        {"no memory to be had", heap, 0, 16, true, false, ERROR_NOT_ENOUGH_MEMORY},
    };
    for (const Case& c : cases) {
        if (c.injectFailure) seams::FailCall("HeapAlloc", 1);
        SetLastError(0);
        auto* block = static_cast<unsigned char*>(HeapAlloc(c.heap, c.flags, c.bytes));
        EXPECT_EQ(block != nullptr, c.made) << c.what;
        if (!c.made) {
            EXPECT_EQ(GetLastError(), c.error) << c.what;
        }
        if (block != nullptr && (c.flags & HEAP_ZERO_MEMORY)) {
            for (size_t i = 0; i < c.bytes; ++i) ASSERT_EQ(block[i], 0) << c.what << " byte " << i;
        }
        if (block != nullptr) std::memset(block, 0xAB, c.bytes);  // the whole block is writable
        EXPECT_EQ(HeapFree(c.heap, 0, block), c.heap == heap ? TRUE : FALSE) << c.what;
        seams::ClearAllCalls();
    }
}

TEST(Heap, FreeingRefusesAnotherHeapAndTakesNull) {
    void* block = HeapAlloc(GetProcessHeap(), 0, 8);
    ASSERT_NE(block, nullptr);
    SetLastError(0);
    EXPECT_EQ(HeapFree(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x104)), 0, block), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(HeapFree(GetProcessHeap(), 0, block), TRUE);
    EXPECT_EQ(HeapFree(GetProcessHeap(), 0, nullptr), TRUE);
}

}  // namespace
