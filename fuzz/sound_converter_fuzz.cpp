// Fuzzes the whole sound converter: all four recognisers in turn, then decoding and seeking.
#include "sound_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qr::sound::fuzzing::RunConverter(data, size);
  return 0;
}
