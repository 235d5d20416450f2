// Fuzzes the MP3 frame scan (ID3 tags, sync words, frame headers) on its own.
#include "sound/mp3_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qr::sound::Mp3Layout layout;
  if (qr::sound::ScanMp3(data, size, layout) &&
      (layout.dataStart >= layout.dataEnd || layout.dataEnd > size))
    __builtin_trap();  // the layout must lie inside the file
  return 0;
}
