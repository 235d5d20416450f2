// MPEG audio through libmpg123 in feed mode: the coded bytes go in as they come, the PCM format
// asked for comes out.
#include <mpg123.h>

#include <algorithm>
#include <mutex>

#include "platform/codec/wave_decoders.h"

namespace qr::platform::codec {
namespace {

class Mp3Conversion final : public AudioConversion {
 public:
  explicit Mp3Conversion(mpg123_handle* handle, const WaveFormat& source, const WaveFormat& pcm)
      : handle_(handle), source_(source), pcm_(pcm) {}
  ~Mp3Conversion() override { mpg123_delete(handle_); }

  bool Convert(const uint8_t* source, size_t sourceBytes, uint8_t* destination,
               size_t destinationBytes, size_t* used, size_t* produced) override {
    *used = *produced = 0;
    // What the decoder still holds comes first; new bytes are fed only once there is room.
    if (!Drain(destination, destinationBytes, produced)) return false;
    if (*produced == destinationBytes || sourceBytes == 0) return true;
    if (mpg123_feed(handle_, source, sourceBytes) != MPG123_OK) return false;
    *used = sourceBytes;
    return Drain(destination, destinationBytes, produced);
  }

  size_t EstimateOutput(size_t sourceBytes) override {
    uint64_t rate = std::max<uint32_t>(source_.averageBytesPerSecond, 1000);
    return size_t(uint64_t(sourceBytes) * pcm_.averageBytesPerSecond / rate) + 4 * 1152 * 4;
  }

 private:
  bool Drain(uint8_t* destination, size_t destinationBytes, size_t* produced) {
    while (*produced < destinationBytes) {
      size_t done = 0;
      int result = mpg123_read(handle_, destination + *produced, destinationBytes - *produced, &done);
      *produced += done;
      if (result == MPG123_NEED_MORE || result == MPG123_DONE) return true;
      if (result == MPG123_NEW_FORMAT) continue;
      if (result != MPG123_OK) return *produced > 0 || done > 0;
      if (done == 0) return true;
    }
    return true;
  }

  mpg123_handle* handle_;
  WaveFormat source_, pcm_;
};

}  // namespace

AudioConversion* OpenMp3Conversion(const WaveFormat& source, const WaveFormat& pcm) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { mpg123_init(); });
  if (pcm.bitsPerSample != 16 || (pcm.channels != 1 && pcm.channels != 2)) return nullptr;
  int error = 0;
  mpg123_handle* handle = mpg123_new(nullptr, &error);
  if (!handle) return nullptr;
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(handle);
  if (mpg123_format(handle, long(pcm.samplesPerSecond), pcm.channels == 1 ? MPG123_MONO : MPG123_STEREO,
                    MPG123_ENC_SIGNED_16) != MPG123_OK ||
      mpg123_open_feed(handle) != MPG123_OK) {
    mpg123_delete(handle);
    return nullptr;
  }
  return new Mp3Conversion(handle, source, pcm);
}

}  // namespace qr::platform::codec
