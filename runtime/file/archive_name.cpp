// Search names: the form in which a path element is looked up in an archive's tables.
#include <cstring>

#include "file/archive_format.h"
#include "platform/encoding.h"

namespace qr::file {

bool MakeArchiveName(const char* element, ArchiveName& name) {
  size_t length = 0;
  unsigned sum = 0;
  for (const char* p = element; *p && *p != '\\' && *p != '/'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    bool pair = platform::IsCp932LeadByte(c) && p[1];
    size_t take = pair ? 2 : 1;
    if (length + take > 255) return false;
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
    name.bytes[length++] = c;
    sum += c;
    if (pair) {
      unsigned char second = static_cast<unsigned char>(*++p);
      name.bytes[length++] = second;  // never case-converted
      sum += second;
    }
  }
  name.length = length;
  name.words = uint16_t((length + 4) / 4);
  std::memset(name.bytes + length, 0, size_t(name.words) * 4 - length);
  name.checkSum = uint16_t(sum & 0xFFFF);
  return true;
}

}  // namespace qr::file
