// The handle-table template: layout, slot choice, check values and refusals.
#include <gtest/gtest.h>

#include <vector>

#include "core/handle_table.h"

namespace {

struct Record {
    int32_t handleCheck = -1;
    int32_t handle = -1;
};

using SmallTable = HandleTable<Record, 4>;

int Slot(int32_t handle) { return handle & kHandleSlotMask; }
int Check(int32_t handle) { return (handle & kHandleCheckMask) >> kHandleCheckShift; }

TEST(HandleTable, LayoutOfNewHandles) {
    SmallTable table(kHandleTypeSound);
    Record a, b;
    int32_t first = table.Add(&a);
    int32_t second = table.Add(&b);
    EXPECT_EQ(first & kHandleTypeMask, kHandleTypeSound);
    EXPECT_GE(first, 0);
    EXPECT_EQ(Slot(first), 0);
    EXPECT_EQ(Slot(second), 1);
    EXPECT_EQ(Check(second), Check(first) + 1);
    EXPECT_EQ(a.handle, first);
    EXPECT_EQ(a.handleCheck, Check(first));
    EXPECT_EQ(table.Find(first), &a);
    EXPECT_EQ(table.Find(second), &b);
    EXPECT_EQ(table.Count(), 2);

    // The largest type with the largest check and slot stays positive.
    HandleTable<Record, 0x10000> wide(kHandleTypeIndexBuffer);
    Record r;
    EXPECT_GT(wide.Add(&r), 0);
}

TEST(HandleTable, LookupRefusals) {
    SmallTable table(kHandleTypeImage);
    Record a, b;
    int32_t handle = table.Add(&a);
    table.Add(&b);
    EXPECT_EQ(table.Find(-1), nullptr);
    EXPECT_EQ(table.Find(handle | static_cast<int32_t>(0x80000000u)), nullptr) << "negative";
    EXPECT_EQ(table.Find((handle & ~kHandleTypeMask) | kHandleTypeSound), nullptr) << "wrong type";
    EXPECT_EQ(table.Find((handle & ~kHandleSlotMask) | 4), nullptr) << "slot beyond the table";
    EXPECT_EQ(table.Find((handle & ~kHandleSlotMask) | 0xFFFF), nullptr);
    int32_t otherCheck = (handle & ~kHandleCheckMask) | (((Check(handle) + 5) % kHandleCheckLimit) << kHandleCheckShift);
    EXPECT_EQ(table.Find(otherCheck), nullptr) << "differing check value";
    EXPECT_EQ(table.Find((handle & ~kHandleSlotMask) | 2), nullptr) << "empty slot";
    EXPECT_TRUE(table.Remove(handle));
    EXPECT_EQ(table.Find(handle), nullptr) << "removed";
    EXPECT_FALSE(table.Remove(handle));
    EXPECT_EQ(table.Count(), 1);
}

TEST(HandleTable, HighWaterSlotThenFirstEmptyThenFull) {
    SmallTable table(kHandleTypeFont);
    Record records[6];
    int32_t a = table.Add(&records[0]);
    int32_t b = table.Add(&records[1]);
    table.Add(&records[2]);
    ASSERT_TRUE(table.Remove(b));
    ASSERT_TRUE(table.Remove(a));
    // The high-water slot first, even with earlier slots free.
    int32_t d = table.Add(&records[3]);
    EXPECT_EQ(Slot(d), 3);
    EXPECT_EQ(table.HighWater(), 4);
    // Then the first empty slot.
    int32_t e = table.Add(&records[4]);
    EXPECT_EQ(Slot(e), 0);
    int32_t f = table.Add(&records[5]);
    EXPECT_EQ(Slot(f), 1);
    EXPECT_EQ(table.Add(&records[0]), -1) << "full";
    EXPECT_EQ(table.Count(), 4);
    // A stale handle to a reused slot is refused by its check value.
    EXPECT_EQ(Slot(a), Slot(e));
    EXPECT_EQ(table.Find(a), nullptr);
    EXPECT_EQ(table.Find(e), &records[4]);
    table.Reset();
    EXPECT_EQ(table.Count(), 0);
    EXPECT_EQ(table.Find(e), nullptr);
    EXPECT_EQ(Slot(table.Add(&records[0])), 0);
}

TEST(HandleTable, CheckValueWrapsAfter2047) {
    SmallTable table(kHandleTypeMidi);
    Record record;
    std::vector<int> checks;
    for (int i = 0; i < kHandleCheckLimit + 2; ++i) {
        int32_t handle = table.Add(&record);
        ASSERT_NE(handle, -1);
        checks.push_back(Check(handle));
        ASSERT_TRUE(table.Remove(handle));
    }
    EXPECT_EQ(checks[0], 0);
    EXPECT_EQ(checks[2047], 2047);
    EXPECT_EQ(checks[2048], 0);
    EXPECT_EQ(checks[2049], 1);
}

}  // namespace
