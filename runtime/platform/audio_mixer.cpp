#include "platform/audio_mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qr::platform {

int32_t MixerGain(int level) {
  if (level <= kSilentLevel) return 0;
  if (level >= 0) return 32768;
  return int32_t(std::lround(32768.0 * std::pow(10.0, level / 2000.0)));
}

namespace {

bool AcceptableFormat(const PcmFormat& f) {
  return (f.channels == 1 || f.channels == 2) && (f.bitsPerSample == 8 || f.bitsPerSample == 16) &&
         f.samplesPerSecond >= 1000 && f.samplesPerSecond <= 192000;
}

// The interpolation weight of a phase remainder, in 1/32,768: remainder × 32768 / 44100 by a
// multiply and a shift (a division per sample would cost more than the rest of the mix).
// At most 32,768, so (difference × weight) stays within 32 bits.
inline int32_t Weight(uint32_t remainder) {
  return int32_t((uint64_t(remainder) * 779131u + (1u << 19)) >> 20);  // rounded
}

template <int Bits>
inline int32_t Sample(const uint8_t* data, size_t index) {
  if constexpr (Bits == 8) {
    return (int32_t(data[index]) - 128) * 256;
  } else {
    return int16_t(uint16_t(data[2 * index]) | uint16_t(data[2 * index + 1]) << 8);
  }
}

}  // namespace

AudioMixer::Voice* AudioMixer::Find(AudioBufferId buffer) {
  auto it = voices_.find(buffer);
  return it == voices_.end() ? nullptr : &it->second;
}

AudioBufferId AudioMixer::Create(const PcmFormat& format, uint32_t bytes) {
  if (!AcceptableFormat(format)) return 0;
  uint32_t block = uint32_t(format.BlockAlign());
  if (bytes < block || bytes % block != 0 || bytes > (1u << 30)) return 0;
  std::lock_guard lock(mutex_);
  Voice voice;
  voice.samples = std::make_shared<std::vector<uint8_t>>(bytes, format.bitsPerSample == 8 ? 0x80 : 0);
  voice.format = format;
  voice.frames = bytes / block;
  AudioBufferId id = nextId_++;
  voices_.emplace(id, std::move(voice));
  return id;
}

AudioBufferId AudioMixer::Duplicate(AudioBufferId source) {
  std::lock_guard lock(mutex_);
  Voice* original = Find(source);
  if (!original) return 0;
  Voice copy;
  copy.samples = original->samples;
  copy.format = original->format;
  copy.frames = original->frames;
  AudioBufferId id = nextId_++;
  voices_.emplace(id, std::move(copy));
  return id;
}

void AudioMixer::Release(AudioBufferId buffer) {
  std::lock_guard lock(mutex_);
  voices_.erase(buffer);
}

void AudioMixer::ReleaseAll() {
  std::lock_guard lock(mutex_);
  voices_.clear();
}

int AudioMixer::BufferCount() {
  std::lock_guard lock(mutex_);
  return int(voices_.size());
}

bool AudioMixer::Lock(AudioBufferId buffer, uint32_t offset, uint32_t bytes, void** part1,
                      uint32_t* bytes1, void** part2, uint32_t* bytes2) {
  std::lock_guard lock(mutex_);
  Voice* v = Find(buffer);
  if (!v || v->locked || !part1 || !bytes1) return false;
  uint32_t size = uint32_t(v->samples->size());
  if (offset >= size || bytes == 0 || bytes > size) return false;
  uint32_t first = std::min(bytes, size - offset);
  uint32_t second = bytes - first;
  if (second && (!part2 || !bytes2)) return false;
  v->staging.resize(bytes);
  std::memcpy(v->staging.data(), v->samples->data() + offset, first);
  if (second) std::memcpy(v->staging.data() + first, v->samples->data(), second);
  v->lockOffset = offset;
  v->locked = true;
  *part1 = v->staging.data();
  *bytes1 = first;
  if (part2) *part2 = second ? v->staging.data() + first : nullptr;
  if (bytes2) *bytes2 = second;
  return true;
}

bool AudioMixer::Unlock(AudioBufferId buffer, void* part1, uint32_t bytes1, void* part2,
                        uint32_t bytes2) {
  std::lock_guard lock(mutex_);
  Voice* v = Find(buffer);
  if (!v || !v->locked || part1 != v->staging.data()) return false;
  uint32_t size = uint32_t(v->samples->size());
  // Only what was handed out is copied back, however the caller counts.
  uint32_t first = std::min({bytes1, uint32_t(v->staging.size()), size - v->lockOffset});
  std::memcpy(v->samples->data() + v->lockOffset, v->staging.data(), first);
  if (part2 && bytes2) {
    uint32_t second = std::min(bytes2, uint32_t(v->staging.size()) - first);
    std::memcpy(v->samples->data(), v->staging.data() + first, second);
  }
  v->locked = false;
  return true;
}

