// The game played from pote.QRA, packed by qrpack, with the pote folder gone: the same input and
// seed give the same frames and the same high-score file as from the folder.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "replay.h"

namespace {
namespace fs = std::filesystem;
using potemaru::InputLine;
using potemaru::ReplayOptions;
using potemaru::ReplayResult;

class ArchiveReplay : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qr-archive-game-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    fs::create_directories(root / "folder");
    fs::create_directories(root / "archive");
    fs::copy(fs::path(QR_SOURCE_DIR) / "game" / "pote", root / "folder" / "pote",
             fs::copy_options::recursive);
    std::string command = std::string(QR_BUILD_DIR) + "/tools/qrpack pack '" +
                          (root / "folder" / "pote").string() + "' -o '" +
                          (root / "archive" / "pote.QRA").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  void TearDown() override { fs::remove_all(root); }

  ReplayResult Play(const fs::path& directory, const std::vector<int>& shots) {
    ReplayOptions options;
    options.directory = directory.string();
    // Start at frame 20, stand at 300 until the game is over, click at 1000 to save and go back
    // to the title.
    options.input = {{0, 300, 300, 0, {}}, {20, 300, 300, 1, {}}, {21, 300, 300, 0, {}},
                     {400, 420, 300, 0, {}}, {1000, 300, 300, 1, {}}, {1001, 300, 300, 0, {}}};
    options.seeded = true;
    options.seed = 7;
    options.frames = 1010;
    options.shotFrames = shots;
    return potemaru::RunReplay(options);
  }
  static std::string Bytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
  }
  fs::path root;
};

TEST_F(ArchiveReplay, TheGamePlaysTheSameFromItsArchive) {
  ASSERT_FALSE(fs::exists(root / "archive" / "pote"));
  const std::vector<int> shots = {0, 25, 150, 399, 600, 900, 1005};
  ReplayResult fromFolder = Play(root / "folder", shots);
  ReplayResult fromArchive = Play(root / "archive", shots);
  EXPECT_EQ(fromArchive.status, fromFolder.status);
  EXPECT_EQ(fromArchive.framesPlayed, fromFolder.framesPlayed);
  for (int frame : shots) {
    ASSERT_EQ(fromArchive.shots.count(frame), 1u) << frame;
    EXPECT_TRUE(fromArchive.shots[frame].pixels == fromFolder.shots[frame].pixels) << frame;
    // Something was drawn: the pictures came out of the archive.
    EXPECT_NE(std::count(fromArchive.shots[frame].pixels.begin(),
                         fromArchive.shots[frame].pixels.end(), 0xFF000000u),
              std::ptrdiff_t(fromArchive.shots[frame].pixels.size()))
        << frame;
  }
  std::string saved = Bytes(root / "folder" / "save.save");
  EXPECT_EQ(saved.size(), 4u);
  EXPECT_EQ(Bytes(root / "archive" / "save.save"), saved);
}

}  // namespace
