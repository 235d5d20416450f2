#include <gtest/gtest.h>

#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "support/headless_runtime.h"
#include "qr.h"

namespace {
using qr::testing::HeadlessRuntimeTest;

class TrackedMemory : public HeadlessRuntimeTest {
 protected:
  void SetUp() override {
    HeadlessRuntimeTest::SetUp();
    qr::core::Log().savedDirectory = dir.string();
    qr::core::CreateLogFile();
    base = qr::core::CurrentMemoryTotals();
  }
  // Block lines with the varying address replaced by "ADDR".
  std::vector<std::string> Lines() {
    std::vector<std::string> lines = LogLines();
    for (std::string& line : lines) {
      size_t at = line.find("addr:");
      if (at != std::string::npos) line.replace(at + 5, line.find(' ', at) - at - 5, "ADDR");
    }
    return lines;
  }
  qr::core::MemoryTotals base{};
};

TEST_F(TrackedMemory, DumpListsLiveBlocksNewestFirst) {
  char* a = static_cast<char*>(AllocMemory(3, "a.cpp", 10));
  char* b = static_cast<char*>(AllocMemory(100, "b.cpp", 20));
  char* c = static_cast<char*>(AllocMemory(2048, "c.cpp", 30));
  std::memcpy(a, "ab\n", 3);
  std::memset(c, 'z', 2048);
  FreeMemory(b);
  // Other tests may have left blocks; only this test's are counted here.
  ASSERT_EQ(qr::core::CurrentMemoryTotals().blockCount, base.blockCount + 2);
  ASSERT_EQ(base.blockCount, 0) << "this test wants an empty allocator";
  DumpMemory();
  unsigned id = base.nextId;
  std::vector<std::string> expected = {
      "",
      "Alloc memory dump",
      "\tsize:2048(2.000kb)  file:c.cpp  line:30  ID:" + std::to_string(id + 2) +
          "  addr:ADDR  data:<zzzzzzzzzzzzzzzz> [7a 7a 7a 7a 7a 7a 7a 7a 7a 7a 7a 7a 7a 7a 7a 7a]",
      "\tsize:3(0.003kb)  file:a.cpp  line:10  ID:" + std::to_string(id) +
          "  addr:ADDR  data:<ab.> [61 62 0a]",
      "\tTotal size:2051(2.003kb)  Alloc num:2",
      "",
  };
  EXPECT_EQ(Lines(), expected);
  FreeMemory(a);
  FreeMemory(c);
}

TEST_F(TrackedMemory, FileNameKeepsItsLast15Characters) {
  void* p = AllocMemory(1, "abcde/0123456789.cpp", 65536 + 7);  // the line is kept in 16 bits
  auto* header = reinterpret_cast<qr::core::BlockHeader*>(static_cast<char*>(p) - sizeof(qr::core::BlockHeader));
  EXPECT_STREQ(header->file, "e/0123456789.cpp" + 1);
  EXPECT_EQ(header->line, 7);
  FreeMemory(p);
  void* q = AllocMemory(1, nullptr, 0);
  header = reinterpret_cast<qr::core::BlockHeader*>(static_cast<char*>(q) - sizeof(qr::core::BlockHeader));
  EXPECT_STREQ(header->file, "");
  FreeMemory(q);
}

TEST_F(TrackedMemory, EmptyBlockAndHighBytesInTheDataColumn) {
  qr::core::Memory().logAll = 1;
  void* zero = AllocMemory(0, "z", 1);
  unsigned char* high = static_cast<unsigned char*>(AllocMemory(2, "h", 2));
  high[0] = 0x80;
  high[1] = ' ';
  FreeMemory(high);
  FreeMemory(zero);
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[0].find("mem alloc  \tsize:0(0.000kb)  file:z  line:1"), std::string::npos);
  EXPECT_TRUE(lines[0].ends_with("data:<> ]"));  // the "[" is what the "]" replaces
  EXPECT_NE(lines[2].find("mem free  \tsize:2(0.002kb)"), std::string::npos);
  EXPECT_TRUE(lines[2].ends_with("data:<. > [80 20]")) << lines[2];
}

TEST_F(TrackedMemory, OnlyTheWatchedSizeIsLoggedByDefault) {
  FreeMemory(AllocMemory(5, "", 0));
  EXPECT_TRUE(Lines().empty());
  FreeMemory(AllocMemory(0, "", 0));  // the watched size is 0
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("mem alloc  \tsize:0", 0), 0u);
  EXPECT_EQ(lines[1].rfind("mem free  \tsize:0", 0), 0u);
}

