// qrpack: packs a game's asset folder into an archive the runtime reads in its place, and looks
// into archives the way the runtime sees them.
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "file/archive.h"
#include "file/host_path.h"
#include "file/stream_functions.h"
#include "platform/encoding.h"
#include "qr.h"

namespace {
namespace fs = std::filesystem;

const char* kUsage =
    "usage: qrpack pack DIR [-o OUT.QRA] [--key STRING] [--store] [--version N]\n"
    "       qrpack list ARCHIVE [--key STRING]\n"
    "       qrpack extract ARCHIVE DIR [--key STRING]\n"
    "       qrpack cat ARCHIVE PATH [--key STRING]\n"
    "       qrpack key [STRING]\n"
    "\n"
    "pack     packs the folder tree DIR into one archive (default: DIR.QRA beside DIR), which\n"
    "         the runtime then reads in place of the folder. Names become Shift-JIS; entries\n"
    "         are compressed when that makes them smaller, unless --store. --version 0-3\n"
    "         (default 3; 0 and 1 never compress). --key: the string the game passes to\n"
    "         SetArchiveKeyString.\n"
    "list     one line per entry: size, packed size or -, last write time, path.\n"
    "extract  writes every entry below DIR, read through the runtime's stream functions.\n"
    "cat      writes one entry (PATH inside the archive) to standard output.\n"
    "key      prints the 12-byte key built from STRING (or from no key string) in hex.\n"
    "\n"
    "Exit status 0 on success; 1 with one message on standard error on any failure.\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "qrpack: %s\n", message.c_str());
  return 1;
}

// UTF-8 to CP932, refusing what CP932 cannot express.
bool ToCp932(const std::string& utf8, std::string& out) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == iconv_t(-1)) return false;
  out.assign(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char* o = out.data();
  size_t oLeft = out.size();
  size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
  iconv_close(cd);
  if (r == size_t(-1) || inLeft != 0) return false;
  out.resize(out.size() - oLeft);
  return true;
}

std::string Utf8(const std::string& cp932) { return qr::platform::Cp932ToUtf8(cp932); }

bool ReadHostFile(const fs::path& path, std::string& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::stringstream buffer;
  buffer << file.rdbuf();
  bytes = buffer.str();
  return !file.bad();
}

// The order a folder search gives: names compared without regard to ASCII case, then exactly.
bool SearchOrder(const fs::path& a, const fs::path& b) {
  std::string fa = qr::file::FoldAsciiCase(a.filename().string());
  std::string fb = qr::file::FoldAsciiCase(b.filename().string());
  return fa != fb ? fa < fb : a.filename().string() < b.filename().string();
}

bool AddFolder(const fs::path& folder, qrpack::PackEntry& into, std::string& error) {
  std::vector<fs::path> children;
  std::error_code failed;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, failed))
    children.push_back(entry.path());
  if (failed) {
    error = "cannot read the folder " + folder.string();
    return false;
  }
  std::sort(children.begin(), children.end(), SearchOrder);
  for (const fs::path& child : children) {
    qrpack::PackEntry entry;
    std::string name = child.filename().string();
    if (!ToCp932(name, entry.name) || name.find('\\') != std::string::npos) {
      error = "a name Shift-JIS cannot express: " + child.string();
      return false;
    }
    if (entry.name.size() > 255) {
      error = "a name longer than 255 bytes: " + child.string();
      return false;
    }
    qr::file::HostFileInfo info = qr::file::StatHostPath(child.string());
    entry.creationTime = qr::file::UnixSecondsToFileTime(info.creationTime);
    entry.writeTime = qr::file::UnixSecondsToFileTime(info.writeTime);
    if (info.directory) {
      entry.directory = true;
      if (!AddFolder(child, entry, error)) return false;
    } else if (info.regular) {
      if (!ReadHostFile(child, entry.data)) {
        error = "cannot read " + child.string();
        return false;
      }
    } else {
      error = "neither a file nor a folder: " + child.string();
      return false;
    }
    into.children.push_back(std::move(entry));
  }
  return true;
}

struct Arguments {
  std::vector<std::string> positional;
  std::string output;
  const char* key = nullptr;
  bool store = false;
  int version = 3;
};

