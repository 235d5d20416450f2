// The memory reader: whole elements, the short tail element, the end flag and clamped seeks.
#include <gtest/gtest.h>

#include <cstring>

#include "core/memory.h"
#include "file/stream_reader.h"

namespace {

TEST(MemoryReader, TailShorterThanAnElementComesAsOne) {
  const char data[] = "0123456789";
  qr::file::StreamReader reader;
  ASSERT_TRUE(qr::file::OpenMemoryReader(data, 10, reader));
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  // Two whole elements of four fit; the two tail bytes stay for the next read.
  EXPECT_EQ(reader.Read(buffer, 4, 5), 2u);
  EXPECT_EQ(std::string(buffer, 10), "01234567##");
  EXPECT_EQ(reader.Tell(), 8);
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(reader.Read(buffer, 4, 1), 1u);
  EXPECT_EQ(std::string(buffer, 4), "89##");
  EXPECT_EQ(reader.Tell(), 10);
  EXPECT_EQ(reader.AtEnd(), 0);
  EXPECT_EQ(reader.Read(buffer, 1, 1), 0u);
  EXPECT_EQ(reader.AtEnd(), 1);
  EXPECT_EQ(reader.IsIdle(), 1);
  EXPECT_EQ(reader.Close(), 0);
}

TEST(MemoryReader, SeeksAreClampedAndClearTheEnd) {
  const char data[] = "abcdef";
  qr::file::StreamReader reader;
  ASSERT_TRUE(qr::file::OpenMemoryReader(data, 6, reader));
  char c;
  struct Case {
    int32_t offset;
    int origin;
    int32_t position;
  } cases[] = {{2, 0, 2}, {-1, 1, 5}, {-1, 2, 5}, {100, 0, 6}, {-100, 1, 0}, {1, 2, 6},
               {INT32_MIN, 2, 0}, {INT32_MAX, 1, 6}};
  for (const Case& k : cases) {
    reader.Seek(0, 2);
    reader.Read(&c, 1, 1);
    ASSERT_EQ(reader.AtEnd(), 1);
    EXPECT_EQ(reader.Seek(k.offset, k.origin), 0);
    EXPECT_EQ(reader.Tell(), k.position) << k.offset << " " << k.origin;
    EXPECT_EQ(reader.AtEnd(), 0);
  }
  // A count of 0 and an element size of 0 copy nothing.
  reader.Seek(0, 0);
  EXPECT_EQ(reader.Read(&c, 1, 0), 0u);
  EXPECT_EQ(reader.Read(&c, 0, 3), 0u);
  EXPECT_EQ(reader.Tell(), 0);
  // A count whose byte total overflows reads what the block holds.
  char all[6];
  EXPECT_EQ(reader.Read(all, 2, SIZE_MAX), 3u);
  EXPECT_EQ(std::string(all, 6), "abcdef");
  reader.Close();
}

TEST(MemoryReader, CloseFreesOnlyItsRecord) {
  int before = qr::core::CurrentMemoryTotals().blockCount;
  std::string data = "keep";
  qr::file::StreamReader reader;
  ASSERT_TRUE(qr::file::OpenMemoryReader(data.data(), data.size(), reader));
  EXPECT_EQ(qr::core::CurrentMemoryTotals().blockCount, before + 1);
  reader.Close();
  EXPECT_EQ(qr::core::CurrentMemoryTotals().blockCount, before);
  EXPECT_EQ(data, "keep");
}

}  // namespace