bool AudioMixer::Play(AudioBufferId buffer, bool loop) {
  std::lock_guard lock(mutex_);
  Voice* v = Find(buffer);
  if (!v) return false;
  v->playing = true;
  v->looping = loop;
  return true;
}

bool AudioMixer::Stop(AudioBufferId buffer) {
  std::lock_guard lock(mutex_);
  Voice* v = Find(buffer);
  if (!v) return false;
  v->playing = false;
  return true;
}

bool AudioMixer::Status(AudioBufferId buffer, unsigned* status) {
  std::lock_guard lock(mutex_);
  Voice* v = Find(buffer);
  if (!v || !status) return false;
  *status = (v->playing ? kBufferPlaying : 0u) | (v->playing && v->looping ? kBufferLooping : 0u);
  return true;
}

bool AudioMixer::SetVolume(AudioBufferId buffer, int level) {
  std::lock_guard lock(mutex_);
  Voice* v = Find(buffer);
  if (!v || level > 0 || level < kSilentLevel) return false;
  v->level = level;
  v->gain = MixerGain(level);
  return true;
}

bool AudioMixer::GetVolume(AudioBufferId buffer, int* level) {
  std::lock_guard lock(mutex_);
  Voice* v = Find(buffer);
  if (!v || !level) return false;
  *level = v->level;
  return true;
}

bool AudioMixer::Positions(AudioBufferId buffer, uint32_t* play, uint32_t* write) {
  std::lock_guard lock(mutex_);
  Voice* v = Find(buffer);
  if (!v) return false;
  uint32_t at = v->frame * uint32_t(v->format.BlockAlign());
  if (play) *play = at;
  if (write) *write = at;
  return true;
}

bool AudioMixer::SetPosition(AudioBufferId buffer, uint32_t play) {
  std::lock_guard lock(mutex_);
  Voice* v = Find(buffer);
  if (!v) return false;
  uint32_t frame = play / uint32_t(v->format.BlockAlign());
  v->frame = frame < v->frames ? frame : 0;
  v->remainder = 0;
  return true;
}

// Moves a voice on by output frames without producing sound (a silent voice still plays).
void AudioMixer::Advance(Voice& v, size_t frames) {
  uint64_t total = uint64_t(v.remainder) + uint64_t(frames) * uint64_t(v.format.samplesPerSecond);
  // (frames is at most 2^30, so this cannot overflow.)
  uint64_t frame = v.frame + total / kMixRate;
  v.remainder = uint32_t(total % kMixRate);
  if (frame < v.frames) {
    v.frame = uint32_t(frame);
  } else if (v.looping) {
    v.frame = uint32_t(frame % v.frames);
  } else {
    v.playing = false;
    v.frame = 0;
    v.remainder = 0;
  }
}

template <int Bits, int Channels>
static size_t MixInto(const uint8_t* data, uint32_t frames, bool looping, uint32_t& frame,
                      uint32_t& remainder, int32_t gain, uint32_t rate, int32_t* acc,
                      size_t count) {
  const uint32_t whole = rate / kMixRate, part = rate % kMixRate;
  size_t i = 0;
  for (; i < count; ++i) {
    uint32_t next = frame + 1;
    if (next >= frames) next = looping ? 0 : frame;
    int32_t left, right;
    int32_t w = Weight(remainder);
    int32_t l0 = Sample<Bits>(data, size_t(frame) * Channels);
    int32_t l1 = Sample<Bits>(data, size_t(next) * Channels);
    left = l0 + (((l1 - l0) * w) >> 15);
    if constexpr (Channels == 2) {
      int32_t r0 = Sample<Bits>(data, size_t(frame) * 2 + 1);
      int32_t r1 = Sample<Bits>(data, size_t(next) * 2 + 1);
      right = r0 + (((r1 - r0) * w) >> 15);
    } else {
      right = left;
    }
    acc[2 * i] += (left * gain) >> 15;
    acc[2 * i + 1] += (right * gain) >> 15;
    frame += whole;
    remainder += part;
    if (remainder >= uint32_t(kMixRate)) {
      remainder -= kMixRate;
      ++frame;
    }
    if (frame >= frames) {
      if (!looping) return i + 1;  // the end: the voice stops here
      frame %= frames;
    }
  }
  return count;
}

