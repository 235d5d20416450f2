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

namespace {

TEST_F(QrimgTool, TextDrawsTheStringInItsBox) {
  fs::path out = dir / "hp.png";
  ToolRun r = Qrimg("text 'HP 10' " + out.string() + " --size 29 --type 3 --colour FF8000");
  ASSERT_EQ(r.status, 0) << r.out;
  Picture p;
  ASSERT_TRUE(qr::testing::ReadPng(out, p));
  EXPECT_EQ(p.height, 32);  // the cell: 29 and the edge above and below, made even
  EXPECT_GT(p.width, 5 * 14);
  EXPECT_LT(p.width, 5 * 20);
  int body = 0, edge = 0, clear = 0;
  for (uint32_t c : p.pixels) {
    body += c == 0xFFFF8000u;
    edge += c == 0xFF000000u;
    clear += (c >> 24) == 0;
  }
  EXPECT_GT(body, 50);
  EXPECT_GT(edge, 50);
  EXPECT_GT(clear, p.width * p.height / 3);
  EXPECT_EQ(p.at(0, 0) >> 24, 0u);

  // Japanese text, and the plain type without an edge.
  r = Qrimg("text 'ぽてまる' " + out.string());
  ASSERT_EQ(r.status, 0) << r.out;
  ASSERT_TRUE(qr::testing::ReadPng(out, p));
  EXPECT_EQ(p.height, 16);
  EXPECT_GT(p.width, 4 * 12);
}

TEST_F(QrimgTool, TextRefusesWhatShiftJisCannotSay) {
  ToolRun r = Qrimg("text 'ok 😀' " + (dir / "x.png").string());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("😀"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir / "x.png"));
  EXPECT_EQ(Qrimg("text A " + (dir / "x.png").string() + " --size big").status, 2);
  EXPECT_EQ(Qrimg("text A " + (dir / "x.png").string() + " --colour 12345").status, 2);
  EXPECT_EQ(Qrimg("text A " + (dir / "x.png").string() + " --size 3000").status, 1);
}

}  // namespace
