// The log: CP932 text with CR LF line ends, each line stamped with the milliseconds since the
// file was made and indented with tabs. The file is opened and closed for every write so that
// it is complete whatever happens to the process.
#include "core/log.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

#include "platform/encoding.h"
#include "platform/platform.h"
#include "qr.h"

namespace qr::core {
namespace {

// Two threads may log at once (the file thread reports its failures); one at a time keeps
// their lines whole.
std::recursive_mutex logLock;

std::string LogPath(const LogState& log) {
  std::string path = log.savedDirectory;
  if (path.empty() || path.back() != '/') path += '/';
  return path + log.fileName;
}

void WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n <= 0) return;
    data += n;
    size -= size_t(n);
  }
}

// Copies text into out with every LF written as CR LF; from an LF that already follows a CR on,
// the rest is copied unchanged. Double-byte characters are stepped over whole.
size_t ConvertLineEnds(const char* text, size_t length, char* out) {
  size_t o = 0;
  for (size_t i = 0; i < length;) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (platform::IsCp932LeadByte(c) && i + 1 < length) {
      out[o++] = text[i++];
      out[o++] = text[i++];
      continue;
    }
    if (c == '\n') {
      if (i > 0 && text[i - 1] == '\r') {
        for (; i < length; ++i) out[o++] = text[i];
        break;
      }
      out[o++] = '\r';
    }
    out[o++] = text[i++];
  }
  out[o] = '\0';
  return o;
}

}  // namespace

LogState& Log() {
  static LogState state;
  return state;
}

void CreateLogFile() {
  std::lock_guard<std::recursive_mutex> lock(logLock);
  LogState& log = Log();
  if (log.disabled) return;
  if (log.dateStampedName) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char name[64];
    std::snprintf(name, sizeof name, "Log%d_%d_%d_%d_%d_%d.txt", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    log.fileName = name;
  } else {
    log.fileName = "Log.txt";
  }
  std::string path = LogPath(log);
  unlink(path.c_str());
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd >= 0) close(fd);
  log.indentation = 0;
  log.midLine = 0;
  log.startTime = platform::Current().clock->Milliseconds();
}

}  // namespace qr::core

using qr::core::Log;
using qr::core::LogState;

int SetLogFileEnabled(int enabled) {
  Log().disabled = enabled == 0;
  return 0;
}

int WriteLog(const char* text) {
  if (!text) return -1;
  std::lock_guard<std::recursive_mutex> lock(qr::core::logLock);
  LogState& log = Log();
  size_t length = std::strlen(text);

  // The converted text needs at most twice the length plus its terminator.
  char small[2 * 255 + 1];
  char* work = small;
  if (length > 255) {
    work = static_cast<char*>(AllocMemory(length * 2 + 1, "", 0));
    if (!work) return -1;
  }
  size_t size = qr::core::ConvertLineEnds(text, length, work);

  auto& platform = qr::platform::Current();
  if (!log.disabled && !log.savedDirectory.empty()) {
    int fd = open(qr::core::LogPath(log).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
      lseek(fd, 0, SEEK_END);
      if (!log.midLine) {
        if (!log.timeStampsOff) {
          char stamp[16];
          int n = std::snprintf(stamp, sizeof stamp, "%d:",
                                int(platform.clock->Milliseconds() - log.startTime));
          qr::core::WriteAll(fd, stamp, size_t(n));
        }
        if (log.indentation > 0) {
          std::string tabs(size_t(log.indentation), '\t');
          qr::core::WriteAll(fd, tabs.data(), tabs.size());
          platform.system->DebugOutput(tabs.c_str());
        }
      }
      qr::core::WriteAll(fd, work, size);
      platform.system->DebugOutput(work);
      log.midLine = !(size > 0 && work[size - 1] == '\n');
      close(fd);
    }
  }
  if (work != small) FreeMemory(work);
  return -1;
}

int WriteLogFormat(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer - 1, format, args);
  va_end(args);
  // A text cut at the buffer's end still gets its line end.
  size_t used = n < 0 ? 0 : std::min(size_t(n), sizeof buffer - 2);
  buffer[used] = '\n';
  buffer[used + 1] = '\0';
  return WriteLog(buffer);
}

int AddLogIndent() {
  ++Log().indentation;
  return 0;
}

int SubLogIndent() {
  if (Log().indentation > 0) --Log().indentation;
  return 0;
}