void AudioMixer::MixVoice(Voice& v, int32_t* acc, size_t count) {
  if (v.gain == 0) {
    Advance(v, count);
    return;
  }
  const uint8_t* data = v.samples->data();
  uint32_t rate = uint32_t(v.format.samplesPerSecond);
  size_t done;
  if (v.format.bitsPerSample == 16) {
    done = v.format.channels == 2
               ? MixInto<16, 2>(data, v.frames, v.looping, v.frame, v.remainder, v.gain, rate, acc, count)
               : MixInto<16, 1>(data, v.frames, v.looping, v.frame, v.remainder, v.gain, rate, acc, count);
  } else {
    done = v.format.channels == 2
               ? MixInto<8, 2>(data, v.frames, v.looping, v.frame, v.remainder, v.gain, rate, acc, count)
               : MixInto<8, 1>(data, v.frames, v.looping, v.frame, v.remainder, v.gain, rate, acc, count);
  }
  if (done < count || v.frame >= v.frames) {
    v.playing = false;
    v.frame = 0;
    v.remainder = 0;
  }
}

void AudioMixer::Mix(int16_t* out, size_t frames) {
  constexpr size_t kChunk = 1024;
  int32_t acc[2 * kChunk];
  std::lock_guard lock(mutex_);
  while (frames) {
    size_t n = std::min(frames, kChunk);
    std::fill(acc, acc + 2 * n, 0);
    for (auto& [id, voice] : voices_)
      if (voice.playing && !voice.locked) MixVoice(voice, acc, n);
      else if (voice.playing) Advance(voice, n);
    for (size_t i = 0; i < 2 * n; ++i) out[i] = int16_t(std::clamp(acc[i], -32768, 32767));
    out += 2 * n;
    frames -= n;
  }
}

void AudioMixer::Skip(uint64_t frames) {
  std::lock_guard lock(mutex_);
  for (auto& [id, voice] : voices_) {
    if (!voice.playing) continue;
    // Whole loops of a looping voice change nothing; what is left is less than one loop.
    uint64_t left = frames;
    if (voice.looping) {
      uint64_t loop = uint64_t(voice.frames) * kMixRate;  // output frames of rate loops
      left %= loop;
    }
    while (left && voice.playing) {
      size_t step = size_t(std::min<uint64_t>(left, 1u << 30));
      Advance(voice, step);
      left -= step;
    }
  }
}

// The output's buffer operations go to the mixer.
bool MixingAudioOutput::SetPrimaryFormat(const PcmFormat& format) {
  if (!AcceptableFormat(format)) return false;
  primary_ = format;
  return true;
}
AudioBufferId MixingAudioOutput::CreateBuffer(const PcmFormat& format, uint32_t bytes) {
  BeforeAccess();
  return mixer_.Create(format, bytes);
}
AudioBufferId MixingAudioOutput::DuplicateBuffer(AudioBufferId source) {
  BeforeAccess();
  return mixer_.Duplicate(source);
}
void MixingAudioOutput::ReleaseBuffer(AudioBufferId buffer) {
  BeforeAccess();
  mixer_.Release(buffer);
}
bool MixingAudioOutput::Lock(AudioBufferId buffer, uint32_t offset, uint32_t bytes, void** part1,
                             uint32_t* bytes1, void** part2, uint32_t* bytes2) {
  BeforeAccess();
  return mixer_.Lock(buffer, offset, bytes, part1, bytes1, part2, bytes2);
}
bool MixingAudioOutput::Unlock(AudioBufferId buffer, void* part1, uint32_t bytes1, void* part2,
                               uint32_t bytes2) {
  BeforeAccess();
  return mixer_.Unlock(buffer, part1, bytes1, part2, bytes2);
}
bool MixingAudioOutput::Play(AudioBufferId buffer, bool loop) {
  BeforeAccess();
  return mixer_.Play(buffer, loop);
}
bool MixingAudioOutput::Stop(AudioBufferId buffer) {
  BeforeAccess();
  return mixer_.Stop(buffer);
}
bool MixingAudioOutput::Status(AudioBufferId buffer, unsigned* status) {
  BeforeAccess();
  return mixer_.Status(buffer, status);
}
bool MixingAudioOutput::SetVolume(AudioBufferId buffer, int level) {
  BeforeAccess();
  return mixer_.SetVolume(buffer, level);
}
bool MixingAudioOutput::GetVolume(AudioBufferId buffer, int* level) {
  return mixer_.GetVolume(buffer, level);
}
bool MixingAudioOutput::Positions(AudioBufferId buffer, uint32_t* play, uint32_t* write) {
  BeforeAccess();
  return mixer_.Positions(buffer, play, write);
}
bool MixingAudioOutput::SetPosition(AudioBufferId buffer, uint32_t play) {
  BeforeAccess();
  return mixer_.SetPosition(buffer, play);
}

}  // namespace qr::platform
