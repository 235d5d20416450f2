// The qrimg tool run as a person runs it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/pictures.h"

namespace {
namespace fs = std::filesystem;
using qr::testing::Picture;

struct ToolRun {
  int status;
  std::string out;
};

ToolRun Qrimg(const std::string& arguments) {
  std::string command = std::string(QR_BUILD_DIR) + "/tools/qrimg " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ToolRun run{-1, ""};
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe)) run.out += buffer;
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class QrimgTool : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qrimg-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(QrimgTool, InfoNamesTheDecoderAndTheFormat) {
  Picture p(5, 3, 0xFF336699u);
  ASSERT_TRUE(qr::testing::WritePng(dir / "p.png", p, true));
  ToolRun r = Qrimg("info " + (dir / "p.png").string());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "decoder: PNG\nwidth: 5\nheight: 3\ncolour bits: 32\n"
            "masks: red 00FF0000 green 0000FF00 blue 000000FF alpha FF000000\n"
            "paletted: no\ncompression: none\nmips: 0\n");
}

TEST_F(QrimgTool, DecodeWritesRgbaAndAppliesTheAlphaFile) {
  Picture colour(4, 2, 0xFF102030u);
  colour.at(1, 0) = 0xFFFFFFFFu;
  Picture alpha(4, 2, 0xFF808080u);
  ASSERT_TRUE(qr::testing::WritePng(dir / "c.png", colour, false));
  ASSERT_TRUE(qr::testing::WritePng(dir / "c_a.png", alpha, false));
  EXPECT_EQ(Qrimg("decode " + (dir / "c.png").string() + " " + (dir / "out.png").string()).status, 0);
  Picture out;
  ASSERT_TRUE(qr::testing::ReadPng(dir / "out.png", out));
  EXPECT_TRUE(out.pixels == colour.pixels);  // no alpha channel: 255 everywhere
  EXPECT_EQ(Qrimg("decode --alpha " + (dir / "c.png").string() + " " + (dir / "a.png").string()).status, 0);
  ASSERT_TRUE(qr::testing::ReadPng(dir / "a.png", out));
  EXPECT_EQ(out.at(0, 0), 0x80102030u);
  EXPECT_EQ(out.at(1, 0), 0x80FFFFFFu);
}

TEST_F(QrimgTool, BadFilesGiveOneLineAndStatusOne) {
  { std::ofstream(dir / "junk.png") << "\x89PNG but not really"; }
  for (const std::string& file : {(dir / "missing.png").string(), (dir / "junk.png").string()}) {
    for (std::string verb : {"info ", "decode "}) {
      std::string arguments = verb + file;
      if (verb == "decode ") {
        arguments += ' ';
        arguments += (dir / "o.png").string();
      }
      ToolRun r = Qrimg(arguments);
      EXPECT_EQ(r.status, 1) << verb << file;
      EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    }
  }
  EXPECT_EQ(Qrimg("--help").status, 0);
  EXPECT_EQ(Qrimg("frobnicate").status, 2);
}

}  // namespace
