// API paths onto the host: separators, double-byte characters, case, "." and "..".
#include <gtest/gtest.h>

#include "file/host_path.h"
#include "file/stream_functions.h"
#include "file_fixture.h"

namespace {
using qr::file::HostPath;
using qr::file::SplitCp932Path;
using qr::testing::Sjis;

class HostPaths : public qr::testing::FileTest {
 protected:
  std::string Host(const std::string& utf8Relative) const {
    return (dir / std::filesystem::u8path(utf8Relative)).string();
  }
  // Reads a whole file through the installed stream functions; "<none>" when it does not open.
  std::string ReadThroughStreams(const std::string& path) {
    qr::file::StreamHandle handle = qr::file::Streams().Open(path.c_str(), 0, 1, 0);
    if (!handle) return "<none>";
    std::string bytes(64, '\0');
    bytes.resize(qr::file::Streams().Read(bytes.data(), 1, bytes.size(), handle));
    qr::file::Streams().Close(handle);
    return bytes;
  }
};

TEST(SplitPath, TrailBytesOf5CAreNotSeparators) {
  struct Case {
    std::string path;
    std::vector<std::string> elements;
  } cases[] = {
      {Sjis("ソ\\表/a"), {Sjis("ソ"), Sjis("表"), "a"}},   // 0x83 0x5C, 0x95 0x5C
      {Sjis("能力\\x"), {Sjis("能力"), "x"}},             // 0x94 0x5C
      {"a\\\\b/", {"a", "", "b", ""}},
      {"\\root", {"", "root"}},
      {"", {""}},
      {"\x83", {"\x83"}},  // a lead byte at the very end stands alone
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCp932Path(c.path.c_str()), c.elements) << c.path;
}

TEST_F(HostPaths, EachElementMatchesWithoutRegardToCase) {
  MakeFile("Pote/Taitol.PNG", "title");
  EXPECT_EQ(HostPath("pote\\taitol.png"), Host("Pote/Taitol.PNG"));
  EXPECT_EQ(HostPath("POTE/TAITOL.PNG"), Host("Pote/Taitol.PNG"));
  EXPECT_EQ(ReadThroughStreams("pOtE\\tAiToL.pNg"), "title");
  // A missing element is kept as written, and so is everything below it.
  EXPECT_EQ(HostPath("pote\\Gone\\X.png"), Host("Pote/Gone/X.png"));
  EXPECT_EQ(ReadThroughStreams("pote\\gone.png"), "<none>");
}

TEST_F(HostPaths, TheExactNameWinsOverOtherCases) {
  MakeFile("name.txt", "lower");
  MakeFile("NAME.txt", "upper");
  EXPECT_EQ(ReadThroughStreams("name.txt"), "lower");
  EXPECT_EQ(ReadThroughStreams("NAME.txt"), "upper");
  // Neither is exact: the first in byte order.
  EXPECT_EQ(ReadThroughStreams("Name.TXT"), "upper");
}

TEST_F(HostPaths, JapaneseNamesAndTheir5CTrailBytes) {
  MakeFile("ソ表/データ.bin", "data");
  MakeFile("アイ.txt", "katakana");
  EXPECT_EQ(HostPath(Sjis("ソ表\\データ.bin").c_str()), Host("ソ表/データ.bin"));
  EXPECT_EQ(ReadThroughStreams(Sjis("ソ表\\データ.bin")), "data");
  EXPECT_EQ(ReadThroughStreams(Sjis("ソ表/データ.BIN")), "data");
  // "ア" is 0x83 0x41: its trail byte is an 'A' that must not be folded.
  EXPECT_EQ(ReadThroughStreams(Sjis("アイ.TXT")), "katakana");
}

TEST_F(HostPaths, DotsAndAbsolutePaths) {
  MakeFile("Sub/f.txt", "f");
  EXPECT_EQ(HostPath("sub\\.\\..\\sub\\F.TXT"), Host("Sub/f.txt"));
  EXPECT_EQ(HostPath(".."), dir.parent_path().string());
  EXPECT_EQ(HostPath("\\"), "/");
  EXPECT_EQ(HostPath("/../.."), "/");
  std::string absolute = (dir / "SUB" / "F.TXT").string();
  EXPECT_EQ(HostPath(absolute.c_str()), Host("Sub/f.txt"));
  // Relative paths follow the platform's current directory.
  host.system.currentDirectory = Host("Sub");
  EXPECT_EQ(ReadThroughStreams("F.txt"), "f");
}

}  // namespace
