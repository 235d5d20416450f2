// The file reader: a StreamReader whose operations forward to the stream functions installed at
// the moment of each call.
#include "file/stream_functions.h"

namespace qr::file {
namespace {

int32_t FileTell(StreamHandle handle) { return Streams().Tell(handle); }
int FileSeek(StreamHandle handle, int32_t offset, int origin) {
  return Streams().Seek(handle, offset, origin);
}
size_t FileRead(void* buffer, size_t size, size_t count, StreamHandle handle) {
  return Streams().Read(buffer, size, count, handle);
}
int FileAtEnd(StreamHandle handle) { return Streams().AtEnd(handle); }
int FileIsIdle(StreamHandle handle) { return Streams().IsIdle(handle); }
int FileClose(StreamHandle handle) { return Streams().Close(handle); }

constexpr StreamReaderOps kFileReaderDefaults{FileTell,   FileSeek,   FileRead,
                                              FileAtEnd,  FileIsIdle, FileClose};

StreamReaderOps& FileReaderTable() {
  static StreamReaderOps table = kFileReaderDefaults;
  return table;
}

}  // namespace

const StreamReaderOps& FileReaderOps() { return FileReaderTable(); }

void FillStreamReaderTables() {
  FileReaderTable() = kFileReaderDefaults;
  ResetMemoryReaderTable();
}

bool OpenFileReader(const char* path, StreamReader& reader) {
  StreamHandle handle = Streams().Open(path, 0, 1, 0);
  if (handle == 0) return false;
  reader.ops = &FileReaderOps();
  reader.handle = handle;
  return true;
}

}  // namespace qr::file
