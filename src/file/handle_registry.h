// The file layer's handle registries: records behind small integer handles
// that are checked on every use, so that a stale or made-up handle is refused
// instead of followed.
//
// A handle is base | (generation << 16) | (slot + 1): never 0, and a closed
// handle stays refused until its slot has been reused 255 times. Plain files,
// memory streams and searches lie below 0x10000000; archive members own the
// values with the top four bits set.
#pragma once

#include "platform/wintypes.h"

#include <cstdint>
#include <mutex>

constexpr DWORD_PTR kFileHandleBasePlain = 0x01000000;
constexpr DWORD_PTR kFileHandleBaseMemory = 0x02000000;
constexpr DWORD_PTR kFileHandleBaseFind = 0x03000000;
constexpr DWORD_PTR kFileHandleBaseArchiveFind = 0x04000000;
constexpr DWORD_PTR kFileHandleBaseArchiveMember = 0xF0000000;  // index with the top four bits set

template <typename Record, int Capacity>
class FileHandleRegistry {
    static_assert(Capacity > 0 && Capacity < 0xFFFF, "slots must fit in 16 bits");

public:
    explicit FileHandleRegistry(DWORD_PTR base) : base_(base) {}

    // The new handle of record, 0 when every slot is taken.
    DWORD_PTR Add(Record* record) {
        std::lock_guard<std::mutex> lock(lock_);
        for (int slot = 0; slot < Capacity; ++slot) {
            if (records_[slot] != nullptr) continue;
            records_[slot] = record;
            generations_[slot] = static_cast<uint8_t>(generations_[slot] % 255 + 1);
            return base_ | (static_cast<DWORD_PTR>(generations_[slot]) << 16) | static_cast<DWORD_PTR>(slot + 1);
        }
        return 0;
    }

    Record* Find(DWORD_PTR handle) {
        std::lock_guard<std::mutex> lock(lock_);
        int slot = SlotOf(handle);
        return slot < 0 ? nullptr : records_[slot];
    }

    // Forgets the handle and returns its record, or null when it names none.
    Record* Remove(DWORD_PTR handle) {
        std::lock_guard<std::mutex> lock(lock_);
        int slot = SlotOf(handle);
        if (slot < 0) return nullptr;
        Record* record = records_[slot];
        records_[slot] = nullptr;
        return record;
    }

private:
    // The slot of a live handle, -1 otherwise. Called with the lock held.
    int SlotOf(DWORD_PTR handle) const {
        if ((handle & ~DWORD_PTR{0x00FFFFFF}) != base_) return -1;
        int slot = static_cast<int>(handle & 0xFFFF) - 1;
        if (slot < 0 || slot >= Capacity || records_[slot] == nullptr) return -1;
        if (generations_[slot] != ((handle >> 16) & 0xFF)) return -1;
        return slot;
    }

    std::mutex lock_;
    DWORD_PTR base_;
    Record* records_[Capacity] = {};
    uint8_t generations_[Capacity] = {};
};

// A seek on a record with a position and an end flag: from origin 0 (the
// start), 1 (the position) or 2 (the size, asked of sizeOf only then). Clears
// the end flag; -1 for a missing record, an unknown origin, a size that
// cannot be told, or a place before 0 or past the largest offset.
template <typename Record, typename SizeOf>
int SeekRecord(Record* record, int64_t offset, int origin, SizeOf sizeOf) {
    if (record == nullptr || origin < 0 || origin > 2) return -1;
    const int64_t base = origin == 0 ? 0 : origin == 1 ? record->position : sizeOf();
    if (base < 0 || (offset < 0 && base + offset < 0) || (offset > 0 && base > INT64_MAX - offset)) return -1;
    record->position = base + offset;
    record->eof = false;
    return 0;
}
