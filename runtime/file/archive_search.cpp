// Searching a folder of an archive with a name pattern, as the plain set searches a folder of
// the host.
#include <cstring>
#include <new>

#include "file/archive.h"
#include "platform/encoding.h"
#include "qr.h"

namespace qr::file {
namespace {

bool IsLead(char c) { return platform::IsCp932LeadByte(static_cast<unsigned char>(c)); }

// Upper-cases "a"-"z", leaving the second byte of every Shift-JIS pair as it is.
void UpperCase(char* text) {
  for (char* p = text; *p; ++p) {
    if (IsLead(*p) && p[1])
      ++p;
    else if (*p >= 'a' && *p <= 'z')
      *p = char(*p - 'a' + 'A');
  }
}

size_t CharLength(const char* p) { return IsLead(*p) && p[1] ? 2 : 1; }

// '?' is any one character (a Shift-JIS pair counts as one), '*' any run of them; everything
// else must be equal. Both sides are upper case. A '*' goes back to the next place to try when
// what follows it does not match, so "*.PNG" also finds "A.B.PNG" as a folder search does.
bool MatchPattern(const char* pattern, const char* name) {
  const char* starPattern = nullptr;
  const char* starName = nullptr;
  while (*name) {
    size_t n = CharLength(name);
    if (*pattern == '*') {
      starPattern = ++pattern;
      starName = name;
      continue;
    }
    size_t p = CharLength(pattern);
    if (*pattern && (*pattern == '?' || (p == n && std::memcmp(pattern, name, n) == 0))) {
      pattern += *pattern == '?' ? 1 : p;
      name += n;
    } else if (starPattern) {
      pattern = starPattern;
      starName += CharLength(starName);
      name = starName;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

// The search name of an entry as text: its upper-case bytes up to the first zero.
void SearchText(const ArchiveEntryView& entry, char* out, size_t capacity) {
  size_t i = 0;
  for (; i + 1 < capacity && entry.searchName[i]; ++i) out[i] = char(entry.searchName[i]);
  out[i] = '\0';
}

void FillDate(uint64_t fileTime, DateRecord& date) {
  date = fileTime ? LocalDate(FileTimeToUnixSeconds(fileTime)) : DateRecord{};
}

// The next candidate that matches, written to `found`; false after the last one.
bool Next(ArchiveFind* f, FoundFile* found) {
  uint32_t count = DirectoryEntryCount(f->archive, f->directory);
  while (f->index < 2 + uint64_t(count)) {
    uint32_t index = f->index++;
    if (index < 2) {
      if (index == 1 && f->directory == 0) continue;  // the root has no parent
      const char* name = index == 0 ? "." : "..";
      if (!MatchPattern(f->pattern, name)) continue;
      if (found) {
        std::memset(found, 0, sizeof *found);
        std::strcpy(found->name, name);
        found->directory = 1;
      }
      return true;
    }
    ArchiveEntryView entry;
    if (!DirectoryEntryAt(f->archive, f->directory, index - 2, entry)) return false;
    char upper[260];
    SearchText(entry, upper, sizeof upper);
    if (!MatchPattern(f->pattern, upper)) continue;
    if (found) {
      std::memset(found, 0, sizeof *found);
      std::strncpy(found->name, entry.writtenName, sizeof found->name - 1);
      found->directory = entry.IsDirectory() ? 1 : 0;
      found->sizeLow = int(entry.IsDirectory() ? 0 : entry.dataSize);
      found->sizeHigh = 0;
      FillDate(entry.creationTime, found->creationTime);
      FillDate(entry.writeTime, found->lastWriteTime);
    }
    return true;
  }
  return false;
}

}  // namespace

ArchiveFind* ArchiveFindFirst(ArchiveState* a, const char* patternPath, FoundFile* found) {
  if (!patternPath) return nullptr;
  // The folder part ends at the last separator or colon.
  size_t split = 0;
  for (size_t i = 0; patternPath[i]; i += CharLength(patternPath + i))
    if (patternPath[i] == '\\' || patternPath[i] == '/' || patternPath[i] == ':') split = i + 1;
  const char* namePattern = patternPath + split;
  if (std::strlen(namePattern) >= sizeof ArchiveFind::pattern || split > 259) return nullptr;
  char folder[260];
  std::memcpy(folder, patternPath, split);
  folder[split] = '\0';
  UpperCase(folder);
  int64_t directory = WalkArchiveDirectories(a, a->currentDirectory, folder);
  if (directory < 0) return nullptr;

  auto* f = static_cast<ArchiveFind*>(AllocZeroMemory(sizeof(ArchiveFind), __FILE__, __LINE__));
  if (!f) return nullptr;
  new (f) ArchiveFind;
  f->archive = a;
  f->directory = uint32_t(directory);
  std::strcpy(f->pattern, namePattern);
  UpperCase(f->pattern);
  // "*.*" is the traditional way of asking for every name, with or without a dot.
  if (std::strcmp(f->pattern, "*.*") == 0) std::strcpy(f->pattern, "*");
  if (!Next(f, found)) {
    FreeMemory(f);
    return nullptr;
  }
  return f;
}

int ArchiveFindNext(ArchiveFind* f, FoundFile* found) { return Next(f, found) ? 0 : -1; }

void ArchiveFindEnd(ArchiveFind* f) { FreeMemory(f); }

}  // namespace qr::file
