// The library's memory manager: every library allocation carries a
// MemoryBlockHeader with the caller's source name and line, is counted, and
// is listed in the dump at library end while still allocated.
#pragma once

#include <cstddef>
#include <cstdint>

struct MemoryBlockHeader {
    MemoryBlockHeader* prev;
    MemoryBlockHeader* next;
    const char* sourceName;  // the caller's literal; may be ""
    int32_t line;
    uint32_t size;           // bytes asked for
    uint32_t id;             // running allocation number
    uint32_t guard;          // kMemoryBlockGuard while the block is live
};
constexpr uint32_t kMemoryBlockGuard = 0x4D454D42;  // "MEMB"

// A block of size bytes (contents undefined), or null when the heap refuses
// (or the size and its header would not fit in 32 bits). Tests make every
// allocation fail with seams::FailCall("AllocMemory").
void* AllocMemory(uint32_t size, const char* sourceName, int32_t line);
// The same, cleared to zero.
void* AllocMemoryZeroed(uint32_t size, const char* sourceName, int32_t line);
// The block grown or shrunk with its contents kept (growth zeroed); null block
// allocates; null on failure (the old block then stays valid).
void* ReallocMemory(void* block, uint32_t size, const char* sourceName, int32_t line);
// Releases a block of AllocMemory; null is ignored.
void FreeMemory(void* block);

// Blocks and bytes currently allocated.
uint32_t AllocatedBlockCount();
uint64_t AllocatedByteCount();
// Writes one log line per block still allocated (source, line, size) and
// returns how many there were.
int DumpAllocatedMemory();

#define ALLOC_MEMORY(size) AllocMemory((size), __FILE__, __LINE__)
#define ALLOC_MEMORY_ZEROED(size) AllocMemoryZeroed((size), __FILE__, __LINE__)
