// Searching a folder through the stream functions: patterns, order, sizes, folders and dates.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>

#include "file/stream_functions.h"
#include "file_fixture.h"

namespace {
using qr::file::FoundFile;
using qr::file::StreamFunctions;
using qr::testing::Sjis;

class FindFiles : public qr::testing::FileTest,
                  public ::testing::WithParamInterface<const StreamFunctions*> {
 protected:
  // Every name the search gives, in order; the records too when asked.
  std::vector<std::string> Names(const std::string& pattern, std::vector<FoundFile>* records = nullptr) {
    const StreamFunctions& set = *GetParam();
    std::vector<std::string> names;
    FoundFile found;
    intptr_t find = set.FindFirst(pattern.c_str(), &found);
    if (find == -1) return names;
    do {
      names.push_back(found.name);
      if (records) records->push_back(found);
    } while (set.FindNext(find, &found) == 0);
    EXPECT_EQ(set.FindNext(find, &found), -1);  // stays at the end
    EXPECT_EQ(set.FindEnd(find), 0);
    return names;
  }

  void SetUp() override {
    FileTest::SetUp();
    MakeFile("a.txt", "abc");
    MakeFile("B.TXT", "12345");
    MakeFile("c.bin", "");
    MakeFile("sub/x.txt", "x");
    MakeFile("ソ表/データ.bin", "1234");
  }
};

TEST_P(FindFiles, PatternsMatchWithoutRegardToCase) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Names("*.txt"), (V{"a.txt", "B.TXT"}));
  EXPECT_EQ(Names("?.BIN"), (V{"c.bin"}));
  EXPECT_EQ(Names("b.txt"), (V{"B.TXT"}));
  EXPECT_EQ(Names("*"), (V{".", "..", "a.txt", "B.TXT", "c.bin", "sub", Sjis("ソ表")}));
  EXPECT_EQ(Names("*.*"), Names("*"));
  EXPECT_EQ(Names("SUB\\*"), (V{".", "..", "x.txt"}));
  EXPECT_EQ(Names(Sjis("ソ表\\*.bin")), (V{Sjis("データ.bin")}));
  EXPECT_EQ(Names(Sjis("ソ表/デ?タ.*")), (V{Sjis("データ.bin")}));
  EXPECT_EQ(Names("*x*"), (V{"a.txt", "B.TXT"}));
  EXPECT_TRUE(Names("none*").empty());
  EXPECT_TRUE(Names("missing\\*").empty());
  EXPECT_TRUE(Names("sub\\").empty());
}

TEST_P(FindFiles, RecordsCarrySizeFolderFlagAndLocalDates) {
  // 2020-01-02 03:04:05 UTC is 12:04:05 in Japan.
  const char* oldZone = std::getenv("TZ");
  std::string saved = oldZone ? oldZone : "";
  setenv("TZ", "JST-9", 1);
  tzset();
  timespec times[2] = {{1577934245, 0}, {1577934245, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir / "B.TXT").c_str(), times, 0), 0);

  std::vector<FoundFile> records;
  Names("*", &records);
  oldZone ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
  tzset();
  ASSERT_EQ(records.size(), 7u);
  const FoundFile& file = records[3];
  EXPECT_STREQ(file.name, "B.TXT");
  EXPECT_EQ(file.directory, 0);
  EXPECT_EQ(file.sizeLow, 5);
  EXPECT_EQ(file.sizeHigh, 0);
  const qr::file::DateRecord& date = file.lastWriteTime;
  EXPECT_EQ(std::vector<int>({date.year, date.month, date.day, date.hour, date.minute, date.second}),
            std::vector<int>({2020, 1, 2, 12, 4, 5}));
  EXPECT_GE(file.creationTime.year, 2020);
  EXPECT_EQ(records[5].directory, 1);  // sub
  EXPECT_EQ(records[0].directory, 1);  // .
  EXPECT_EQ(records[4].sizeLow, 0);    // c.bin
}

TEST_P(FindFiles, OutRecordMayBeAbsent) {
  const StreamFunctions& set = *GetParam();
  intptr_t find = set.FindFirst("*.txt", nullptr);
  ASSERT_NE(find, -1);
  EXPECT_EQ(set.FindNext(find, nullptr), 0);
  EXPECT_EQ(set.FindNext(find, nullptr), -1);
  EXPECT_EQ(set.FindEnd(find), 0);
  EXPECT_EQ(set.FindEnd(find), -1);  // already ended
  EXPECT_EQ(set.FindFirst(std::string(300, 'a').c_str(), nullptr), -1);
}

INSTANTIATE_TEST_SUITE_P(, FindFiles,
                         ::testing::Values(&qr::file::kArchiveStreamFunctions,
                                           &qr::file::kPlainStreamFunctions),
                         [](const auto& info) {
                           return std::string(info.index == 0 ? "ArchiveAware" : "Plain");
                         });

}  // namespace
