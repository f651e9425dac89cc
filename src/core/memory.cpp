// The library's memory manager: a header in front of every block, a list of
// the live blocks, counts, and a dump of what is still allocated.
#include "core/memory.h"

#include "core/log.h"
#include "platform/seams/seams.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

// The header area is rounded up so that blocks keep the heap's 16-byte alignment.
constexpr size_t kHeaderSpace = (sizeof(MemoryBlockHeader) + 15) & ~size_t{15};
constexpr uint32_t kLargestBlock = UINT32_MAX - kHeaderSpace;

struct MemoryState {
    std::mutex lock;  // the sound thread and movie threads allocate too
    MemoryBlockHeader* first = nullptr;  // oldest
    MemoryBlockHeader* last = nullptr;   // newest
    uint32_t blockCount = 0;
    uint64_t byteCount = 0;
    uint32_t nextId = 1;
};

MemoryState& State() {
    static MemoryState state;
    return state;
}

MemoryBlockHeader* HeaderOf(void* block) {
    return reinterpret_cast<MemoryBlockHeader*>(static_cast<char*>(block) - kHeaderSpace);
}

void* BlockOf(MemoryBlockHeader* header) { return reinterpret_cast<char*>(header) + kHeaderSpace; }

// Links a fresh header into the live list. Called with the lock held.
void Link(MemoryState& state, MemoryBlockHeader* header) {
    header->next = nullptr;
    header->prev = state.last;
    if (state.last != nullptr) state.last->next = header;
    else state.first = header;
    state.last = header;
    ++state.blockCount;
    state.byteCount += header->size;
}

void Unlink(MemoryState& state, MemoryBlockHeader* header) {
    if (header->prev != nullptr) header->prev->next = header->next;
    else state.first = header->next;
    if (header->next != nullptr) header->next->prev = header->prev;
    else state.last = header->prev;
    --state.blockCount;
    state.byteCount -= header->size;
    header->guard = 0;
}

void* AllocateBlock(uint32_t size, const char* sourceName, int32_t line, bool zeroed) {
    if (size > kLargestBlock) return nullptr;  // size + header would not fit
    if (seams::ShouldFailCall("AllocMemory")) return nullptr;
    size_t total = kHeaderSpace + size;
    void* raw = zeroed ? std::calloc(1, total) : std::malloc(total);
    if (raw == nullptr) return nullptr;
    auto* header = static_cast<MemoryBlockHeader*>(raw);
    header->sourceName = sourceName != nullptr ? sourceName : "";
    header->line = line;
    header->size = size;
    header->guard = kMemoryBlockGuard;
    MemoryState& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    header->id = state.nextId++;
    Link(state, header);
    return BlockOf(header);
}

}  // namespace

void* AllocMemory(uint32_t size, const char* sourceName, int32_t line) {
    return AllocateBlock(size, sourceName, line, false);
}

void* AllocMemoryZeroed(uint32_t size, const char* sourceName, int32_t line) {
    return AllocateBlock(size, sourceName, line, true);
}

void* ReallocMemory(void* block, uint32_t size, const char* sourceName, int32_t line) {
    if (block == nullptr) return AllocMemoryZeroed(size, sourceName, line);
    MemoryBlockHeader* old = HeaderOf(block);
    if (old->guard != kMemoryBlockGuard) {
        WriteLogFormatted("不正なメモリブロックの再確保が要求されました in ReallocMemory");
        return nullptr;
    }
    void* grown = AllocMemory(size, sourceName, line);
    if (grown == nullptr) return nullptr;  // the old block stays valid
    uint32_t kept = old->size < size ? old->size : size;
    std::memcpy(grown, block, kept);
    if (size > kept) std::memset(static_cast<char*>(grown) + kept, 0, size - kept);
    FreeMemory(block);
    return grown;
}

void FreeMemory(void* block) {
    if (block == nullptr) return;
    MemoryBlockHeader* header = HeaderOf(block);
    {
        MemoryState& state = State();
        std::lock_guard<std::mutex> lock(state.lock);
        if (header->guard == kMemoryBlockGuard) {
            Unlink(state, header);
            std::free(header);
            return;
        }
    }
    // Not a live block of ours (freed twice, or never allocated here).
    WriteLogFormatted("不正なメモリブロックの解放が要求されました in FreeMemory");
}

uint32_t AllocatedBlockCount() {
    std::lock_guard<std::mutex> lock(State().lock);
    return State().blockCount;
}

uint64_t AllocatedByteCount() {
    std::lock_guard<std::mutex> lock(State().lock);
    return State().byteCount;
}

int DumpAllocatedMemory() {
    // The lines are gathered first so that the log is written without the lock.
    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> lock(State().lock);
        for (MemoryBlockHeader* header = State().first; header != nullptr; header = header->next) {
            char line[512];
            std::snprintf(line, sizeof line, "%.400s(%d) : %u byte (no.%u)", header->sourceName, header->line,
                          header->size, header->id);
            lines.emplace_back(line);
        }
    }
    for (const std::string& line : lines) WriteLogFormatted("%s", line.c_str());
    return static_cast<int>(lines.size());
}
