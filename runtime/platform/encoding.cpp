#include "platform/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace qr::platform {
namespace {

std::string Convert(const std::string& text, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == iconv_t(-1)) return text;
  std::string out;
  out.reserve(text.size() * 2);
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char buffer[256];
  while (inLeft > 0) {
    char* o = buffer;
    size_t oLeft = sizeof buffer;
    size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buffer, size_t(o - buffer));
    if (r == size_t(-1) && errno != E2BIG) {
      // Skip one byte of what does not convert.
      out.push_back('?');
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

bool Utf8ToCp932Exactly(const std::string& text, std::string& out, std::string& failed) {
  out.clear();
  failed.clear();
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == iconv_t(-1)) return false;
  bool ok = true;
  for (size_t i = 0; i < text.size() && ok;) {
    // One UTF-8 character at a time, so the one that fails can be named.
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    length = std::min(length, text.size() - i);
    char* in = const_cast<char*>(text.data() + i);
    size_t inLeft = length;
    char buffer[8];
    char* o = buffer;
    size_t oLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in, &inLeft, &o, &oLeft) == size_t(-1) || inLeft != 0) {
      failed = text.substr(i, length);
      ok = false;
    } else {
      out.append(buffer, size_t(o - buffer));
    }
    i += length;
  }
  iconv_close(cd);
  return ok;
}

std::string Cp932ToUtf8(const std::string& text) { return Convert(text, "CP932", "UTF-8"); }
std::string Utf8ToCp932(const std::string& text) { return Convert(text, "UTF-8", "CP932"); }

}  // namespace qr::platform
