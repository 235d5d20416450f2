// API paths onto the host file system, and the few POSIX calls the file layer makes.
#include "file/host_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/encoding.h"
#include "platform/platform.h"

namespace qr::file {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Host components of an absolute host path.
void AppendHostComponents(const std::string& hostPath, std::vector<std::string>& parts) {
  size_t at = 0;
  while (at <= hostPath.size()) {
    size_t end = hostPath.find('/', at);
    if (end == std::string::npos) end = hostPath.size();
    std::string part = hostPath.substr(at, end - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
}

std::string JoinHost(const std::vector<std::string>& parts) {
  if (parts.empty()) return "/";
  std::string path;
  for (const std::string& part : parts) path += "/" + part;
  return path;
}

// Plain ASCII reads the same in CP932 and UTF-8, and most paths are that.
bool IsAscii(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

bool HostEntryExists(const std::string& hostPath) {
  struct stat info {};
  return lstat(hostPath.c_str(), &info) == 0;
}

// The name in `folder` that equals `name` but for ASCII case; the first in byte order when
// several do. Empty when none does.
std::string FindCaseInsensitive(const std::string& folder, const std::string& name) {
  std::string wanted = FoldAsciiCase(name);
  std::string best;
  for (const std::string& entry : ListHostFolder(folder)) {
    if (entry == "." || entry == "..") continue;
    if (FoldAsciiCase(entry) == wanted && (best.empty() || entry < best)) best = entry;
  }
  return best;
}

}  // namespace

std::string FoldAsciiCase(const std::string& text) {
  std::string folded = text;
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return folded;
}

std::vector<std::string> SplitCp932Path(const char* path) {
  std::vector<std::string> elements(1);
  for (const char* p = path; *p; ++p) {
    if (platform::IsCp932LeadByte(static_cast<unsigned char>(*p)) && p[1]) {
      elements.back() += p[0];
      elements.back() += p[1];
      ++p;
    } else if (IsSeparator(*p)) {
      elements.emplace_back();
    } else {
      elements.back() += *p;
    }
  }
  return elements;
}

std::string HostPath(const char* apiPath) {
  std::vector<std::string> parts;
  bool absolute = IsSeparator(apiPath[0]);
  if (!absolute) AppendHostComponents(platform::Current().system->CurrentDirectory(), parts);
  bool probing = true;  // once an element is missing, nothing below it exists either
  for (const std::string& element : SplitCp932Path(apiPath)) {
    if (element.empty() || element == ".") continue;
    if (element == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    std::string name = IsAscii(element) ? element : platform::Cp932ToUtf8(element);
    if (probing) {
      std::string folder = JoinHost(parts);
      std::string exact = folder == "/" ? "/" + name : folder + "/" + name;
      if (!HostEntryExists(exact)) {
        std::string match = FindCaseInsensitive(folder, name);
        if (match.empty())
          probing = false;
        else
          name = match;
      }
    }
    parts.push_back(name);
  }
  return JoinHost(parts);
}

std::string ApiCurrentDirectory() {
  std::string host = platform::Current().system->CurrentDirectory();
  return host.empty() ? host : platform::Utf8ToCp932(host);
}

bool SetApiCurrentDirectory(const char* apiPath) {
  if (!apiPath || !*apiPath) return false;
  std::string host = HostPath(apiPath);
  if (!StatHostPath(host).directory) return false;
  return platform::Current().system->SetCurrentDirectory(host);
}

HostFileInfo StatHostPath(const std::string& hostPath) {
  HostFileInfo info;
  struct statx extended {};
  if (statx(AT_FDCWD, hostPath.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &extended) != 0)
    return info;
  info.exists = true;
  info.directory = S_ISDIR(extended.stx_mode);
  info.regular = S_ISREG(extended.stx_mode);
  info.size = extended.stx_size;
  info.writeTime = extended.stx_mtime.tv_sec;
  info.creationTime =
      (extended.stx_mask & STATX_BTIME) ? extended.stx_btime.tv_sec : extended.stx_mtime.tv_sec;
  return info;
}

int OpenHostFile(const std::string& hostPath) {
  int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return -1;
  }
  return fd;
}

int64_t ReadHostFile(int fd, void* buffer, size_t bytes, int64_t offset) {
  if (offset < 0) return -1;
  auto* out = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  while (done < bytes) {
    ssize_t got = pread(fd, out + done, bytes - done, off_t(offset + int64_t(done)));
    if (got < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? int64_t(done) : -1;
    }
    if (got == 0) break;
    done += size_t(got);
  }
  return int64_t(done);
}

int64_t HostFileSize(int fd) {
  struct stat info {};
  return fstat(fd, &info) == 0 ? int64_t(info.st_size) : -1;
}

bool CloseHostFile(int fd) { return fd >= 0 && close(fd) == 0; }

std::vector<std::string> ListHostFolder(const std::string& hostPath) {
  std::vector<std::string> names;
  DIR* folder = opendir(hostPath.c_str());
  if (!folder) return names;
  while (dirent* entry = readdir(folder)) names.emplace_back(entry->d_name);
  closedir(folder);
  return names;
}

}  // namespace qr::file
