// Archives read through the stream functions: which archive claims a path, entries found in any
// case and read in any pieces, seeks, searches, keys, memory archives, the table of 512 archives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "archive_fixture.h"
#include "file/archive.h"
#include "file/archive_table.h"
#include "file/open_file_table.h"
#include "qr.h"

namespace {
using qr::file::FoundFile;
using qr::file::StreamHandle;
using qr::file::Streams;
using qr::testing::File;
using qr::testing::Folder;
using qr::testing::Sjis;

// Bytes with little to pack, and bytes with much.
std::string Noise(size_t n, int salt) {
  std::string bytes(n, '\0');
  uint32_t state = 2463534242u + uint32_t(salt);
  for (char& c : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    c = char(state >> 24);
  }
  return bytes;
}
std::string Text(size_t n) {
  std::string text;
  while (text.size() < n) text += "the potato falls, the potato is caught. ";
  return text.substr(0, n);
}

class ArchiveVersions : public qr::testing::ArchiveTest,
                        public ::testing::WithParamInterface<int> {};

TEST_P(ArchiveVersions, EntriesInAnyCaseAndNestedFolders) {
  std::string small = Text(3000), big = Noise(5000, 3);
  MakeFile("pote.QRA", Archive({File("Taitol.png", big), File("text.txt", small),
                                Folder("sub", {Folder("deeper", {File("x.bin", "xyz")}),
                                               File("empty.dat", "")}),
                                Folder("nothing", {})},
                               GetParam()));
  EXPECT_EQ(ReadAll("pote\\Taitol.png"), big);
  EXPECT_EQ(ReadAll("POTE/TAITOL.PNG"), big);
  EXPECT_EQ(ReadAll("pote\\taitol.png"), big);
  EXPECT_EQ(ReadAll("pote\\text.txt"), small);
  EXPECT_EQ(ReadAll("pote\\sub\\deeper\\x.bin"), "xyz");
  EXPECT_EQ(ReadAll("./pote/SUB/./deeper/../deeper/X.BIN"), "xyz");
  EXPECT_EQ(ReadAll("pote\\sub\\empty.dat"), "");
  // Folders are not files; files are not folders; a missing name is missing.
  for (const char* path : {"pote\\sub", "pote\\nothing", "pote\\sub\\", "pote\\text.txt\\x",
                           "pote\\missing.png", "pote\\deeper\\x.bin", "pote\\sub\\x.bin"})
    EXPECT_EQ(ReadAll(path), "<none>") << path;
  EXPECT_EQ(qr::file::OpenFiles().count, 0);
}

TEST_P(ArchiveVersions, HalvesAndOddPiecesGiveWhatOneReadGives) {
  std::string stored = Noise(10007, 1), packed = Text(10007);
  MakeFile("a.QRA", Archive({File("stored.bin", stored), File("packed.bin", packed)}, GetParam()));
  for (const char* path : {"a\\stored.bin", "a\\packed.bin"}) {
    std::string whole = ReadAll(path);
    ASSERT_EQ(whole.size(), 10007u);
    EXPECT_EQ(ReadAll(path, 5004), whole);
    EXPECT_EQ(ReadAll(path, 13), whole);
    EXPECT_EQ(ReadAll(path, 1 << 16, 1), whole);  // asynchronous reads
  }
  EXPECT_EQ(ReadAll("a\\stored.bin"), stored);
  EXPECT_EQ(ReadAll("a\\packed.bin"), packed);
}

INSTANTIATE_TEST_SUITE_P(, ArchiveVersions, ::testing::Values(0, 1, 2, 3));

class Archives : public qr::testing::ArchiveTest {
 protected:
  std::vector<std::pair<std::string, int>> Search(const std::string& pattern) {
    std::vector<std::pair<std::string, int>> found;
    FoundFile record;
    qr::file::FindHandle find = Streams().FindFirst(pattern.c_str(), &record);
    if (find == qr::file::kNoFind) return found;
    do found.emplace_back(qr::testing::Utf8(record.name), record.directory);
    while (Streams().FindNext(find, &record) == 0);
    EXPECT_EQ(Streams().FindEnd(find), 0);
    return found;
  }
};

TEST_F(Archives, ShiftJisNamesWithBackslashAndLetterSecondBytes) {
  // "ソ" ends in 0x5C, "Ｂ" (0x82 0x61) in an "a".
  MakeFile("pote.QRA", Archive({Folder("ソフト", {File("表ｂ.txt", "one")}),
                                File("ＢＡＤ.bin", "two"), File("ba.bin", "three")}));
  EXPECT_EQ(ReadAll(Sjis("pote\\ソフト\\表ｂ.txt")), "one");
  EXPECT_EQ(ReadAll(Sjis("pote/ソフト/表ｂ.TXT")), "one");
  EXPECT_EQ(ReadAll(Sjis("pote\\ＢＡＤ.bin")), "two");
  // The full-width letters are not folded to their lower-case neighbours.
  EXPECT_EQ(ReadAll(Sjis("pote\\ｂａｄ.bin")), "<none>");
  EXPECT_EQ(ReadAll("pote\\BA.BIN"), "three");
}

TEST_F(Archives, TheArchiveFileIsFoundInAnyCaseAndNamedByTheExtension) {
  std::string archive = Archive({File("f.txt", "packed")});
  for (const char* name : {"pote.QRA", "POTE.QRA", "pote.qra", "Pote.Qra"}) {
    MakeFile(name, archive);
    EXPECT_EQ(ReadAll("pote\\f.txt"), "packed") << name;
    EXPECT_EQ(ReadAll("Pote\\F.TXT"), "packed") << name;
    RuntimeEnd();
    qr::file::ClearArchiveTable();
    std::filesystem::remove(dir / name);
  }
  MakeFile("pote.dat", archive);
  MakeFile("pote/f.txt", "loose");
  EXPECT_EQ(ReadAll("pote\\f.txt"), "loose");
  EXPECT_EQ(SetArchiveExtension("dat"), 0);
  EXPECT_EQ(ReadAll("pote\\f.txt"), "packed");
  for (const char* refused : {"", "a/b", "x\\", "c:", "0123456789012345678901234567890123"})
    EXPECT_EQ(SetArchiveExtension(refused), -1) << refused;
  EXPECT_EQ(ReadAll("pote\\f.txt"), "packed");
  EXPECT_EQ(SetArchiveExtension(nullptr), 0);
  EXPECT_EQ(ReadAll("pote\\f.txt"), "loose");
}

TEST_F(Archives, AClaimedFolderIsNeverReadFromTheDisk) {
  MakeFile("pote.QRA", Archive({File("in.txt", "archive")}));
  MakeFile("pote/in.txt", "disk");
  MakeFile("pote/only_on_disk.txt", "disk");
  MakeFile("other/in.txt", "other");
  EXPECT_EQ(ReadAll("pote\\in.txt"), "archive");
  EXPECT_EQ(ReadAll("pote\\only_on_disk.txt"), "<none>");
  EXPECT_EQ(ReadAll("other\\in.txt"), "other");
  // The archive stays open, unused, until the runtime ends or the table is full.
  EXPECT_EQ(qr::file::OpenArchiveCount(), 1);
  qr::file::CloseUnusedArchiveFiles();
  EXPECT_EQ(qr::file::OpenArchiveCount(), 0);
}

TEST_F(Archives, SeeksAreClampedAndTheEndIsFoundByTheNextRead) {
  for (bool packed : {false, true}) {
    MakeFile("s.QRA", Archive({File("e.bin", Text(100))}, 3, nullptr, !packed));
    StreamHandle h = Streams().Open("s\\e.bin", 0, 1, 0);
    ASSERT_NE(h, 0u);
    char buffer[200];
    EXPECT_EQ(Streams().Seek(h, 500, 0), 0);
    EXPECT_EQ(Streams().Tell(h), 100);
    EXPECT_EQ(Streams().AtEnd(h), 0);
    EXPECT_EQ(Streams().Read(buffer, 1, 10, h), 0u);
    EXPECT_EQ(Streams().AtEnd(h), -1);
    EXPECT_EQ(Streams().Seek(h, -30, 2), 0);
    EXPECT_EQ(Streams().AtEnd(h), 0);
    EXPECT_EQ(Streams().Read(buffer, 7, 10, h), 30u);  // bytes, not elements
    EXPECT_EQ(std::string(buffer, 30), Text(100).substr(70));
    EXPECT_EQ(Streams().AtEnd(h), 0);  // reading exactly to the end does not set it
    EXPECT_EQ(Streams().Seek(h, -1000, 1), 0);
    EXPECT_EQ(Streams().Tell(h), 0);
    EXPECT_EQ(Streams().Read(buffer, 1, 4, h), 4u);
    EXPECT_EQ(std::string(buffer, 4), "the ");
    Streams().Close(h);
    RuntimeEnd();
    qr::file::ClearArchiveTable();
  }
}

TEST_F(Archives, SearchesListDotsThenEntriesInTableOrder) {
  MakeFile("pote.QRA", Archive({File("b.png", "12"), Folder("Sub", {File("c.txt", "123")}),
                                File("a.mp3", "1")}));
  using Found = std::vector<std::pair<std::string, int>>;
  EXPECT_EQ(Search("pote\\*"), (Found{{".", 1}, {"b.png", 0}, {"Sub", 1}, {"a.mp3", 0}}));
  EXPECT_EQ(Search("pote\\*.*"), Search("pote\\*"));
  EXPECT_EQ(Search("pote\\sub\\*"), (Found{{".", 1}, {"..", 1}, {"c.txt", 0}}));
  EXPECT_EQ(Search("pote\\*.PNG"), (Found{{"b.png", 0}}));
  EXPECT_EQ(Search("pote\\?.*"), (Found{{"b.png", 0}, {"a.mp3", 0}}));
  EXPECT_EQ(Search("pote\\s*"), (Found{{"Sub", 1}}));
  EXPECT_EQ(Search("pote\\sub\\c.txt"), (Found{{"c.txt", 0}}));
  EXPECT_TRUE(Search("pote\\*.jpg").empty());
  EXPECT_TRUE(Search("pote\\missing\\*").empty());

  FoundFile record;
  qr::file::FindHandle find = Streams().FindFirst("pote\\SUB\\C.TXT", &record);
  ASSERT_NE(find, qr::file::kNoFind);
  EXPECT_STREQ(record.name, "c.txt");
  EXPECT_EQ(record.sizeLow, 3);
  EXPECT_EQ(record.sizeHigh, 0);
  qr::file::DateRecord written = qr::file::LocalDate(1200000000);
  EXPECT_EQ(record.lastWriteTime.year, written.year);
  EXPECT_EQ(record.lastWriteTime.minute, written.minute);
  EXPECT_EQ(record.creationTime.year, qr::file::LocalDate(1000000000).year);
  // The search holds the archive until it ends.
  EXPECT_EQ(qr::file::ArchiveInSlot(0)->references, 1);
  Streams().FindEnd(find);
  EXPECT_EQ(qr::file::ArchiveInSlot(0)->references, 0);
}

TEST_F(Archives, TheKeyStringMustMatchUnlessTheFallbackKeyWasUsed) {
  MakeFile("k.QRA", Archive({File("f.txt", "secret")}, 3, "game key"));
  EXPECT_EQ(ReadAll("k\\f.txt"), "<none>");  // not an archive under the default key
  EXPECT_EQ(SetArchiveKeyString("game key"), 0);
  EXPECT_EQ(ReadAll("k\\f.txt"), "secret");
  EXPECT_EQ(SetArchiveKeyString("other"), 0);
  EXPECT_EQ(ReadAll("k\\f.txt"), "<none>");
  EXPECT_EQ(SetArchiveKeyString(""), 0);
  EXPECT_EQ(ReadAll("k\\f.txt"), "<none>");

  // An archive scrambled with the fallback key opens whatever the key string.
  std::string fallback = Archive({File("f.txt", "fallback")});
  qr::file::ArchiveKey normal = qr::file::BuildArchiveKey(nullptr);
  qr::file::ArchiveKey other = qr::file::FallbackArchiveKey();
  qr::file::ScrambleArchiveBytes(normal, 0, fallback.data(), fallback.size());
  qr::file::ScrambleArchiveBytes(other, 0, fallback.data(), fallback.size());
  MakeFile("fb.QRA", fallback);
  EXPECT_EQ(SetArchiveKeyString("game key"), 0);
  EXPECT_EQ(ReadAll("fb\\f.txt"), "fallback");
  // The settings made before start hold after it.
  ChangeWindowMode(1);
  ASSERT_EQ(RuntimeInit(), 0);
  EXPECT_EQ(ReadAll("k\\f.txt"), "secret");
}

TEST_F(Archives, AMemoryArchiveGivesTheCallerItsBlockBack) {
  std::string text = Text(5000);
  std::string archive = Archive({File("shader.bin", Noise(777, 2)), File("packed.txt", text),
                                 Folder("d", {File("e.bin", "eee")})},
                                3, "mem");
  std::string block = archive;
  qr::file::ArchiveState state;
  EXPECT_EQ(qr::file::OpenArchiveMemory(&state, block.data(), block.size(), nullptr), -1);
  EXPECT_TRUE(block == archive);
  ASSERT_EQ(qr::file::OpenArchiveMemory(&state, block.data(), block.size(), "mem"), 0);
  for (auto [path, expected] : {std::pair<const char*, std::string>{"shader.bin", Noise(777, 2)},
                                {"PACKED.TXT", text}, {"d\\e.bin", "eee"}}) {
    qr::file::ArchiveEntryStream entry;
    ASSERT_EQ(qr::file::EntryOpen(&entry, &state, path, 1), 0) << path;
    std::string bytes(expected.size() + 10, '\0');
    EXPECT_EQ(qr::file::EntryRead(&entry, bytes.data(), 2), 2u);
    EXPECT_EQ(qr::file::EntryRead(&entry, bytes.data() + 2, bytes.size()), expected.size() - 2);
    EXPECT_EQ(bytes.substr(0, expected.size()), expected) << path;
    EXPECT_EQ(qr::file::EntryIsIdle(&entry), 1);
    qr::file::EntryClose(&entry);
  }
  uint64_t position = 0;
  uint32_t size = 0;
  ASSERT_EQ(qr::file::ArchiveEntryLocation(&state, "shader.bin", &position, &size), 0);
  EXPECT_EQ(size, 777u);
  EXPECT_EQ(block.substr(size_t(position), size), Noise(777, 2));
  EXPECT_EQ(qr::file::ArchiveEntryLocation(&state, "packed.txt", &position, &size), -1);
  EXPECT_EQ(qr::file::ArchiveEntryLocation(&state, "none", &position, &size), -1);
  qr::file::CloseArchive(&state);
  EXPECT_TRUE(block == archive);
}

// "d<i><rest>" (built with snprintf: GCC 12 warns wrongly about string concatenation here).
std::string Numbered(int i, const char* rest) {
  char name[64];
  std::snprintf(name, sizeof name, "d%d%s", i, rest);
  return name;
}

TEST_F(Archives, The513thArchiveIsNotOpenedWhile512AreInUse) {
  std::string archive = Archive({File("f.txt", "packed")});
  for (int i = 0; i <= 512; ++i) {
    MakeFile(Numbered(i, ".QRA"), archive);
    MakeFile(Numbered(i, "/f.txt"), "plain");
  }
  std::vector<qr::file::FindHandle> searches;
  for (int i = 0; i < 512; ++i) {
    searches.push_back(Streams().FindFirst(Numbered(i, "\\*").c_str(), nullptr));
    ASSERT_NE(searches.back(), qr::file::kNoFind) << i;
  }
  EXPECT_EQ(qr::file::OpenArchiveCount(), 512);
  // No room: the folder itself is read.
  EXPECT_EQ(ReadAll("d512\\f.txt"), "plain");
  EXPECT_EQ(ReadAll("d3\\f.txt"), "packed");
  // One archive no longer in use makes room; the unused ones are closed to make it.
  Streams().FindEnd(searches[100]);
  EXPECT_EQ(ReadAll("d512\\f.txt"), "packed");
  EXPECT_EQ(qr::file::OpenArchiveCount(), 512);
  // Full again, but d512 is no longer in use: it makes room for d100.
  EXPECT_EQ(ReadAll("d100\\f.txt"), "packed");
  EXPECT_EQ(qr::file::OpenArchiveCount(), 512);
  for (size_t i = 0; i < searches.size(); ++i)
    if (i != 100) Streams().FindEnd(searches[i]);
  qr::file::CloseUnusedArchiveFiles();
  EXPECT_EQ(qr::file::OpenArchiveCount(), 0);
}

TEST_F(Archives, EntriesOfOneArchiveTakeTurnsOnItsFile) {
  std::string one = Noise(30000, 5), two = Noise(30000, 6), three = Text(30000);
  MakeFile("t.QRA", Archive({File("one", one), File("two", two), File("three", three)}));
  StreamHandle a = Streams().Open("t\\one", 0, 1, 1);  // asynchronous
  StreamHandle b = Streams().Open("t\\two", 0, 1, 0);
  StreamHandle c = Streams().Open("t\\three", 0, 1, 1);  // packed, asynchronous
  ASSERT_TRUE(a && b && c);
  std::string readA(30000, '\0'), readB(30000, '\0'), readC(30000, '\0');
  for (size_t at = 0; at < 30000; at += 1000) {
    // a's read is still pending while b and c read from the same file.
    EXPECT_EQ(Streams().Read(&readA[at], 1, 1000, a), 1000u);
    EXPECT_EQ(Streams().Read(&readB[at], 1000, 1, b), 1000u);
    EXPECT_EQ(Streams().Read(&readC[at], 1, 1000, c), 1000u);
  }
  while (Streams().IsIdle(a) != 1) {
  }
  EXPECT_TRUE(readA == one);
  EXPECT_TRUE(readB == two);
  EXPECT_TRUE(readC == three);
  for (StreamHandle h : {a, b, c}) EXPECT_EQ(Streams().Close(h), 0);
}

TEST_F(Archives, SmallReadsAndSeeksAcrossTheReadWindow) {
  std::string data = Noise(300001, 9);
  MakeFile("w.QRA", Archive({File("big.bin", data)}));
  StreamHandle h = Streams().Open("w\\big.bin", 0, 1, 0);
  ASSERT_NE(h, 0u);
  // Pieces of 4093 bytes cross the 64 KiB window's edges; a seek back and forth lands inside and
  // outside the window read last.
  std::string read;
  char buffer[70000];
  size_t got;
  while ((got = Streams().Read(buffer, 1, 4093, h)) > 0) read.append(buffer, got);
  EXPECT_TRUE(read == data);
  for (int32_t at : {5, 65535, 65536, 131070, 299990, 200000, 100}) {
    ASSERT_EQ(Streams().Seek(h, at, 0), 0);
    size_t want = std::min<size_t>(70000, data.size() - size_t(at));
    ASSERT_EQ(Streams().Read(buffer, 1, 7, h), std::min<size_t>(7, want)) << at;
    EXPECT_EQ(std::string(buffer, std::min<size_t>(7, want)), data.substr(size_t(at), 7)) << at;
    ASSERT_EQ(Streams().Read(buffer, 1, 70000, h), std::min<size_t>(70000, data.size() - size_t(at) - std::min<size_t>(7, want))) << at;
  }
  Streams().Close(h);
}

TEST_F(Archives, RuntimeEndClosesTheArchivesNoStreamUses) {
  MakeFile("p.QRA", Archive({File("a", "1"), File("b", "2")}));
  ChangeWindowMode(1);
  ASSERT_EQ(RuntimeInit(), 0);
  StreamHandle a = Streams().Open("p\\a", 0, 1, 0);
  StreamHandle b = Streams().Open("p\\b", 0, 1, 0);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_EQ(qr::file::OpenArchiveCount(), 1);
  EXPECT_EQ(qr::file::ArchiveInSlot(0)->references, 2);
  Streams().Close(a);
  RuntimeEnd();
  EXPECT_EQ(qr::file::OpenArchiveCount(), 1);  // b still reads from it
  Streams().Close(b);
  ASSERT_EQ(RuntimeInit(), 0);
  RuntimeEnd();
  EXPECT_EQ(qr::file::OpenArchiveCount(), 0);
}

}  // namespace
