// MPEG audio frame headers and the scan that finds an MP3 file's frames between its ID3 tags.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qr::sound {

struct MpegFrameHeader {
  bool mpeg1 = false;
  int layer = 0;  // 0 Layer I, 1 Layer II, 2 Layer III
  int bitrate = 0;  // kbps
  int sampleRate = 0;
  int padding = 0;
  int channels = 0;
  int frameBytes = 0;
  int samples = 0;
};

// False when the four bytes are no header we can use (free-format bitrate included: its frames
// have no size we could skip by).
bool ParseMpegFrameHeader(const uint8_t bytes[4], MpegFrameHeader& header);

struct Mp3Layout {
  size_t id3Length = 0;
  bool id3v1 = false;
  size_t dataStart = 0, dataEnd = 0;
  int64_t totalSamples = 0;
  MpegFrameHeader first;
};

// Scans a whole MP3 file in memory. False when it has no audio we accept: 128 bytes or less, no
// frame, or a sync word whose header does not parse.
bool ScanMp3(const uint8_t* data, size_t size, Mp3Layout& layout);

}  // namespace qr::sound
