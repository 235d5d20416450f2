// The stream function table: the archive-aware open-file table, handle checks, the choice of set,
// the file reader, the directory operations and their place in start-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "core/lifecycle.h"
#include "file/archive_layer.h"
#include "file/open_file_table.h"
#include "file/stream_functions.h"
#include "file_fixture.h"
#include "qr.h"

namespace {
using qr::file::kArchiveStreamFunctions;
using qr::file::kPlainStreamFunctions;
using qr::file::StreamFunctions;
using qr::file::StreamHandle;
using qr::file::Streams;
using qr::testing::Sjis;

class StreamTable : public qr::testing::FileTest {
 protected:
  void StartRuntime() {
    ChangeWindowMode(1);
    ASSERT_EQ(RuntimeInit(), 0);
  }
  bool LogHas(const std::string& line) const {
    auto lines = LogLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

TEST_F(StreamTable, FiveHundredTwelveStreamsAndNoMore) {
  StartRuntime();
  MakeFile("one.txt", "1");
  std::vector<StreamHandle> handles;
  for (int i = 0; i < 512; ++i) {
    StreamHandle handle = Streams().Open("one.txt", 0, 1, 0);
    ASSERT_EQ(handle, 0xF0000000u | unsigned(i)) << i;
    handles.push_back(handle);
  }
  EXPECT_EQ(qr::file::OpenFiles().count, 512);
  EXPECT_EQ(Streams().Open("one.txt", 0, 1, 0), 0u);
  EXPECT_TRUE(LogHas("同時に開けるファイルの数が限界を超えました"));

  // Closing one makes room again, in the slot it freed.
  EXPECT_EQ(Streams().Close(handles[7]), 0);
  handles[7] = Streams().Open("one.txt", 0, 1, 0);
  EXPECT_EQ(handles[7], 0xF0000007u);
  for (StreamHandle handle : handles) EXPECT_EQ(Streams().Close(handle), 0);
  EXPECT_EQ(qr::file::OpenFiles().count, 0);
}

TEST_F(StreamTable, ForeignAndClosedHandlesAreRefused) {
  MakeFile("one.txt", "1");
  StreamHandle closed = Streams().Open("one.txt", 0, 1, 0);
  ASSERT_NE(closed, 0u);
  ASSERT_EQ(Streams().Close(closed), 0);
  int local = 0;
  for (const StreamFunctions* set : {&kArchiveStreamFunctions, &kPlainStreamFunctions}) {
    StreamHandle plainClosed = set->Open("one.txt", 0, 1, 0);
    ASSERT_NE(plainClosed, 0u);
    ASSERT_EQ(set->Close(plainClosed), 0);
    for (StreamHandle handle :
         {StreamHandle(0), StreamHandle(-1), StreamHandle(0xF0000000u | 511),
          StreamHandle(0xF0000000u | 600), StreamHandle(0x00000003), closed, plainClosed,
          reinterpret_cast<StreamHandle>(&local)}) {
      char buffer[4];
      EXPECT_EQ(set->Close(handle), -1);
      EXPECT_EQ(set->Tell(handle), -1);
      EXPECT_EQ(set->Seek(handle, 0, 0), -1);
      EXPECT_EQ(set->Read(buffer, 1, 4, handle), 0u);
      EXPECT_EQ(set->AtEnd(handle), -1);
      EXPECT_EQ(set->IsIdle(handle), -1);
    }
    EXPECT_EQ(set->FindNext(-1, nullptr), -1);
    EXPECT_EQ(set->FindEnd(reinterpret_cast<intptr_t>(&local)), -1);
  }
}

TEST_F(StreamTable, ArchiveSettingChoosesTheSet) {
  EXPECT_EQ(Streams().Open, kArchiveStreamFunctions.Open);  // before start
  qr::file::FileLayerSettings().archiveSupport = 0;
  qr::file::InstallStreamFunctions(nullptr);
  EXPECT_EQ(Streams().Open, kPlainStreamFunctions.Open);
  qr::file::FileLayerSettings().archiveSupport = 1;
  StartRuntime();
  EXPECT_EQ(Streams().Open, kArchiveStreamFunctions.Open);

  // A whole table of the caller's replaces the installed one.
  StreamFunctions mine = kPlainStreamFunctions;
  mine.Tell = [](StreamHandle) { return int32_t(1234); };
  qr::file::InstallStreamFunctions(&mine);
  EXPECT_EQ(Streams().Tell(0), 1234);
}

TEST_F(StreamTable, FileReaderUsesTheTableInstalledAtEachCall) {
  MakeFile("r.bin", "abcdef");
  qr::file::StreamReader reader;
  ASSERT_TRUE(qr::file::OpenFileReader("r.bin", reader));
  char buffer[3];
  EXPECT_EQ(reader.Read(buffer, 3, 1), 1u);
  EXPECT_EQ(std::string(buffer, 3), "abc");

  StreamFunctions mine = kArchiveStreamFunctions;
  mine.Tell = [](StreamHandle) { return int32_t(-77); };
  qr::file::InstallStreamFunctions(&mine);
  EXPECT_EQ(reader.Tell(), -77);
  qr::file::InstallStreamFunctions(nullptr);
  EXPECT_EQ(reader.Tell(), 3);
  EXPECT_EQ(reader.AtEnd(), 0);
  EXPECT_EQ(reader.IsIdle(), 1);
  EXPECT_EQ(reader.Seek(-1, 2), 0);
  EXPECT_EQ(reader.Read(buffer, 1, 3), 1u);
  EXPECT_EQ(buffer[0], 'f');
  EXPECT_EQ(reader.Close(), 0);

  EXPECT_FALSE(qr::file::OpenFileReader("missing.bin", reader));
}

// An archive layer that claims every path below "packed" and holds the entries it is given.
struct FakeArchives {
  static inline std::map<std::string, std::string> entries;
  static inline int references = 0;
  static inline int searches = 0;
};

// The fake's own entry record, passed through the layer's opaque pointer.
struct FakeEntry {
  std::string bytes;
  size_t position = 0;
};
FakeEntry* Fake(qr::file::ArchiveEntryStream* entry) { return reinterpret_cast<FakeEntry*>(entry); }

const qr::file::ArchiveLayerOps kFakeLayer{
    [] {},
    [] {},
    [](const char* path, char* inner, size_t size) {
      if (std::strncmp(path, "packed", 6) != 0 || (path[6] != '\\' && path[6] != '/')) return -1;
      std::snprintf(inner, size, "%s", path + 7);
      ++FakeArchives::references;
      return 3;
    },
    [](int) { --FakeArchives::references; },
    [](int, const char* inner, int) -> qr::file::ArchiveEntryStream* {
      auto it = FakeArchives::entries.find(inner);
      if (it == FakeArchives::entries.end()) return nullptr;
      return reinterpret_cast<qr::file::ArchiveEntryStream*>(new FakeEntry{it->second, 0});
    },
    [](qr::file::ArchiveEntryStream* entry) {
      delete Fake(entry);
      --FakeArchives::references;
      return -1;  // whatever the entry reports, the stream is closed
    },
    [](qr::file::ArchiveEntryStream* entry) { return int32_t(Fake(entry)->position); },
    [](qr::file::ArchiveEntryStream*, int32_t, int) { return 0; },
    [](qr::file::ArchiveEntryStream* stream, void* buffer, size_t bytes) {
      FakeEntry* entry = Fake(stream);
      size_t n = std::min(bytes, entry->bytes.size() - entry->position);
      std::memcpy(buffer, entry->bytes.data() + entry->position, n);
      entry->position += n;
      return n;
    },
    [](qr::file::ArchiveEntryStream*) { return 0; },
    [](qr::file::ArchiveEntryStream*) { return 1; },
    [](int, const char*, qr::file::FoundFile*) -> qr::file::ArchiveSearch* {
      ++FakeArchives::searches;
      return nullptr;
    },
    [](qr::file::ArchiveSearch*, qr::file::FoundFile*) { return -1; },
    [](qr::file::ArchiveSearch*) {},
};

TEST_F(StreamTable, AClaimedPathIsReadFromTheArchiveOnly) {
  FakeArchives::entries = {{"in.txt", "packed bytes"}};
  FakeArchives::references = 0;
  FakeArchives::searches = 0;
  qr::file::InstallArchiveLayer(&kFakeLayer);
  MakeFile("packed/in.txt", "plain bytes!");
  MakeFile("packed/loose.txt", "loose");
  MakeFile("other.txt", "other");

  StreamHandle entry = Streams().Open("packed\\in.txt", 0, 1, 0);
  ASSERT_NE(entry, 0u);
  EXPECT_EQ(FakeArchives::references, 1);
  char buffer[16] = {};
  EXPECT_EQ(Streams().Read(buffer, 4, 2, entry), 8u);  // bytes, not elements
  EXPECT_EQ(std::string(buffer, 8), "packed b");
  EXPECT_EQ(Streams().Tell(entry), 8);
  EXPECT_EQ(Streams().Close(entry), 0);
  EXPECT_EQ(FakeArchives::references, 0);

  // The loose file beside it is never read; the reference is given back.
  EXPECT_EQ(Streams().Open("packed/loose.txt", 0, 1, 0), 0u);
  EXPECT_EQ(FakeArchives::references, 0);
  EXPECT_EQ(Streams().FindFirst("packed\\*", nullptr), -1);
  EXPECT_EQ(FakeArchives::searches, 1);
  EXPECT_EQ(FakeArchives::references, 0);
  EXPECT_EQ(qr::file::OpenFiles().count, 0);

  StreamHandle other = Streams().Open("other.txt", 0, 1, 0);
  ASSERT_NE(other, 0u);
  EXPECT_EQ(Streams().Read(buffer, 2, 3, other), 2u);  // elements from a plain file
  Streams().Close(other);
}

TEST_F(StreamTable, DirectoryOperationsSpeakCp932) {
  std::filesystem::create_directories(dir / std::filesystem::u8path("日本ソ/Sub"));
  std::string japanese = (dir / std::filesystem::u8path("日本ソ")).string();
  for (const StreamFunctions* set : {&kArchiveStreamFunctions, &kPlainStreamFunctions}) {
    host.system.currentDirectory = dir.string();
    EXPECT_EQ(set->SetDirectory(Sjis("日本ソ").c_str()), 0);
    EXPECT_EQ(host.system.currentDirectory, japanese);
    char buffer[260];
    EXPECT_EQ(set->GetDirectory(buffer), 0);
    EXPECT_EQ(std::string(buffer), Sjis(japanese));
    EXPECT_EQ(set->SetDirectory("sub"), 0);  // case-insensitive, relative to the current one
    EXPECT_EQ(host.system.currentDirectory, japanese + "/Sub");
    EXPECT_EQ(set->SetDirectory("..\\..\\nowhere"), -1);
    EXPECT_EQ(host.system.currentDirectory, japanese + "/Sub");
  }
  // A current directory longer than the buffer is not cut short.
  host.system.currentDirectory = "/" + std::string(300, 'x');
  char buffer[260] = "unchanged";
  EXPECT_EQ(kPlainStreamFunctions.GetDirectory(buffer), -1);
  EXPECT_STREQ(buffer, "");
}

TEST_F(StreamTable, StartSavesTheDirectoryAndEndRestoresIt) {
  std::filesystem::path japanese = dir / std::filesystem::u8path("日本");
  std::filesystem::create_directory(japanese);
  host.system.currentDirectory = japanese.string();
  StartRuntime();
  EXPECT_EQ(qr::core::Lifecycle().savedDirectory, Sjis(japanese.string()));
  EXPECT_TRUE(std::filesystem::exists(japanese / "Log.txt"));
  host.system.currentDirectory = dir.string();
  RuntimeEnd();
  EXPECT_EQ(host.system.currentDirectory, japanese.string());
}

}  // namespace