bool Parse(int argc, char** argv, Arguments& a, std::string& error) {
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](const char* option) -> const char* {
      if (i + 1 >= argc) {
        error = std::string(option) + " needs a value";
        return nullptr;
      }
      return argv[++i];
    };
    if (arg == "-o") {
      const char* v = value("-o");
      if (!v) return false;
      a.output = v;
    } else if (arg == "--key") {
      if (!(a.key = value("--key"))) return false;
    } else if (arg == "--store") {
      a.store = true;
    } else if (arg == "--version") {
      const char* v = value("--version");
      if (!v) return false;
      char* end = nullptr;
      long n = std::strtol(v, &end, 10);
      if (*v == '\0' || *end != '\0' || n < 0 || n > 3) {
        error = std::string("--version must be 0, 1, 2 or 3, not ") + v;
        return false;
      }
      a.version = int(n);
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else {
      a.positional.push_back(arg);
    }
  }
  return true;
}

int Pack(const Arguments& a) {
  if (a.positional.size() != 1) return Fail("pack takes one folder");
  fs::path folder = a.positional[0];
  while (folder.has_relative_path() && !folder.has_filename()) folder = folder.parent_path();
  if (!fs::is_directory(folder)) return Fail("not a folder: " + a.positional[0]);
  std::string output = a.output.empty() ? folder.string() + ".QRA" : a.output;
  qrpack::PackEntry root;
  root.directory = true;
  std::string error, archive;
  if (!AddFolder(folder, root, error)) return Fail(error);
  qrpack::PackOptions options;
  options.keyString = a.key;
  options.version = a.version;
  options.store = a.store;
  if (!qrpack::BuildArchive(root, options, archive, error)) return Fail(error);
  std::ofstream out(output, std::ios::binary);
  out.write(archive.data(), std::streamsize(archive.size()));
  out.close();
  if (!out) return Fail("cannot write " + output);
  return 0;
}

// Opens the archive with the runtime's reader, for a clear message when it does not open.
bool OpenWithRuntime(const std::string& path, const char* key, qr::file::ArchiveState& state) {
  std::string api = qr::platform::Utf8ToCp932(fs::absolute(path).string());
  return qr::file::OpenArchiveFile(&state, api.c_str(), key && *key ? key : nullptr) == 0;
}

std::string Date(uint64_t fileTime) {
  if (fileTime == 0) return "0000-00-00 00:00:00";
  qr::file::DateRecord d = qr::file::LocalDate(qr::file::FileTimeToUnixSeconds(fileTime));
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                d.hour, d.minute, d.second);
  return text;
}

void ListFolder(const qr::file::ArchiveState& state, uint32_t folder, const std::string& prefix) {
  uint32_t count = qr::file::DirectoryEntryCount(&state, folder);
  for (uint32_t i = 0; i < count; ++i) {
    qr::file::ArchiveEntryView entry;
    if (!qr::file::DirectoryEntryAt(&state, folder, i, entry)) return;
    std::string path = prefix + Utf8(entry.writtenName);
    if (entry.IsDirectory()) {
      std::printf("%10s %10s %s %s/\n", "-", "-", Date(entry.writeTime).c_str(), path.c_str());
      ListFolder(state, entry.dataOffset, path + "/");  // the tables were checked to be a tree
    } else {
      std::string packed = state.version >= 2 && entry.packedSize != qr::file::kStoredUnpacked
                               ? std::to_string(entry.packedSize)
                               : "-";
      std::printf("%10u %10s %s %s\n", entry.dataSize, packed.c_str(),
                  Date(entry.writeTime).c_str(), path.c_str());
    }
  }
}

int List(const Arguments& a) {
  if (a.positional.size() != 1) return Fail("list takes one archive");
  qr::file::ArchiveState state;
  if (!OpenWithRuntime(a.positional[0], a.key, state))
    return Fail("not an archive that opens with this key: " + a.positional[0]);
  ListFolder(state, 0, "");
  qr::file::CloseArchive(&state);
  return 0;
}

// The runtime reads the archive in place of the folder named like it without its extension;
// that folder's path (CP932) is where extract and cat read.
bool ClaimThroughStreams(const Arguments& a, std::string& base, std::string& error) {
  fs::path archive = fs::absolute(a.positional[0]);
  std::string extension = archive.extension().string();
  if (extension.size() < 2) {
    error = "the archive's name needs an extension (pote.QRA): " + a.positional[0];
    return false;
  }
  qr::file::ArchiveState state;
  if (!OpenWithRuntime(a.positional[0], a.key, state)) {
    error = "not an archive that opens with this key: " + a.positional[0];
    return false;
  }
  qr::file::CloseArchive(&state);
  SetArchiveKeyString(a.key);
  if (SetArchiveExtension(qr::platform::Utf8ToCp932(extension.substr(1)).c_str()) != 0) {
    error = "the runtime cannot use the extension " + extension;
    return false;
  }
  base = qr::platform::Utf8ToCp932((archive.parent_path() / archive.stem()).string());
  return true;
}

