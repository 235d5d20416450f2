// Fuzzes the unpacker of packed archive entries: the input is the packed data, header included.
// The output buffer is the size the header declares (up to 16 MiB), so that a write past the
// declared size shows up as a write outside the buffer.
#include <cstdint>
#include <vector>

#include "file/archive_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int64_t declared = qr::file::UnpackArchiveData(data, size, nullptr, 0);
  if (declared < 0 || declared > (16 << 20)) return 0;
  std::vector<unsigned char> out(static_cast<size_t>(declared));
  int64_t result = qr::file::UnpackArchiveData(data, size, out.data(), out.size());
  if (result != -1 && result != declared) __builtin_trap();
  return 0;
}
