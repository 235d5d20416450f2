#include "sound/mp3_frames.h"

#include <cstring>

namespace qr::sound {
namespace {

// kbps by bitrate index; rows: MPEG-1 Layer I, II, III; MPEG-2 Layer I, Layers II and III.
constexpr int kBitrates[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
constexpr int kRates[2][3] = {{22050, 24000, 16000}, {44100, 48000, 32000}};

}  // namespace

bool ParseMpegFrameHeader(const uint8_t b[4], MpegFrameHeader& h) {
  if (b[0] != 0xFF || (b[1] & 0xF0) != 0xF0) return false;
  h.mpeg1 = (b[1] & 0x08) != 0;
  h.layer = 3 - ((b[1] >> 1) & 3);
  if (h.layer == 3) return false;
  int bitrateIndex = b[2] >> 4;
  int rateIndex = (b[2] >> 2) & 3;
  if (bitrateIndex == 15 || bitrateIndex == 0 || rateIndex == 3) return false;
  int row = h.mpeg1 ? h.layer : (h.layer == 0 ? 3 : 4);
  h.bitrate = kBitrates[row][bitrateIndex];
  h.sampleRate = kRates[h.mpeg1 ? 1 : 0][rateIndex];
  h.padding = (b[2] >> 1) & 1;
  h.channels = (b[3] >> 6) == 3 ? 1 : 2;
  if (h.layer == 0) {
    h.frameBytes = (12000 * h.bitrate / h.sampleRate + h.padding) * 4;
    h.samples = 384;
  } else if (h.mpeg1 || h.layer == 1) {
    // Layer II has 1,152 samples per frame in both versions; only MPEG-2 Layer III halves them.
    h.frameBytes = 144000 * h.bitrate / h.sampleRate + h.padding;
    h.samples = 1152;
  } else {
    h.frameBytes = 72000 * h.bitrate / h.sampleRate + h.padding;
    h.samples = 576;
  }
  return h.frameBytes >= 4;
}

bool ScanMp3(const uint8_t* data, size_t size, Mp3Layout& layout) {
  layout = Mp3Layout{};
  if (size <= 128) return false;
  if (std::memcmp(data, "ID3", 3) == 0 && size >= 10) {
    size_t tagSize = size_t(data[6] & 0x7F) << 21 | size_t(data[7] & 0x7F) << 14 |
                     size_t(data[8] & 0x7F) << 7 | size_t(data[9] & 0x7F);
    layout.id3Length = tagSize + 10;
    if (data[3] == 4 && (data[5] & 0x10)) layout.id3Length += 10;
  }
  layout.id3v1 = std::memcmp(data + size - 128, "TAG", 3) == 0;
  const size_t audioEnd = size - (layout.id3v1 ? 128 : 0);
  bool found = false;
  size_t at = layout.id3Length;
  while (at + 4 <= audioEnd) {
    if (data[at] != 0xFF || data[at + 1] < 0xF0) {
      ++at;
      continue;
    }
    MpegFrameHeader header;
    if (!ParseMpegFrameHeader(data + at, header)) return false;
    if (!found) {
      found = true;
      layout.dataStart = at;
      layout.first = header;
    }
    layout.totalSamples += header.samples;
    size_t end = at + size_t(header.frameBytes);
    if (end >= audioEnd) {
      layout.dataEnd = audioEnd;
      return true;
    }
    layout.dataEnd = end;
    at = end;
  }
  if (!found) return false;
  // The scan ran out of sync words before the audio end: the data ends after the last frame.
  return true;
}

}  // namespace qr::sound
