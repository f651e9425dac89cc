// Handle tables: a handle is a signed 32-bit value with bit 31 clear, the
// handle type in bits 27-30, an 11-bit check value in bits 16-26 and the slot
// in bits 0-15; -1 is the failure result.
//
// Each family keeps one HandleTable of record pointers. The record type must
// have an `int32_t handleCheck` field (the check value given at creation) and
// an `int32_t handle` field.
#pragma once

#include <cstdint>

constexpr int32_t kHandleTypeMask = 0x78000000;
constexpr int32_t kHandleCheckMask = 0x07FF0000;
constexpr int32_t kHandleSlotMask = 0x0000FFFF;
constexpr int kHandleCheckShift = 16;
constexpr int32_t kHandleCheckLimit = 2048;  // check values run 0..2047 and wrap

constexpr int32_t kHandleTypeImage = 0x08000000;
constexpr int32_t kHandleTypeSound = 0x10000000;
constexpr int32_t kHandleTypeMovie = 0x18000000;
constexpr int32_t kHandleTypeFont = 0x20000000;
constexpr int32_t kHandleTypeMaskImage = 0x28000000;  // mask images
constexpr int32_t kHandleTypeNetwork = 0x30000000;
constexpr int32_t kHandleTypeKeyInput = 0x38000000;
constexpr int32_t kHandleTypeMidi = 0x40000000;
constexpr int32_t kHandleTypeLight = 0x48000000;
constexpr int32_t kHandleTypeModel = 0x50000000;
constexpr int32_t kHandleTypeSoftImage = 0x58000000;
constexpr int32_t kHandleTypeShader = 0x60000000;
constexpr int32_t kHandleTypeSoftSound = 0x68000000;
constexpr int32_t kHandleTypeVertexBuffer = 0x70000000;
constexpr int32_t kHandleTypeIndexBuffer = 0x78000000;

template <typename Record, int Capacity>
class HandleTable {
    static_assert(Capacity > 0 && Capacity <= 0x10000, "slots must fit in 16 bits");

public:
    explicit HandleTable(int32_t type) : type_(type) {}

    // Takes a slot for record: the high-water slot while it is below the
    // capacity, else the first empty slot. Stores the check value and handle in
    // the record and returns the handle, or -1 when the table is full.
    int32_t Add(Record* record) {
        int slot;
        if (highWater_ < Capacity) {
            slot = highWater_++;
        } else {
            slot = -1;
            for (int i = 0; i < Capacity; ++i) {
                if (records_[i] == nullptr) {
                    slot = i;
                    break;
                }
            }
            if (slot < 0) return -1;
        }
        int32_t check = nextCheck_;
        nextCheck_ = (nextCheck_ + 1) % kHandleCheckLimit;
        records_[slot] = record;
        ++count_;
        int32_t handle = type_ | (check << kHandleCheckShift) | slot;
        record->handleCheck = check;
        record->handle = handle;
        return handle;
    }

    // The record named by handle, or null when the handle is negative, of
    // another type, beyond the table, on an empty slot or of another check value.
    Record* Find(int32_t handle) const {
        if (handle < 0) return nullptr;
        if ((handle & kHandleTypeMask) != type_) return nullptr;
        int slot = handle & kHandleSlotMask;
        if (slot >= Capacity) return nullptr;
        Record* record = records_[slot];
        if (record == nullptr) return nullptr;
        if (record->handleCheck != ((handle & kHandleCheckMask) >> kHandleCheckShift)) return nullptr;
        return record;
    }

    // Empties the slot of a record found with Find; returns false when the
    // handle names no record.
    bool Remove(int32_t handle) {
        if (Find(handle) == nullptr) return false;
        records_[handle & kHandleSlotMask] = nullptr;
        --count_;
        return true;
    }

    // Remove, and when the slot was the highest in use, lowers the high-water
    // slot to one past the highest slot still in use (0 when none is).
    bool RemoveAndLower(int32_t handle) {
        if (!Remove(handle)) return false;
        if ((handle & kHandleSlotMask) == highWater_ - 1) {
            while (highWater_ > 0 && records_[highWater_ - 1] == nullptr) --highWater_;
        }
        return true;
    }

    // Slot access for walks over every live record (null for empty slots).
    Record* At(int slot) const { return (slot >= 0 && slot < Capacity) ? records_[slot] : nullptr; }
    int Size() const { return Capacity; }
    int Count() const { return count_; }
    int HighWater() const { return highWater_; }
    int32_t Type() const { return type_; }

    // Forgets every record (the owner frees them first).
    void Reset() {
        for (auto& r : records_) r = nullptr;
        count_ = 0;
        highWater_ = 0;
    }

private:
    int32_t type_;
    Record* records_[Capacity] = {};
    int count_ = 0;
    int highWater_ = 0;
    int32_t nextCheck_ = 0;
};