bool CopyEntry(const std::string& from, std::FILE* to) {
  qr::file::StreamFunctions& streams = qr::file::Streams();
  qr::file::StreamHandle handle = streams.Open(from.c_str(), 0, 1, 0);
  if (!handle) return false;
  std::vector<char> buffer(1 << 16);
  size_t got;
  bool ok = true;
  while ((got = streams.Read(buffer.data(), 1, buffer.size(), handle)) > 0)
    ok = ok && std::fwrite(buffer.data(), 1, got, to) == got;
  streams.Close(handle);
  return ok;
}

void SetWriteTime(const fs::path& path, const qr::file::DateRecord& d) {
  if (d.year == 0) return;
  std::tm local{};
  local.tm_year = d.year - 1900;
  local.tm_mon = d.month - 1;
  local.tm_mday = d.day;
  local.tm_hour = d.hour;
  local.tm_min = d.minute;
  local.tm_sec = d.second;
  local.tm_isdst = -1;
  timespec times[2] = {{0, UTIME_OMIT}, {std::mktime(&local), 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

bool ExtractFolder(const std::string& from, const fs::path& to, std::string& error) {
  qr::file::StreamFunctions& streams = qr::file::Streams();
  std::error_code failed;
  fs::create_directories(to, failed);
  if (failed) {
    error = "cannot make the folder " + to.string();
    return false;
  }
  qr::file::FoundFile found;
  qr::file::FindHandle find = streams.FindFirst((from + "\\*").c_str(), &found);
  if (find == qr::file::kNoFind) {
    error = "cannot search " + Utf8(from);
    return false;
  }
  std::vector<qr::file::FoundFile> names;
  do {
    if (std::strcmp(found.name, ".") != 0 && std::strcmp(found.name, "..") != 0)
      names.push_back(found);
  } while (streams.FindNext(find, &found) == 0);
  streams.FindEnd(find);
  for (const qr::file::FoundFile& entry : names) {
    std::string inner = from + "\\" + entry.name;
    fs::path out = to / fs::u8path(Utf8(entry.name));
    if (entry.directory) {
      if (!ExtractFolder(inner, out, error)) return false;
      continue;
    }
    std::FILE* file = std::fopen(out.c_str(), "wb");
    bool ok = file && CopyEntry(inner, file);
    if (file && std::fclose(file) != 0) ok = false;
    if (!ok) {
      error = "cannot extract " + Utf8(inner);
      return false;
    }
    SetWriteTime(out, entry.lastWriteTime);
  }
  return true;
}

int Extract(const Arguments& a) {
  if (a.positional.size() != 2) return Fail("extract takes an archive and a folder");
  std::string base, error;
  if (!ClaimThroughStreams(a, base, error)) return Fail(error);
  if (!ExtractFolder(base, a.positional[1], error)) return Fail(error);
  qr::file::CloseUnusedArchiveFiles();
  return 0;
}

int Cat(const Arguments& a) {
  if (a.positional.size() != 2) return Fail("cat takes an archive and a path inside it");
  std::string base, error, inner;
  if (!ClaimThroughStreams(a, base, error)) return Fail(error);
  if (!ToCp932(a.positional[1], inner)) return Fail("a path Shift-JIS cannot express: " + a.positional[1]);
  if (!CopyEntry(base + "\\" + inner, stdout)) return Fail("no such entry: " + a.positional[1]);
  qr::file::CloseUnusedArchiveFiles();
  return std::fflush(stdout) == 0 ? 0 : Fail("cannot write to standard output");
}

int Key(int argc, char** argv) {
  if (argc > 3) return Fail("key takes at most one string");
  qr::file::ArchiveKey key = qr::file::BuildArchiveKey(argc == 3 ? argv[2] : nullptr);
  for (unsigned char byte : key.bytes) std::printf("%02X", byte);
  std::printf("\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 1 : 0;
  }
  std::string command = argv[1];
  if (command == "key") return Key(argc, argv);
  Arguments arguments;
  std::string error;
  if (!Parse(argc, argv, arguments, error)) return Fail(error);
  if (command == "pack") return Pack(arguments);
  if (command == "list") return List(arguments);
  if (command == "extract") return Extract(arguments);
  if (command == "cat") return Cat(arguments);
  return Fail("unknown command " + command + " (qrpack --help)");
}
