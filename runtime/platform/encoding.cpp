#include "platform/encoding.h"

#include <iconv.h>

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

std::string Cp932ToUtf8(const std::string& text) { return Convert(text, "CP932", "UTF-8"); }
std::string Utf8ToCp932(const std::string& text) { return Convert(text, "UTF-8", "CP932"); }

}  // namespace qr::platform
