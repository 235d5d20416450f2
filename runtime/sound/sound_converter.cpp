// The SoundConverter: the four recognisers in their order, refills by kind and seeking.
#include "sound/sound_converter.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "sound/mp3_frames.h"

namespace qr::sound {
namespace {

constexpr int32_t kVorbisBufferBytes = 4096;

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

bool ReadExact(const file::StreamReader& r, void* out, size_t bytes) {
  // Plain files count elements and archive entries bytes; with an element size of 1 both agree.
  return r.Read(out, 1, bytes) == bytes;
}

int64_t StreamSize(const file::StreamReader& r) {
  if (r.Seek(0, file::kSeekEnd) != 0) return -1;
  int64_t size = r.Tell();
  r.Seek(0, file::kSeekSet);
  return size;
}

// The PCM formats the output can play: 8 or 16 bits, one or two channels, 1 to 192 kHz.
bool PlayablePcm(const platform::PcmFormat& f) {
  return (f.channels == 1 || f.channels == 2) && (f.bitsPerSample == 8 || f.bitsPerSample == 16) &&
         f.samplesPerSecond >= 1000 && f.samplesPerSecond <= 192000;
}

struct WaveChunks {
  platform::WaveFormat format;
  int64_t dataStart = 0, dataSize = 0;
};

// The RIFF walk shared by both WAVE recognisers: the fmt chunk, then chunks skipped (with their
// pad byte) up to "data". Sizes are checked against the stream; a data chunk that claims more
// than the file holds is cut to what is there.
bool WalkWave(const file::StreamReader& r, WaveChunks& out) {
  int64_t size = StreamSize(r);
  uint8_t head[12];
  if (size < 12 || !ReadExact(r, head, 12)) return false;
  if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return false;
  uint8_t chunk[8];
  if (!ReadExact(r, chunk, 8) || std::memcmp(chunk, "fmt ", 4) != 0) return false;
  uint32_t fmtSize = Le32(chunk + 4);
  if (fmtSize < 16 || fmtSize > 1024 || int64_t(20) + fmtSize > size) return false;
  std::vector<uint8_t> fmt(fmtSize);
  if (!ReadExact(r, fmt.data(), fmtSize)) return false;
  if (fmtSize & 1) r.Seek(1, file::kSeekCurrent);
  platform::WaveFormat& f = out.format;
  f.formatTag = Le16(&fmt[0]);
  f.channels = Le16(&fmt[2]);
  f.samplesPerSecond = Le32(&fmt[4]);
  f.averageBytesPerSecond = Le32(&fmt[8]);
  f.blockAlign = Le16(&fmt[12]);
  f.bitsPerSample = Le16(&fmt[14]);
  if (f.channels == 0 || f.blockAlign == 0 || f.samplesPerSecond == 0) return false;
  if (fmtSize == 16) {
    if (f.formatTag == platform::kWavePcm) f.bitsPerSample = uint16_t(f.blockAlign / f.channels * 8);
  } else if (fmtSize >= 18) {
    size_t extra = std::min<size_t>(Le16(&fmt[16]), fmtSize - 18);
    f.extra.assign(fmt.begin() + 18, fmt.begin() + 18 + long(extra));
  }
  for (;;) {
    if (!ReadExact(r, chunk, 8)) return false;
    int64_t at = r.Tell();
    uint32_t bytes = Le32(chunk + 4);
    if (std::memcmp(chunk, "data", 4) == 0) {
      out.dataStart = at;
      out.dataSize = std::min<int64_t>(bytes, size - at);
      return out.dataSize >= 0 && at <= INT32_MAX && out.dataSize <= INT32_MAX;
    }
    int64_t next = at + int64_t(bytes) + (bytes & 1);
    if (next >= size || next > INT32_MAX) return false;
    if (r.Seek(int32_t(next), file::kSeekSet) != 0) return false;
  }
}

bool RecognisePcmWave(SoundConverter& c) {
  WaveChunks w;
  if (!WalkWave(c.reader, w) || w.format.formatTag != platform::kWavePcm) return false;
  c.format = {w.format.channels, int(w.format.samplesPerSecond), w.format.bitsPerSample};
  if (!PlayablePcm(c.format) || c.format.BlockAlign() != w.format.blockAlign) return false;
  c.dataStart = int32_t(w.dataStart);
  c.dataSize = int32_t(w.dataSize - w.dataSize % w.format.blockAlign);
  c.buffer.resize(size_t(c.format.samplesPerSecond) * size_t(c.format.BlockAlign()));
  c.kind = kConverterPcmWave;
  c.recogniser = "PCM WAVE";
  return c.reader.Seek(c.dataStart, file::kSeekSet) == 0;
}

void CloseStreams(SoundConverter& c) {
  auto* codec = platform::Current().codec;
  if (codec) {
    if (c.mainStream) codec->CloseConversion(c.mainStream);
    if (c.spareStream) codec->CloseConversion(c.spareStream);
  }
  c.mainStream = c.spareStream = nullptr;
  c.coded.clear();
  c.coded.shrink_to_fit();
}

// Both codec kinds: the target PCM format, the coded data in memory and the two conversions.
bool OpenCodecStreams(SoundConverter& c, int32_t capacity) {
  auto* codec = platform::Current().codec;
  platform::WaveFormat pcm;
  if (!codec || !codec->SuggestPcm(c.sourceFormat, pcm)) return false;
  c.format = {pcm.channels, int(pcm.samplesPerSecond), pcm.bitsPerSample};
  if (!PlayablePcm(c.format)) return false;
  c.mainStream = codec->OpenConversion(c.sourceFormat, pcm);
  c.spareStream = codec->OpenConversion(c.sourceFormat, pcm);
  if (!c.mainStream || !c.spareStream) {
    CloseStreams(c);
    return false;
  }
  // A block-based source converts whole blocks, so a piece holds at least one.
  c.pieceBytes = std::max<int32_t>(2048, c.sourceFormat.blockAlign);
  int32_t perSecond = int32_t(pcm.averageBytesPerSecond);
  if (capacity == 0) capacity = perSecond;
  capacity = std::max<int32_t>(capacity, int32_t(c.mainStream->EstimateOutput(size_t(c.pieceBytes))));
  c.buffer.resize(size_t(capacity));
  c.sourcePosition = 0;
  c.kind = kConverterCodec;
  return true;
}

bool ReadCoded(SoundConverter& c) {
  c.coded.resize(size_t(c.dataSize));
  if (c.reader.Seek(c.dataStart, file::kSeekSet) != 0) return false;
  if (c.dataSize && !ReadExact(c.reader, c.coded.data(), size_t(c.dataSize))) return false;
  return c.reader.Seek(c.dataStart, file::kSeekSet) == 0;
}

bool RecogniseCompressedWave(SoundConverter& c) {
  WaveChunks w;
  if (!WalkWave(c.reader, w) || w.format.formatTag == platform::kWavePcm) return false;
  c.sourceFormat = w.format;
  c.dataStart = int32_t(w.dataStart);
  c.dataSize = int32_t(w.dataSize);
  c.totalSamples = -1;
  if (!ReadCoded(c) || !OpenCodecStreams(c, 0)) {
    CloseStreams(c);
    return false;
  }
  c.recogniser = "compressed WAVE";
  return true;
}

size_t VorbisRead(void* out, size_t size, size_t count, void* source) {
  auto* r = static_cast<file::StreamReader*>(source);
  if (size == 0) return 0;
  return r->Read(out, 1, size * count) / size;
}
int VorbisSeek(void* source, ogg_int64_t offset, int origin) {
  auto* r = static_cast<file::StreamReader*>(source);
  if (offset > INT32_MAX || offset < INT32_MIN) return -1;
  return r->Seek(int32_t(offset), origin);
}
int VorbisClose(void*) { return 0; }
long VorbisTell(void* source) { return static_cast<file::StreamReader*>(source)->Tell(); }

bool RecogniseVorbis(SoundConverter& c) {
  auto* vf = new OggVorbis_File;
  ov_callbacks callbacks{VorbisRead, VorbisSeek, VorbisClose, VorbisTell};
  if (ov_open_callbacks(&c.reader, vf, nullptr, 0, callbacks) != 0) {
    delete vf;
    return false;
  }
  vorbis_info* info = ov_info(vf, -1);
  ogg_int64_t total = ov_pcm_total(vf, -1);
  c.format = {info ? info->channels : 0, info ? int(info->rate) : 0, 16};
  if (!info || !PlayablePcm(c.format) || total < 0 || total * c.format.BlockAlign() > INT32_MAX) {
    ov_clear(vf);
    delete vf;
    return false;
  }
  c.vorbis = vf;
  c.totalSamples = total;
  c.dataSize = int32_t(total * c.format.BlockAlign());
  c.buffer.resize(kVorbisBufferBytes);
  c.kind = kConverterVorbis;
  c.recogniser = "Ogg Vorbis";
  return true;
}

bool RecogniseMp3(SoundConverter& c) {
  int64_t size = StreamSize(c.reader);
  if (size <= 128 || size > INT32_MAX) return false;
  std::vector<uint8_t> file(static_cast<size_t>(size));
  if (!ReadExact(c.reader, file.data(), file.size())) return false;
  Mp3Layout layout;
  if (!ScanMp3(file.data(), file.size(), layout)) return false;
  const MpegFrameHeader& first = layout.first;
  platform::WaveFormat& f = c.sourceFormat;
  f = platform::WaveFormat{};
  f.formatTag = platform::kWaveMpegLayer3;
  f.channels = uint16_t(first.channels);
  f.samplesPerSecond = uint32_t(first.sampleRate);
  f.averageBytesPerSecond = uint32_t(first.bitrate * 1000 / 8);
  f.blockAlign = 1;
  f.bitsPerSample = 0;
  // The MPEG Layer-3 extra block: identifier, flags, block size, frames per block, codec delay.
  auto put16 = [&f](unsigned v) { f.extra.push_back(uint8_t(v)); f.extra.push_back(uint8_t(v >> 8)); };
  put16(1);
  f.extra.push_back(uint8_t(first.padding));
  f.extra.insert(f.extra.end(), 3, 0);
  put16(unsigned(first.frameBytes));
  put16(1);
  put16(700);
  c.dataStart = int32_t(layout.dataStart);
  c.dataSize = int32_t(layout.dataEnd - layout.dataStart);
  c.totalSamples = layout.totalSamples;
  c.coded.assign(file.begin() + long(layout.dataStart), file.begin() + long(layout.dataEnd));
  platform::WaveFormat pcm;
  auto* codec = platform::Current().codec;
  if (!codec || !codec->SuggestPcm(f, pcm)) return false;
  if (!OpenCodecStreams(c, int32_t(pcm.averageBytesPerSecond * 4 / 3))) {
    CloseStreams(c);
    return false;
  }
  c.recogniser = "MP3";
  return true;
}

// One refill of the codec kinds: false at the end of the data.
bool RefillCodec(SoundConverter& c) {
  const size_t capacity = c.buffer.size();
  for (;;) {
    size_t used = 0, produced = 0;
    size_t piece = size_t(std::min(c.pieceBytes, c.dataSize - c.sourcePosition));
    const uint8_t* source = piece ? c.coded.data() + c.sourcePosition : nullptr;
    // At the end of the source the conversion still hands out what it holds.
    if (!c.mainStream->Convert(source, piece, c.buffer.data(), capacity, &used, &produced))
      return false;
    c.sourcePosition += int32_t(used);
    if (produced) {
      c.bufferFilled = int32_t(produced);
      return true;
    }
    // A piece that only fed the decoder (a header frame) gives nothing yet; go on while the
    // source moves.
    if (used == 0) {
      c.sourcePosition = c.dataSize;
      return false;
    }
  }
}

bool Refill(SoundConverter& c) {
  c.bufferOffset = 0;
  c.bufferFilled = 0;
  switch (c.kind) {
    case kConverterPcmWave: {
      int32_t consumed = int32_t(c.reader.Tell()) - c.dataStart;
      int32_t left = c.dataSize - consumed;
      if (left <= 0) return false;
      size_t want = std::min<size_t>(c.buffer.size(), size_t(left));
      size_t got = c.reader.Read(c.buffer.data(), 1, want);
      c.bufferFilled = int32_t(got);
      return got > 0;
    }
    case kConverterCodec:
      return RefillCodec(c);
    case kConverterVorbis: {
      int stream = 0;
      long got = ov_read(c.vorbis, reinterpret_cast<char*>(c.buffer.data()), kVorbisBufferBytes, 0, 2, 1, &stream);
      if (got <= 0) return false;  // the end, or a decoding error, which ends the data too
      c.bufferFilled = int32_t(got);
      return true;
    }
  }
  return false;
}

}  // namespace

int OpenSoundConverter(SoundConverter& c, const file::StreamReader& reader) {
  c = SoundConverter{};
  c.reader = reader;
  bool (*recognisers[])(SoundConverter&) = {RecognisePcmWave, RecogniseCompressedWave,
                                            RecogniseVorbis, RecogniseMp3};
  bool accepted = false;
  for (auto recognise : recognisers) {
    c.reader.Seek(0, file::kSeekSet);
    if (recognise(c)) {
      accepted = true;
      break;
    }
    file::StreamReader keep = c.reader;
    c = SoundConverter{};
    c.reader = keep;
  }
  if (!accepted) return -1;
  c.bufferFilled = c.bufferOffset = c.position = 0;
  c.open = 1;
  return 0;
}

int ConvertSound(SoundConverter& c, void* destination, int bytes) {
  if (!c.open) return -1;
  if (c.ended || bytes <= 0) return 0;
  auto* out = static_cast<uint8_t*>(destination);
  int copied = 0;
  while (copied < bytes) {
    if (c.bufferFilled == 0 && !Refill(c)) {
      c.ended = 1;
      break;
    }
    int n = std::min(c.bufferFilled, bytes - copied);
    std::memcpy(out + copied, c.buffer.data() + c.bufferOffset, size_t(n));
    c.bufferOffset += n;
    c.bufferFilled -= n;
    c.position += n;
    copied += n;
  }
  return copied;
}

void SeekSoundConverter(SoundConverter& c, int32_t sample) {
  if (!c.open) return;
  int64_t target = int64_t(sample) * c.format.BlockAlign();
  if (target < 0) target = 0;
  if (target > INT32_MAX) target = INT32_MAX;
  if (std::abs(target - c.position) < 16) return;
  c.ended = 0;
  switch (c.kind) {
    case kConverterPcmWave:
      target = std::min<int64_t>(target, c.dataSize);
      c.reader.Seek(int32_t(c.dataStart + target), file::kSeekSet);
      c.position = int32_t(target);
      c.bufferFilled = c.bufferOffset = 0;
      return;
    case kConverterVorbis:
      ov_pcm_seek(c.vorbis, sample);
      c.position = int32_t(target);
      c.bufferFilled = c.bufferOffset = 0;
      return;
    case kConverterCodec:
      break;
  }
  if (target >= c.position && target - c.position < c.bufferFilled) {
    int32_t skip = int32_t(target - c.position);
    c.bufferOffset += skip;
    c.bufferFilled -= skip;
    c.position = int32_t(target);
    return;
  }
  if (target < c.position) {
    // The spare conversion stands at the start of the data: it becomes the main one, and a
    // fresh spare is opened.
    std::swap(c.mainStream, c.spareStream);
    auto* codec = platform::Current().codec;
    codec->CloseConversion(c.spareStream);
    platform::WaveFormat pcm;
    codec->SuggestPcm(c.sourceFormat, pcm);
    c.spareStream = codec->OpenConversion(c.sourceFormat, pcm);
    c.sourcePosition = 0;
    c.position = 0;
    c.bufferFilled = c.bufferOffset = 0;
  }
  c.position += c.bufferFilled;
  c.bufferFilled = 0;
  for (;;) {
    if (!Refill(c)) {
      c.ended = 1;
      return;
    }
    if (target < c.position + c.bufferFilled) {
      int32_t skip = int32_t(target - c.position);
      c.bufferOffset = skip;
      c.bufferFilled -= skip;
      c.position = int32_t(target);
      return;
    }
    c.position += c.bufferFilled;
    c.bufferFilled = 0;
  }
}

int64_t GetConvertedSize(const SoundConverter& c) {
  switch (c.kind) {
    case kConverterPcmWave:
      return c.dataSize;
    case kConverterCodec:
      if (c.totalSamples >= 0) return c.totalSamples * c.format.BlockAlign();
      return int64_t(c.mainStream->EstimateOutput(size_t(c.dataSize)));
    case kConverterVorbis:
      return (c.totalSamples + 44100) * c.format.BlockAlign();
  }
  return 0;
}

void GetSoundConverterFormat(const SoundConverter& c, platform::PcmFormat& format) { format = c.format; }

int DecodeWholeSound(SoundConverter& c, platform::PcmFormat& format, std::vector<uint8_t>& pcm) {
  if (!c.open) return -1;
  int64_t size = GetConvertedSize(c);
  if (size < 0 || size > INT32_MAX) return -1;
  pcm.assign(size_t(size), 0);
  SeekSoundConverter(c, 0);
  int got;
  if (c.kind == kConverterPcmWave) {
    c.reader.Seek(c.dataStart, file::kSeekSet);
    got = int(c.reader.Read(pcm.data(), 1, size_t(size)));
  } else {
    got = ConvertSound(c, pcm.data(), int(size));
  }
  if (got < 0) return -1;
  got -= got % c.format.BlockAlign();
  pcm.resize(size_t(got));
  format = c.format;
  return 0;
}

int CloseSoundConverter(SoundConverter& c) {
  if (!c.open) return -1;
  CloseStreams(c);
  if (c.vorbis) {
    ov_clear(c.vorbis);
    delete c.vorbis;
    c.vorbis = nullptr;
  }
  c.buffer.clear();
  c.open = 0;
  return 0;
}

}  // namespace qr::sound
