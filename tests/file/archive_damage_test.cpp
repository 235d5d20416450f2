// Damaged archives: every offset, size and link of the tables is checked before it is used. A
// damaged table means the archive does not open (and its folder is read from the disk); a damaged
// entry fails to open while the rest of the archive reads on.
#include <gtest/gtest.h>

#include <functional>

#include "archive_fixture.h"
#include "file/archive.h"

namespace {
using qr::testing::File;
using qr::testing::Folder;

void Put32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = char(value >> (8 * i));
}
uint32_t Get32(const std::string& bytes, size_t at) {
  return qr::file::Load32(reinterpret_cast<const unsigned char*>(bytes.data() + at));
}

// The archive in the clear, with the places of its tables.
struct Layout {
  std::string bytes;
  size_t Entry(int i) const { return Get32(bytes, 12) + Get32(bytes, 16) + size_t(44 * i); }
  size_t Directory(int i) const { return Get32(bytes, 12) + Get32(bytes, 20) + size_t(16 * i); }
  size_t Data(int entry) const { return 24 + Get32(bytes, Entry(entry) + 32); }
};

struct Damage {
  const char* what;
  std::function<void(Layout&)> apply;
};

class DamagedArchives : public qr::testing::ArchiveTest {
 protected:
  void SetUp() override {
    ArchiveTest::SetUp();
    // Entries: 0 "A" (folder 1), 1 "d.bin" (packed); folder 1: 2 "B" (folder 2); folder 2: 3
    // "c.txt". Folders: 0 the root, 1 A, 2 B.
    layout.bytes = Archive({Folder("A", {Folder("B", {File("c.txt", "archive bytes")})}),
                            File("d.bin", std::string(3000, 'd'))});
    Descramble(layout.bytes);
    ASSERT_NE(Get32(layout.bytes, layout.Entry(1) + 40), 0xFFFFFFFFu);  // d.bin is packed
    MakeFile("x/A/B/c.txt", "plain");
    MakeFile("x/d.bin", "plain");
  }
  static void Descramble(std::string& bytes) {
    qr::file::ScrambleArchiveBytes(qr::file::BuildArchiveKey(nullptr), 0, bytes.data(), bytes.size());
  }
  void Write(const Damage& damage) {
    Layout damaged = layout;
    damage.apply(damaged);
    Descramble(damaged.bytes);
    qr::file::CloseUnusedArchiveFiles();
    MakeFile("x.QRA", damaged.bytes);
  }
  Layout layout;
};

TEST_F(DamagedArchives, TheUndamagedArchiveReadsFromTheArchive) {
  Write({"nothing", [](Layout&) {}});
  EXPECT_EQ(ReadAll("x\\A\\B\\c.txt"), "archive bytes");
  EXPECT_EQ(ReadAll("x\\d.bin"), std::string(3000, 'd'));
}

TEST_F(DamagedArchives, DamagedTablesKeepTheArchiveShut) {
  const Damage damages[] = {
      {"magic", [](Layout& l) { l.bytes[1] = 'X'; }},
      {"version 4", [](Layout& l) { l.bytes[2] = 4; }},
      {"table size past the file", [](Layout& l) { Put32(l.bytes, 4, Get32(l.bytes, 4) + 1); }},
      {"table offset past the file", [](Layout& l) { Put32(l.bytes, 12, 0xFFFFFFF0u); }},
      {"file table past the block", [](Layout& l) { Put32(l.bytes, 16, Get32(l.bytes, 4) + 4); }},
      {"directory table past the block",
       [](Layout& l) { Put32(l.bytes, 20, Get32(l.bytes, 4) - 8); }},
      {"the root has a parent", [](Layout& l) { Put32(l.bytes, l.Directory(0) + 4, 0); }},
      {"a folder that is the root", [](Layout& l) { Put32(l.bytes, l.Entry(0) + 32, 0); }},
      {"a folder that contains itself", [](Layout& l) { Put32(l.bytes, l.Entry(2) + 32, 16); }},
      {"a folder with a wrong parent", [](Layout& l) { Put32(l.bytes, l.Directory(2) + 4, 0); }},
      {"a folder between entries", [](Layout& l) { Put32(l.bytes, l.Entry(0) + 32, 8); }},
      {"a folder past the table", [](Layout& l) { Put32(l.bytes, l.Entry(0) + 32, 0x7FFFFFF0u); }},
      {"more entries than the table holds",
       [](Layout& l) { Put32(l.bytes, l.Directory(1) + 8, 1000000); }},
      {"entries that overflow", [](Layout& l) { Put32(l.bytes, l.Directory(1) + 8, 0xFFFFFFFFu); }},
      {"a first entry between entries",
       [](Layout& l) { Put32(l.bytes, l.Directory(1) + 12, Get32(l.bytes, l.Directory(1) + 12) + 4); }},
      {"a name past the table", [](Layout& l) { Put32(l.bytes, l.Entry(3), 0x00FFFFFFu); }},
      {"a name longer than the table",
       [](Layout& l) {
         size_t name = Get32(l.bytes, 12) + Get32(l.bytes, l.Entry(1));
         l.bytes[name] = char(0xFF);
         l.bytes[name + 1] = char(0xFF);
       }},
      {"a name of length 0",
       [](Layout& l) {
         size_t name = Get32(l.bytes, 12) + Get32(l.bytes, l.Entry(1));
         l.bytes[name] = 0;
         l.bytes[name + 1] = 0;
       }},
  };
  for (const Damage& damage : damages) {
    Write(damage);
    EXPECT_EQ(ReadAll("x\\A\\B\\c.txt"), "plain") << damage.what;
    EXPECT_EQ(ReadAll("x\\d.bin"), "plain") << damage.what;
  }
  // A file too short for a header is no archive either.
  Write({"cut", [](Layout& l) { l.bytes.resize(20); }});
  EXPECT_EQ(ReadAll("x\\d.bin"), "plain");
}

TEST_F(DamagedArchives, ADamagedEntryFailsAndTheOthersStillRead) {
  const Damage damages[] = {
      {"data past the file", [](Layout& l) { Put32(l.bytes, l.Entry(1) + 32, 0x10000000u); }},
      {"packed size past the file",
       [](Layout& l) { Put32(l.bytes, l.Entry(1) + 40, uint32_t(l.bytes.size())); }},
      {"packed size below its header", [](Layout& l) { Put32(l.bytes, l.Entry(1) + 40, 5); }},
      {"data size other than the unpacked size",
       [](Layout& l) { Put32(l.bytes, l.Entry(1) + 36, 2999); }},
      {"a data size of 2 GiB", [](Layout& l) { Put32(l.bytes, l.Entry(1) + 36, 0x80000000u); }},
      {"unpacked size in the data that disagrees",
       [](Layout& l) { Put32(l.bytes, l.Data(1), 3001); }},
      {"packed size in the data that disagrees",
       [](Layout& l) { Put32(l.bytes, l.Data(1) + 4, Get32(l.bytes, l.Data(1) + 4) - 1); }},
  };
  for (const Damage& damage : damages) {
    Write(damage);
    EXPECT_EQ(ReadAll("x\\d.bin"), "<none>") << damage.what;
    EXPECT_EQ(ReadAll("x\\A\\B\\c.txt"), "archive bytes") << damage.what;
    // Asynchronous opens see the same.
    EXPECT_EQ(ReadAll("x\\d.bin", 100, 1).size() == 3000, false) << damage.what;
  }
}

}  // namespace
