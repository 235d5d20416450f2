// The file thread: carries out one command at a time for its file and, when the file has a
// cache, reads ahead into it whenever no command has come for a while.
#include <algorithm>
#include <cstring>

#include "file/host_path.h"
#include "file/plain_file.h"

namespace qr::file {

void ManualResetEvent::Set() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    signalled_ = true;
  }
  changed_.notify_all();
}

void ManualResetEvent::Reset() {
  std::lock_guard<std::mutex> hold(lock_);
  signalled_ = false;
}

void ManualResetEvent::Wait() {
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait(hold, [this] { return signalled_; });
}

bool ManualResetEvent::WaitFor(int milliseconds) {
  std::unique_lock<std::mutex> hold(lock_);
  return changed_.wait_for(hold, std::chrono::milliseconds(milliseconds),
                           [this] { return signalled_; });
}

bool ManualResetEvent::IsSet() {
  std::lock_guard<std::mutex> hold(lock_);
  return signalled_;
}

namespace {

// Fills the cache behind its valid bytes from the file.
void ReadAhead(FileThreadBlock& b) {
  int32_t fill = b.cacheFill.load(std::memory_order_relaxed);
  int64_t got = ReadHostFile(b.file, b.cache + fill, size_t(kFileCacheSize - fill),
                             b.cachePosition + fill);
  if (got > 0) b.cacheFill.store(fill + int32_t(got), std::memory_order_release);
}

void RestartCache(FileThreadBlock& b, int64_t position) {
  b.cachePosition = position;
  b.cacheFill.store(0, std::memory_order_release);
}

void CarryOutRead(FileThreadBlock& b) {
  if (b.cache) {
    int32_t fill = b.cacheFill.load(std::memory_order_relaxed);
    if (fill > 0 && b.readPosition == b.cachePosition) {
      int32_t n = int32_t(std::min<int64_t>(b.readSize, fill));
      std::memcpy(b.readDestination, b.cache, size_t(n));
      b.readDestination += n;
      b.readPosition += n;
      b.cachePosition += n;
      b.readSize -= n;
      fill -= n;
      if (fill > 0) std::memmove(b.cache, b.cache + n, size_t(fill));
      b.cacheFill.store(fill, std::memory_order_release);
    }
  }
  if (b.readSize == 0) return;
  int64_t got = b.file >= 0 ? ReadHostFile(b.file, b.readDestination, size_t(b.readSize),
                                           b.readPosition)
                            : -1;
  b.readSize = std::max<int64_t>(got, 0);
  if (b.cache) RestartCache(b, b.readPosition + b.readSize);
}

}  // namespace

void RunFileThread(FileThreadBlock* block) {
  FileThreadBlock& b = *block;
  for (;;) {
    if (b.cache) {
      if (!b.request.WaitFor(kReadAheadIntervalMs)) {
        if (b.file >= 0 && b.cacheFill.load(std::memory_order_relaxed) < kFileCacheSize)
          ReadAhead(b);
        continue;
      }
    } else {
      b.request.Wait();
    }
    b.request.Reset();
    b.done.Reset();
    switch (b.command) {
      case kCommandOpen:
        b.file = OpenHostFile(b.path);
        if (b.file < 0) {
          b.openError = 1;
          b.finished = 1;
          b.done.Set();
          return;
        }
        break;
      case kCommandClose:
        CloseHostFile(b.file);
        b.file = -1;
        break;
      case kCommandRead:
        CarryOutRead(b);
        break;
      case kCommandSeek:
        if (b.cache) RestartCache(b, b.seekPosition);
        break;
      case kCommandFinish:
        if (b.file >= 0) CloseHostFile(b.file);
        b.file = -1;
        b.finished = 1;
        b.done.Set();
        return;
      default:
        break;
    }
    b.done.Set();
  }
}

}  // namespace qr::file
