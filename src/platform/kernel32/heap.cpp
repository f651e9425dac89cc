// The process heap: HeapAlloc and HeapFree over the C library's allocator.
#include "platform/kernel32/internal.h"
#include "platform/seams/seams.h"

#include <cstdlib>

using platform::FailWith;

namespace {

// The heap's handle: the address of a tag of ours, which no kernel object's
// handle (small numbers counting up) can equal.
char g_heapTag;
HANDLE const kProcessHeap = &g_heapTag;

}  // namespace

HANDLE GetProcessHeap() { return kProcessHeap; }

LPVOID HeapAlloc(HANDLE heap, DWORD flags, size_t bytes) {
    if (heap != kProcessHeap) return FailWith(ERROR_INVALID_PARAMETER, nullptr);
    if (auto failed = seams::FailNow<DWORD>("HeapAlloc", ERROR_NOT_ENOUGH_MEMORY)) return FailWith(*failed, nullptr);
    // A block of 0 bytes is a real block, as the system's heap gives one.
    const size_t size = bytes > 0 ? bytes : 1;
    void* block = (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, size) : std::malloc(size);
    if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return block;
}

BOOL HeapFree(HANDLE heap, DWORD, LPVOID block) {
    if (heap != kProcessHeap) return FailWith(ERROR_INVALID_PARAMETER, FALSE);
    std::free(block);
    return TRUE;
}
