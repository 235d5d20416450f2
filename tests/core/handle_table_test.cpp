#include <gtest/gtest.h>

#include "core/handle_list.h"
#include "core/handle_table.h"
#include "core/log.h"
#include "support/headless_runtime.h"
#include "qr.h"

namespace {
using qr::core::HandleKind;
using qr::core::HandleRecord;
using qr::core::HandleTable;
using qr::core::TypedHandleTable;
using qr::testing::HeadlessRuntimeTest;

struct Record : HandleRecord {
  int value;
  std::vector<int> owned;  // records may own C++ members; they are constructed and destroyed
};

TypedHandleTable<Record> MakeTable(HandleKind kind, HandleTable::SlotPolicy policy =
                                                        HandleTable::SlotPolicy::UsedEnd,
                                   int capacity = 0) {
  HandleTable::Messages messages{"full\n", "no memory\n", false};
  return TypedHandleTable<Record>(kind, capacity ? capacity : qr::core::HandleCapacity(kind),
                                  policy, messages);
}

class HandleTables : public HeadlessRuntimeTest {
 protected:
  void SetUp() override {
    HeadlessRuntimeTest::SetUp();
    qr::core::Log().savedDirectory = dir.string();
    qr::core::CreateLogFile();
  }
};

TEST_F(HandleTables, FirstHandlesOfEachKind) {
  auto graphics = MakeTable(HandleKind::Graphic);
  auto sounds = MakeTable(HandleKind::Sound);
  auto fonts = MakeTable(HandleKind::Font, HandleTable::SlotPolicy::FirstFree);
  EXPECT_EQ(graphics.Add(), 0x08000000);
  EXPECT_EQ(graphics.Add(), 0x08010001);
  EXPECT_EQ(sounds.Add(), 0x10000000);
  EXPECT_EQ(fonts.Add(), 0x20000000);
  EXPECT_EQ(graphics.LiveCount(), 2);
  EXPECT_EQ(graphics.UsedEnd(), 2);
  graphics.DeleteAll();
  sounds.DeleteAll();
  fonts.DeleteAll();
}

TEST_F(HandleTables, InvalidHandlesAreRefused) {
  auto graphics = MakeTable(HandleKind::Graphic);
  auto sounds = MakeTable(HandleKind::Sound);
  int g = graphics.Add();
  int s = sounds.Add();
  ASSERT_EQ(g & 0xFFFF, s & 0xFFFF);  // same slot, other kind
  const int invalid[] = {
      -1, INT32_MIN, -g,
      s,                  // a sound passed where a graphic is wanted
      g | 0x8000,         // slot 32768 and above
      g + 1,              // a free slot
      g ^ (1 << 16),      // wrong check number
      0,                  // kind 0
  };
  for (int handle : invalid) EXPECT_EQ(graphics.Check(handle), nullptr) << std::hex << handle;
  EXPECT_NE(graphics.Check(g), nullptr);
  EXPECT_EQ(graphics.Delete(s), -1);
  EXPECT_EQ(graphics.Delete(-1), -1);
  EXPECT_EQ(graphics.LiveCount(), 1);
  EXPECT_TRUE(LogLines().empty()) << "refusals are silent";
  graphics.DeleteAll();
  sounds.DeleteAll();
}

TEST_F(HandleTables, StaleHandleIsRefusedAfterItsSlotIsReused) {
  auto table = MakeTable(HandleKind::Graphic);
  int old = table.Add();
  ASSERT_EQ(table.Delete(old), 0);
  int reused = table.Add();
  EXPECT_EQ(reused & 0xFFFF, old & 0xFFFF);
  EXPECT_NE(reused, old);
  EXPECT_EQ(table.Check(old), nullptr);
  EXPECT_EQ(table.Delete(old), -1);
  EXPECT_NE(table.Get(reused), nullptr);
  table.DeleteAll();
}

TEST_F(HandleTables, UsedEndRules) {
  auto table = MakeTable(HandleKind::Sound, HandleTable::SlotPolicy::UsedEnd, 8);
  int h[5];
  for (int& handle : h) handle = table.Add();
  // A slot freed below the used end is not reused while slots remain above it.
  table.Delete(h[1]);
  EXPECT_EQ(table.UsedEnd(), 5);
  EXPECT_EQ(table.Add() & 0xFFFF, 5);
  // Deleting the top shrinks the used end past the free slots below it.
  int top = qr::core::MakeHandle(HandleKind::Sound, table.At(5)->check, 5);
  table.Delete(h[3]);
  table.Delete(h[4]);
  EXPECT_EQ(table.UsedEnd(), 6);
  table.Delete(top);
  EXPECT_EQ(table.UsedEnd(), 3);
  // Once the used end reaches the capacity, the first free slot from 0 is taken.
  for (int i = 3; i < 8; ++i) EXPECT_EQ(table.Add() & 0xFFFF, i);
  EXPECT_EQ(table.Add() & 0xFFFF, 1);
  // The last live record going sets the used end to 0.
  table.DeleteAll();
  EXPECT_EQ(table.UsedEnd(), 0);
  EXPECT_EQ(table.LiveCount(), 0);
  EXPECT_EQ(table.Add() & 0xFFFF, 0);
  table.DeleteAll();
}

TEST_F(HandleTables, FirstFreePolicyTakesTheLowestSlot) {
  auto fonts = MakeTable(HandleKind::Font, HandleTable::SlotPolicy::FirstFree);
  int a = fonts.Add(), b = fonts.Add(), c = fonts.Add();
  (void)c;
  fonts.Delete(a);
  fonts.Delete(b);
  EXPECT_EQ(fonts.Add() & 0xFFFF, 0);
  fonts.DeleteAll();
}

TEST_F(HandleTables, CheckNumberWrapsAfter2048) {
  auto table = MakeTable(HandleKind::Graphic);
  int handle = -1;
  for (int i = 0; i < 2048; ++i) {
    handle = table.Add();
    table.Delete(handle);
  }
  EXPECT_EQ((handle >> 16) & 0x7FF, 2047);
  handle = table.Add();  // the 2,049th
  EXPECT_EQ(handle, 0x08000000);
  table.DeleteAll();
}

TEST_F(HandleTables, FullTableLogsAndFails) {
  auto table = MakeTable(HandleKind::Sound, HandleTable::SlotPolicy::UsedEnd, 2);
  table.Add();
  table.Add();
  EXPECT_EQ(table.Add(), -1);
  EXPECT_EQ(LogLines(), std::vector<std::string>{"full"});
  table.DeleteAll();
}

TEST_F(HandleTables, FullGraphicsTableIsFatal) {
  auto fillOneSlotTable = [] {
    HandleTable::Messages fatal{"graphics full", "no memory", true};
    TypedHandleTable<Record> table(HandleKind::Graphic, 1, HandleTable::SlotPolicy::UsedEnd, fatal);
    table.Add();
    table.Add();
  };
  EXPECT_EXIT(fillOneSlotTable(), ::testing::ExitedWithCode(255), "");
  EXPECT_EQ(LogLines(), std::vector<std::string>{"graphics full"});
}

TEST_F(HandleTables, CleanupRunsBeforeTheRecordIsFreed) {
  static int seenValue;
  auto table = MakeTable(HandleKind::Sound);
  table.SetCleanup([](HandleRecord* r) { seenValue = static_cast<Record*>(r)->value; });
  int h = table.Add();
  table.Get(h)->value = 42;
  table.Get(h)->owned.assign(100, 1);
  EXPECT_EQ(table.Delete(h), 0);
  EXPECT_EQ(seenValue, 42);
}

TEST(HandleList, NewNodesComeFirstAndRemovalRelinks) {
  qr::core::HandleListNode head, tail, a, b, c;
  qr::core::InitHandleList(head, tail);
  EXPECT_EQ(head.next, &tail);
  EXPECT_EQ(tail.previous, &head);
  int data = 0;
  qr::core::AddHandleList(head, a, 1, &data);
  qr::core::AddHandleList(head, b, 2, nullptr);
  qr::core::AddHandleList(head, c, 3, nullptr);
  std::vector<int> order;
  for (auto* n = head.next; n->next; n = n->next) order.push_back(n->handle);
  EXPECT_EQ(order, (std::vector<int>{3, 2, 1}));
  qr::core::RemoveHandleList(b);
  order.clear();
  for (auto* n = head.next; n->next; n = n->next) order.push_back(n->handle);
  EXPECT_EQ(order, (std::vector<int>{3, 1}));
  EXPECT_EQ(a.previous, &c);
  EXPECT_EQ(b.next, &a);  // the removed node keeps its own links
  EXPECT_EQ(a.data, &data);
}

}  // namespace
