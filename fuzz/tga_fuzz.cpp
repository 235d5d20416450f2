// Fuzzes the Tga decoder alone.
#include "image_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qr::image::fuzzing::RunDecoder(qr::image::DecodeTga, data, size);
  return 0;
}
