// Archives made for a test by the packer's writer, in the test's directory.
#pragma once

#include <string>
#include <vector>

#include "archive_writer.h"
#include "file/archive_format.h"
#include "file/stream_functions.h"
#include "file_fixture.h"

namespace qr::testing {

inline qrpack::PackEntry File(const std::string& utf8Name, std::string data) {
  qrpack::PackEntry entry;
  entry.name = Sjis(utf8Name);
  entry.data = std::move(data);
  entry.creationTime = qr::file::UnixSecondsToFileTime(1000000000);  // 2001-09-09 01:46:40 UTC
  entry.writeTime = qr::file::UnixSecondsToFileTime(1200000000);     // 2008-01-10 21:20:00 UTC
  return entry;
}

inline qrpack::PackEntry Folder(const std::string& utf8Name, std::vector<qrpack::PackEntry> children) {
  qrpack::PackEntry entry = File(utf8Name, "");
  entry.directory = true;
  entry.children = std::move(children);
  return entry;
}

class ArchiveTest : public FileTest {
 protected:
  static std::string Archive(std::vector<qrpack::PackEntry> entries, int version = 3,
                             const char* key = nullptr, bool store = false) {
    qrpack::PackEntry root = Folder("", std::move(entries));
    qrpack::PackOptions options;
    options.version = version;
    options.keyString = key;
    options.store = store;
    std::string bytes, error;
    EXPECT_TRUE(qrpack::BuildArchive(root, options, bytes, error)) << error;
    return bytes;
  }

  // The whole entry through the stream functions, read in pieces of `piece` bytes; "<none>"
  // when it does not open.
  static std::string ReadAll(const std::string& path, size_t piece = 1 << 16, int async = 0) {
    qr::file::StreamFunctions& s = qr::file::Streams();
    qr::file::StreamHandle handle = s.Open(path.c_str(), 0, 1, async);
    if (!handle) return "<none>";
    std::string bytes, buffer(piece, '\0');
    for (;;) {
      size_t got = s.Read(buffer.data(), 1, piece, handle);
      while (s.IsIdle(handle) != 1) {
      }
      if (got == 0) break;
      bytes.append(buffer.data(), got);
    }
    s.Close(handle);
    return bytes;
  }
};

}  // namespace qr::testing
