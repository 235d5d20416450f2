// The 512 open archives, the resolution cache, and which archive claims a path.
#include "file/archive_table.h"

#include <cstring>
#include <new>

#include "file/host_path.h"
#include "platform/encoding.h"
#include "qr.h"

namespace qr::file {
namespace {

struct ArchiveTable {
  OpenArchive* slots[kMaxOpenArchives] = {};
  int count = 0;
  // The last archive found by a walk and the length of the full-path prefix it stands for.
  int cachedSlot = -1;
  std::string cachedName;
  std::string cachedHost;
  size_t cachedPrefix = 0;
};

ArchiveTable& Table() {
  static ArchiveTable table;
  return table;
}

void ForgetCache() {
  ArchiveTable& t = Table();
  t.cachedSlot = -1;
  t.cachedName.clear();
  t.cachedHost.clear();
  t.cachedPrefix = 0;
}

void CloseSlot(int slot) {
  ArchiveTable& t = Table();
  OpenArchive* archive = t.slots[slot];
  CloseArchive(&archive->state);
  archive->~OpenArchive();
  FreeMemory(archive);
  t.slots[slot] = nullptr;
  --t.count;
  if (t.cachedSlot == slot) ForgetCache();
}

void UpperCaseElement(std::string& element) {
  for (size_t i = 0; i < element.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(element[i]);
    if (platform::IsCp932LeadByte(c) && i + 1 < element.size())
      ++i;
    else if (c >= 'a' && c <= 'z')
      element[i] = char(c - 'a' + 'A');
  }
}

}  // namespace

ArchiveSettings& ArchiveLayerSettings() {
  static ArchiveSettings settings;
  return settings;
}

OpenArchive* ArchiveInSlot(int slot) {
  return slot >= 0 && slot < kMaxOpenArchives ? Table().slots[slot] : nullptr;
}

int OpenArchiveCount() { return Table().count; }

FullArchivePath MakeFullArchivePath(const char* path) {
  std::vector<std::string> hostElements, upperElements;
  if (path[0] != '\\' && path[0] != '/') {
    for (std::string& element : SplitCp932Path(ApiCurrentDirectory().c_str())) {
      if (element.empty()) continue;
      hostElements.push_back(element);
      upperElements.push_back(element);
    }
  }
  for (std::string& element : SplitCp932Path(path)) {
    if (element.empty() || element == ".") continue;
    if (element == "..") {
      if (!hostElements.empty()) {
        hostElements.pop_back();
        upperElements.pop_back();
      }
      continue;
    }
    hostElements.push_back(element);
    UpperCaseElement(element);
    upperElements.push_back(element);
  }
  FullArchivePath full;
  for (size_t i = 0; i < hostElements.size(); ++i) {
    full.upper += "\\" + upperElements[i];
    full.host += "\\" + hostElements[i];
    full.upperEnds.push_back(full.upper.size());
    full.hostEnds.push_back(full.host.size());
  }
  if (full.upper.size() > kMaxPathBytes) return FullArchivePath{};
  return full;
}

int OpenArchiveByName(int hint, const std::string& fullName, const std::string& hostPath) {
  ArchiveTable& t = Table();
  if (OpenArchive* archive = ArchiveInSlot(hint); archive && archive->name == fullName) {
    ++archive->references;
    return hint;
  }
  int freeSlot = -1;
  for (int slot = 0; slot < kMaxOpenArchives; ++slot) {
    OpenArchive* archive = t.slots[slot];
    if (!archive) {
      if (freeSlot < 0) freeSlot = slot;
    } else if (archive->name == fullName) {
      ++archive->references;
      return slot;
    }
  }
  // Only a file that is there is worth a file thread.
  if (!StatHostPath(HostPath(hostPath.c_str())).regular) return -1;
  if (t.count >= kMaxOpenArchives) {
    CloseUnusedArchives();
    if (t.count >= kMaxOpenArchives) return -1;
    freeSlot = -1;
  }
  if (freeSlot < 0)
    for (freeSlot = 0; t.slots[freeSlot]; ++freeSlot) {
    }
  void* memory = AllocZeroMemory(sizeof(OpenArchive), __FILE__, __LINE__);
  if (!memory) return -1;
  auto* archive = new (memory) OpenArchive;
  const ArchiveSettings& settings = ArchiveLayerSettings();
  if (OpenArchiveFile(&archive->state, hostPath.c_str(),
                      settings.keySet ? settings.keyString : nullptr) != 0) {
    archive->~OpenArchive();
    FreeMemory(archive);
    return -1;
  }
  archive->references = 1;
  archive->name = fullName;
  t.slots[freeSlot] = archive;
  ++t.count;
  return freeSlot;
}

void ReleaseArchive(int slot) {
  if (OpenArchive* archive = ArchiveInSlot(slot); archive && archive->references > 0)
    --archive->references;
}

void CloseUnusedArchives() {
  for (int slot = 0; slot < kMaxOpenArchives; ++slot)
    if (OpenArchive* archive = Table().slots[slot]; archive && archive->references <= 0)
      CloseSlot(slot);
}

void ClearArchiveTable() {
  CloseUnusedArchives();
  ForgetCache();
}

int ResolveArchivePath(const char* path, int* slotOut, std::string* archiveName,
                       std::string* innerPath) {
  if (!path) return -1;
  FullArchivePath full = MakeFullArchivePath(path);
  if (full.upper.empty()) return -1;
  ArchiveTable& t = Table();
  const std::string extension = std::string(".") + ArchiveLayerSettings().extension;
  auto claim = [&](int slot, size_t element) {
    *slotOut = slot;
    if (archiveName) *archiveName = Table().slots[slot]->name;
    if (innerPath) *innerPath = full.upper.substr(full.upperEnds[element] + 1);
    return 0;
  };

  // The archive found last, when the path lies below the folder it stands for.
  if (t.cachedPrefix > 0 && full.upper.size() > t.cachedPrefix &&
      full.upper.compare(0, t.cachedPrefix, t.cachedName, 0, t.cachedPrefix) == 0 &&
      full.upper[t.cachedPrefix] == '\\') {
    for (size_t element = 0; element + 1 < full.upperEnds.size(); ++element) {
      if (full.upperEnds[element] != t.cachedPrefix) continue;
      int slot = OpenArchiveByName(t.cachedSlot, t.cachedName, t.cachedHost);
      return slot < 0 ? -1 : claim(slot, element);
    }
  }
  // Each leading folder, shortest first; the file name itself is never an archive.
  for (size_t element = 0; element + 1 < full.upperEnds.size(); ++element) {
    std::string name = full.upper.substr(0, full.upperEnds[element]);
    std::string upperExtension = extension;
    UpperCaseElement(upperExtension);
    std::string candidate = name + upperExtension;
    std::string host = full.host.substr(0, full.hostEnds[element]) + extension;
    int slot = OpenArchiveByName(-1, candidate, host);
    if (slot < 0) continue;
    t.cachedSlot = slot;
    t.cachedName = candidate;
    t.cachedHost = host;
    t.cachedPrefix = name.size();
    return claim(slot, element);
  }
  return -1;
}

}  // namespace qr::file
