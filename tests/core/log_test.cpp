#include <gtest/gtest.h>

#include "core/log.h"
#include "support/headless_runtime.h"
#include "qr.h"

namespace {
using qr::testing::HeadlessRuntimeTest;
using qr::testing::Sjis;

// The log on its own: a log file made in the test directory as start-up makes it, without the
// rest of start-up, so each case sees exactly the bytes it wrote.
class LogFile : public HeadlessRuntimeTest {
 protected:
  void StartLog() {
    qr::core::Log().savedDirectory = dir.string();
    qr::core::CreateLogFile();
  }
  // The bytes with every "<digits>:" at a line start removed.
  std::string Unstamped() {
    std::string bytes = ReadLogBytes(), out;
    bool lineStart = true;
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (lineStart) {
        size_t j = i;
        while (j < bytes.size() && isdigit(static_cast<unsigned char>(bytes[j]))) ++j;
        if (j > i && j < bytes.size() && bytes[j] == ':') i = j + 1;
      }
      if (i >= bytes.size()) break;
      out += bytes[i];
      lineStart = bytes[i] == '\n';
    }
    return out;
  }
};

TEST_F(LogFile, TextBeforeStartIsDropped) {
  EXPECT_EQ(WriteLog("early\n"), -1);
  StartLog();
  EXPECT_EQ(ReadLogBytes(), "");
}

struct LineCase {
  std::vector<std::string> writes;
  std::string expected;  // without time stamps
};

TEST_F(LogFile, LineEndsIndentationAndJoining) {
  const LineCase cases[] = {
      {{"a\n"}, "a\r\n"},
      {{"a\nb\n"}, "a\r\nb\r\n"},
      // From an LF that already follows a CR on, the text is copied as it is.
      {{"x\r\ny\nz\n"}, "x\r\ny\nz\n"},
      {{"\n"}, "\r\n"},
      // A text without a line end is continued by the next one: no stamp, no tabs for it.
      {{"part ", "rest\n"}, "part rest\r\n"},
      {{"", "after empty\n"}, "after empty\r\n"},
  };
  for (const LineCase& c : cases) {
    StartLog();
    for (const std::string& text : c.writes) WriteLog(text.c_str());
    EXPECT_EQ(Unstamped(), c.expected);
  }
}

TEST_F(LogFile, TabsFollowTheIndentation) {
  StartLog();
  AddLogIndent();
  AddLogIndent();
  WriteLog(Sjis("ＣＯＭの初期化... ").c_str());
  AddLogIndent();  // changes nothing for the line already begun
  WriteLog(Sjis("成功しました\n").c_str());
  SubLogIndent();
  SubLogIndent();
  SubLogIndent();
  SubLogIndent();  // below 0 stays 0
  EXPECT_EQ(qr::core::Log().indentation, 0);
  WriteLog("flat\n");
  EXPECT_EQ(Unstamped(), Sjis("\t\tＣＯＭの初期化... 成功しました\r\nflat\r\n"));
}

TEST_F(LogFile, DoubleByteTextAndATrailingLeadByteAreCopiedWhole) {
  // A lead byte at the very end must not swallow the terminator.
  StartLog();
  WriteLog(Sjis("ソ表\n").c_str());
  std::string lead("\x83", 1);
  WriteLog(lead.c_str());
  EXPECT_EQ(Unstamped(), Sjis("ソ表") + "\r\n" + lead);
}

TEST_F(LogFile, LongTextsAreConvertedWhole) {
  StartLog();
  std::string text;
  for (int i = 0; i < 200; ++i) text += "line\n";
  WriteLog(text.c_str());
  std::string expected;
  for (int i = 0; i < 200; ++i) expected += "line\r\n";
  EXPECT_EQ(Unstamped(), expected);
}

TEST_F(LogFile, StampCountsFromTheFilesCreation) {
  host.clock.stepPerReadMicroseconds = 0;
  host.clock.Advance(5000000);
  StartLog();
  host.clock.Advance(1234000);
  WriteLog("x\n");
  EXPECT_EQ(ReadLogBytes(), "1234:x\r\n");
}

TEST_F(LogFile, FormattedTextGetsALineEnd) {
  StartLog();
  EXPECT_EQ(WriteLogFormat("%d-%s", 7, "z"), -1);
  std::string huge(3000, 'q');
  WriteLogFormat("%s", huge.c_str());  // cut to the buffer, still ended
  std::string text = Unstamped();
  EXPECT_EQ(text.substr(0, 5), "7-z\r\n");
  EXPECT_EQ(text.substr(text.size() - 3), "q\r\n");
  EXPECT_LT(text.size(), 1100u);
}

TEST_F(LogFile, UnwritableLogLosesTextSilently) {
  StartLog();
  WriteLog("kept ");
  // A directory in the file's place cannot be opened for writing, whoever runs the test.
  std::filesystem::rename(dir / "Log.txt", dir / "saved");
  std::filesystem::create_directory(dir / "Log.txt");
  EXPECT_EQ(WriteLog("lost\n"), -1);
  std::filesystem::remove(dir / "Log.txt");
  std::filesystem::rename(dir / "saved", dir / "Log.txt");
  // The mid-line state is unchanged by the lost text.
  WriteLog("joined\n");
  EXPECT_EQ(Unstamped(), "kept joined\r\n");
}

TEST_F(LogFile, MissingDirectoryLosesTextSilently) {
  qr::core::Log().savedDirectory = (dir / "gone").string();
  qr::core::CreateLogFile();
  EXPECT_EQ(WriteLog("nowhere\n"), -1);
  EXPECT_FALSE(LogExists());
}

TEST_F(LogFile, DisabledLogWritesNothing) {
  SetLogFileEnabled(0);
  StartLog();
  WriteLog("x\n");
  EXPECT_FALSE(LogExists());
  EXPECT_EQ(host.system.debugText, "");
}

TEST_F(LogFile, DebuggerOutputGetsTabsAndTextButNoStamp) {
  StartLog();
  AddLogIndent();
  WriteLog("dbg\n");
  EXPECT_EQ(host.system.debugText, "\tdbg\r\n");
}

TEST_F(LogFile, DateStampedName) {
  qr::core::Log().dateStampedName = 1;
  StartLog();
  WriteLog("x\n");
  std::string name = qr::core::Log().fileName;
  EXPECT_TRUE(std::filesystem::exists(dir / name));
  EXPECT_EQ(name.substr(0, 3), "Log");
  EXPECT_EQ(name.substr(name.size() - 4), ".txt");
  EXPECT_EQ(std::count(name.begin(), name.end(), '_'), 5);
}

TEST_F(LogFile, TimeStampsOff) {
  qr::core::Log().timeStampsOff = 1;
  StartLog();
  WriteLog("plain\n");
  EXPECT_EQ(ReadLogBytes(), "plain\r\n");
}

}  // namespace
