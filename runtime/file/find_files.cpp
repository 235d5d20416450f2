// The plain set's searches: the names in one folder that match a pattern with '*' and '?'.
#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "file/host_path.h"
#include "file/stream_functions.h"
#include "platform/encoding.h"

namespace qr::file {
namespace {

struct Match {
  std::string name;  // CP932
  HostFileInfo info;
};

struct PlainSearch {
  std::vector<Match> matches;
  size_t next = 0;
};

std::unordered_set<const void*>& LiveSearches() {
  static std::unordered_set<const void*> live;
  return live;
}

PlainSearch* AsSearch(FindHandle find) {
  void* record = reinterpret_cast<void*>(find);
  return LiveSearches().count(record) ? static_cast<PlainSearch*>(record) : nullptr;
}

// UTF-8 into code points, so that '?' stands for one character.
std::u32string CodePoints(const std::string& text) {
  std::u32string points;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    char32_t point = extra == 0 ? c : c & (0x3F >> extra);
    size_t j = 1;
    for (; j <= size_t(extra) && i + j < text.size(); ++j)
      point = (point << 6) | (static_cast<unsigned char>(text[i + j]) & 0x3F);
    points.push_back(point);
    i += j;
  }
  return points;
}

// '*' matches any run of characters, '?' exactly one; letters compare without regard to case
// (both sides are folded before).
bool Matches(const std::u32string& pattern, const std::u32string& name) {
  size_t p = 0, n = 0, starP = std::u32string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == U'*') {
      starP = p++;
      starN = n;
    } else if (starP != std::u32string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == U'*') ++p;
  return p == pattern.size();
}

void Fill(const Match& match, FoundFile* found) {
  if (!found) return;
  std::memset(found, 0, sizeof *found);
  std::memcpy(found->name, match.name.c_str(), match.name.size() + 1);
  found->directory = match.info.directory ? 1 : 0;
  found->sizeLow = int(uint32_t(match.info.size));
  found->sizeHigh = int(uint32_t(match.info.size >> 32));
  found->creationTime = LocalDate(match.info.creationTime);
  found->lastWriteTime = LocalDate(match.info.writeTime);
}

// Where the last element of a CP932 path starts (after its last separator).
size_t NameStart(const char* path) {
  size_t start = 0;
  for (size_t i = 0; path[i]; ++i) {
    if (platform::IsCp932LeadByte(static_cast<unsigned char>(path[i])) && path[i + 1])
      ++i;
    else if (path[i] == '\\' || path[i] == '/')
      start = i + 1;
  }
  return start;
}

}  // namespace

FindHandle PlainFindFirst(const char* pattern, FoundFile* found) {
  if (!pattern || std::strlen(pattern) > kMaxPathBytes) return kNoFind;
  size_t nameAt = NameStart(pattern);
  std::string folderPath(pattern, nameAt);
  std::string folder = HostPath(folderPath.empty() ? "." : folderPath.c_str());
  std::string namePattern = platform::Cp932ToUtf8(pattern + nameAt);
  if (namePattern.empty()) return kNoFind;
  // "*.*" is the traditional way of asking for every name, with or without a dot.
  if (namePattern == "*.*") namePattern.assign(1, '*');
  std::u32string wanted = CodePoints(FoldAsciiCase(namePattern));

  std::vector<std::string> names = ListHostFolder(folder);
  // "." and ".." first, then by name.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    int ra = a == "." ? 0 : a == ".." ? 1 : 2, rb = b == "." ? 0 : b == ".." ? 1 : 2;
    if (ra != rb) return ra < rb;
    std::string fa = FoldAsciiCase(a), fb = FoldAsciiCase(b);
    return fa != fb ? fa < fb : a < b;
  });
  auto* search = new PlainSearch;
  for (const std::string& name : names) {
    if (!Matches(wanted, CodePoints(FoldAsciiCase(name)))) continue;
    Match match{platform::Utf8ToCp932(name), StatHostPath(folder + "/" + name)};
    // A dangling link, or a name no 260-byte record can hold, is not offered.
    if (!match.info.exists || match.name.size() > kMaxPathBytes) continue;
    search->matches.push_back(std::move(match));
  }
  if (search->matches.empty()) {
    delete search;
    return kNoFind;
  }
  Fill(search->matches[0], found);
  search->next = 1;
  LiveSearches().insert(search);
  return reinterpret_cast<FindHandle>(search);
}

int PlainFindNext(FindHandle find, FoundFile* found) {
  PlainSearch* search = AsSearch(find);
  if (!search || search->next >= search->matches.size()) return -1;
  Fill(search->matches[search->next++], found);
  return 0;
}

int PlainFindEnd(FindHandle find) {
  PlainSearch* search = AsSearch(find);
  if (!search) return -1;
  LiveSearches().erase(search);
  delete search;
  return 0;
}

}  // namespace qr::file
