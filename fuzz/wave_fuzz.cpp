// Fuzzes the WAVE chunk walk and both WAVE recognisers: the input follows a RIFF WAVE header.
#include <cstring>

#include "sound_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(12 + size);
  std::memcpy(file.data(), "RIFF\0\0\0\0WAVE", 12);
  uint32_t riff = uint32_t(file.size() - 8);
  std::memcpy(&file[4], &riff, 4);
  if (size) std::memcpy(file.data() + 12, data, size);
  qr::sound::fuzzing::RunConverter(file.data(), file.size());
  return 0;
}
