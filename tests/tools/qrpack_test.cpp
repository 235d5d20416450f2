// qrpack run as a person runs it: folder trees packed and extracted again through the runtime,
// listings, single entries, keys, and the refusals.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {
namespace fs = std::filesystem;

struct ToolRun {
  int status;
  std::string out;
};

ToolRun Qrpack(const std::string& arguments, bool withErrors = true) {
  std::string command = std::string(QR_BUILD_DIR) + "/tools/qrpack " + arguments +
                        (withErrors ? " 2>&1" : " 2>/dev/null");
  FILE* pipe = popen(command.c_str(), "r");
  ToolRun run{-1, ""};
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

long WriteSeconds(const fs::path& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? long(info.st_mtime) : -1;
}

std::string Quote(const fs::path& path) {
  std::string quoted(1, '\'');
  quoted += path.string();
  quoted += '\'';
  return quoted;
}

std::string Bytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// Every file and folder below `root`: relative path -> contents ("/" for a folder).
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
    std::string relative = fs::relative(e.path(), root).string();
    tree[relative] = e.is_directory() ? "/" : Bytes(e.path());
  }
  return tree;
}

class QrpackTool : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qrpack-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }
  void Make(const std::string& relative, const std::string& bytes) {
    fs::path path = dir / fs::u8path(relative);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  // A tree with what names and data can be: Japanese names whose second bytes are 0x5C
  // ("ソ", "表") or letters ("Ｂ" is 0x82 0x61), nesting, an empty folder, empty files, data
  // that packs and data that does not.
  void MakeTree() {
    std::string text, noise(40000, '\0');
    while (text.size() < 50000) text += "ぽてまる catches ぽてこ. ";
    uint32_t state = 99;
    for (char& c : noise) c = char((state = state * 1103515245u + 12345u) >> 23);
    Make("assets/ソフト/表.txt", text);
    Make("assets/ソフト/Ｂｂ.bin", noise);
    Make("assets/ソフト/深い/さらに/empty.dat", "");
    Make("assets/Title.PNG", noise.substr(0, 1000));
    Make("assets/zero", "");
    Make("assets/music.mp3", text + noise);
    fs::create_directories(dir / "assets" / "nothing");
  }
  fs::path dir;
};

TEST_F(QrpackTool, PackThenExtractGivesTheSameTree) {
  MakeTree();
  for (const char* options : {"", "--store", "--version 1", "--version 0", "--version 2",
                              "--key 'my game' --version 3"}) {
    fs::remove(dir / "assets.QRA");
    fs::remove_all(dir / "out");
    ToolRun pack = Qrpack("pack " + Quote(dir / "assets") + " " + options);
    ASSERT_EQ(pack.status, 0) << options << pack.out;
    EXPECT_EQ(pack.out, "");
    ASSERT_TRUE(fs::exists(dir / "assets.QRA")) << options;
    std::string key = std::string(options).find("--key") != std::string::npos ? " --key 'my game'" : "";
    ToolRun extract = Qrpack("extract " + Quote(dir / "assets.QRA") + " " + Quote(dir / "out") + key);
    ASSERT_EQ(extract.status, 0) << options << extract.out;
    EXPECT_TRUE(Tree(dir / "assets") == Tree(dir / "out")) << options;
    // Last write times come back too.
    EXPECT_EQ(WriteSeconds(dir / "out" / "zero"), WriteSeconds(dir / "assets" / "zero")) << options;
    EXPECT_NE(WriteSeconds(dir / "out" / "zero"), -1);
  }
}

TEST_F(QrpackTool, ListShowsSizesPackedSizesAndPaths) {
  Make("p/a.txt", std::string(5000, 'a'));
  Make("p/sub/b.bin", "xyz");
  ASSERT_EQ(Qrpack("pack " + Quote(dir / "p") + " -o " + Quote(dir / "packed.dat")).status, 0);
  ToolRun list = Qrpack("list " + Quote(dir / "packed.dat"));
  ASSERT_EQ(list.status, 0) << list.out;
  std::istringstream lines(list.out);
  std::string size, packed, date, time, path;
  lines >> size >> packed >> date >> time >> path;
  EXPECT_EQ(size, "5000");
  EXPECT_LT(std::stoi(packed), 100);
  EXPECT_EQ(path, "a.txt");
  EXPECT_EQ(date.size(), 10u);
  lines >> size >> packed >> date >> time >> path;
  EXPECT_EQ(path, "sub/");
  lines >> size >> packed >> date >> time >> path;
  EXPECT_EQ(size + " " + packed + " " + path, "3 - sub/b.bin");  // too small to pack
}

TEST_F(QrpackTool, CatWritesOneEntryThroughTheRuntime) {
  MakeTree();
  ASSERT_EQ(Qrpack("pack " + Quote(dir / "assets")).status, 0);
  ToolRun cat = Qrpack("cat " + Quote(dir / "assets.QRA") + " ソフト/表.TXT", false);
  EXPECT_EQ(cat.status, 0);
  EXPECT_TRUE(cat.out == Bytes(dir / "assets" / fs::u8path("ソフト/表.txt")));
  ToolRun missing = Qrpack("cat " + Quote(dir / "assets.QRA") + " nothing.txt");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "qrpack: no such entry: nothing.txt\n");
}

TEST_F(QrpackTool, KeysArePrintedAsTheRuntimeBuildsThem) {
  ToolRun none = Qrpack("key");
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, "9930A9792C25AFCC97005E47\n");
  EXPECT_EQ(Qrpack("key ''").out, none.out);
  EXPECT_EQ(Qrpack("key abc").out, Qrpack("key abcabcabcabcXYZ").out);
  EXPECT_NE(Qrpack("key abc").out, none.out);
}

TEST_F(QrpackTool, FailuresGiveOneMessageAndStatusOne) {
  Make("bad/caf\xC3\xA9.txt", "e with an accent is not in Shift-JIS");
  ToolRun refused = Qrpack("pack " + Quote(dir / "bad"));
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "qrpack: a name Shift-JIS cannot express: " + (dir / "bad" / "caf\xC3\xA9.txt").string() + "\n");
  EXPECT_FALSE(fs::exists(dir / "bad.QRA"));

  Make("good/a.txt", "a");
  ASSERT_EQ(Qrpack("pack " + Quote(dir / "good") + " --key right").status, 0);
  ToolRun wrongKey = Qrpack("list " + Quote(dir / "good.QRA") + " --key wrong");
  EXPECT_EQ(wrongKey.status, 1);
  EXPECT_EQ(wrongKey.out, "qrpack: not an archive that opens with this key: " + (dir / "good.QRA").string() + "\n");
  EXPECT_EQ(Qrpack("list " + Quote(dir / "good.QRA") + " --key right").status, 0);

  for (const std::string& arguments :
       {std::string("pack ") + Quote(dir / "missing"), "pack " + Quote(dir / "good") + " --version 4",
        "pack " + Quote(dir / "good") + " --frobnicate", std::string("frobnicate"),
        "extract " + Quote(dir / "good") + " " + Quote(dir / "out"), std::string("key a b")}) {
    ToolRun run = Qrpack(arguments);
    EXPECT_EQ(run.status, 1) << arguments;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
    EXPECT_EQ(run.out.rfind("qrpack: ", 0), 0u) << run.out;
  }
}

}  // namespace