TEST_F(TrackedMemory, TotalsLineFollowsEachOperationWhenAsked) {
  qr::core::Memory().logTotals = 1;
  void* p = AllocMemory(10, "", 0);
  FreeMemory(p);
  std::vector<std::string> lines = Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "\tTotal size:" + std::to_string(base.totalSize + 10) + "(" +
                          [&] { char b[32]; snprintf(b, sizeof b, "%.3f", (base.totalSize + 10) / 1024.0); return std::string(b); }() +
                          "kb)  Alloc num:" + std::to_string(base.blockCount + 1));
}

TEST_F(TrackedMemory, IdWrapsAfter65535) {
  uint16_t start = qr::core::CurrentMemoryTotals().nextId;
  for (int i = 0; i < 65536; ++i) FreeMemory(AllocMemory(1, "", 0));
  EXPECT_EQ(qr::core::CurrentMemoryTotals().nextId, start);
}

TEST_F(TrackedMemory, OverwrittenHeaderIsFoundAndNotUnlinked) {
  void* a = AllocMemory(8, "a", 1);
  unsigned char* b = static_cast<unsigned char*>(AllocMemory(8, "b", 2));
  EXPECT_EQ(CheckMemory(), 0);
  b[-1] ^= 0xFF;  // the last byte of b's header
  EXPECT_EQ(CheckMemory(), -1);
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("以下のメモリ確保情報が破損しました\tsize:8(0.008kb)  file:b  line:2", 0), 0u);
  // Its links can no longer be trusted: freeing it reports it and leaves the list as it is.
  FreeMemory(b);
  EXPECT_EQ(qr::core::CurrentMemoryTotals().blockCount, base.blockCount + 2);
  b[-1] ^= 0xFF;  // repaired, it can go
  FreeMemory(b);
  FreeMemory(a);
  EXPECT_EQ(CheckMemory(), 0);
  EXPECT_EQ(qr::core::CurrentMemoryTotals().blockCount, base.blockCount);
}

TEST_F(TrackedMemory, ReallocKeepsDataZeroesGrowthAndRelinks) {
  char* a = static_cast<char*>(AllocMemory(4, "", 0));
  char* b = static_cast<char*>(AllocMemory(4, "", 0));
  char* c = static_cast<char*>(AllocMemory(4, "", 0));
  std::memcpy(b, "wxyz", 4);
  b = static_cast<char*>(ReallocMemory(b, 100000, "grow", 5));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(std::memcmp(b, "wxyz", 4), 0);
  for (int i = 4; i < 100000; ++i) ASSERT_EQ(b[i], 0) << i;
  EXPECT_EQ(CheckMemory(), 0);
  EXPECT_EQ(qr::core::CurrentMemoryTotals().totalSize, base.totalSize + 100008);
  char* d = static_cast<char*>(ReallocMemory(nullptr, 3, "", 0));  // null allocates
  ASSERT_NE(d, nullptr);
  // A request too large for the header's size field fails and leaves the block as it was.
  EXPECT_EQ(ReallocMemory(a, size_t(1) << 40, "", 0), nullptr);
  EXPECT_EQ(AllocMemory(size_t(1) << 40, "", 0), nullptr);
  EXPECT_EQ(CheckMemory(), 0);
  for (char* p : {a, b, c, d}) FreeMemory(p);
  EXPECT_EQ(qr::core::CurrentMemoryTotals().blockCount, base.blockCount);
  FreeMemory(nullptr);
}

TEST_F(TrackedMemory, ZeroedAllocation) {
  unsigned char* p = static_cast<unsigned char*>(AllocZeroMemory(4096, "", 0));
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(p[i], 0);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
  FreeMemory(p);
}

TEST_F(TrackedMemory, CheckAlwaysRunsBeforeEachOperation) {
  qr::core::Memory().checkAlways = 1;
  unsigned char* a = static_cast<unsigned char*>(AllocMemory(8, "a", 1));
  a[-1] ^= 1;
  void* b = AllocMemory(8, "b", 1);  // reports a
  EXPECT_EQ(Lines().size(), 1u);
  // Linking b after a refreshed a's guard, so the next check finds nothing.
  FreeMemory(b);
  FreeMemory(a);
  EXPECT_EQ(Lines().size(), 1u);
}

}  // namespace
