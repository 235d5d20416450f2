// Ogg Vorbis through the converter beside bare libvorbisfile; the files are encoded here with
// libvorbisenc.
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <cmath>

#include "file/stream_reader.h"
#include "sound/sound_converter.h"
#include "sound_fixture.h"

namespace qr::testing {
namespace {

// Half a second of two tones, one per channel, as an Ogg Vorbis file.
Bytes EncodeVorbis(int channels, int rate) {
  vorbis_info info;
  vorbis_info_init(&info);
  vorbis_encode_init_vbr(&info, channels, rate, 0.4f);
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 7);
  Bytes out;
  ogg_page page;
  auto flushPages = [&](bool force) {
    while (force ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
      out.insert(out.end(), page.header, page.header + page.header_len);
      out.insert(out.end(), page.body, page.body + page.body_len);
    }
  };
  ogg_packet header, commentPacket, codePacket;
  vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codePacket);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &commentPacket);
  ogg_stream_packetin(&stream, &codePacket);
  flushPages(true);
  const int frames = rate / 2;
  for (int at = 0; at <= frames; at += 1024) {
    int n = std::min(1024, frames - at);
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&dsp, n);
      for (int i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c) buffer[c][i] = 0.3f * float(std::sin((at + i) * 0.03 * (c + 1)));
    }
    vorbis_analysis_wrote(&dsp, n > 0 ? n : 0);
    if (n <= 0) break;
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        flushPages(false);
      }
    }
  }
  vorbis_analysis_wrote(&dsp, 0);
  while (vorbis_analysis_blockout(&dsp, &block) == 1) {
    vorbis_analysis(&block, nullptr);
    vorbis_bitrate_addblock(&block);
    ogg_packet packet;
    while (vorbis_bitrate_flushpacket(&dsp, &packet)) ogg_stream_packetin(&stream, &packet);
  }
  flushPages(true);
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

struct MemoryFile {
  const Bytes* bytes;
  size_t at;
};

// What bare libvorbisfile decodes from the bytes: 16-bit signed little-endian.
Bytes BareVorbisfile(const Bytes& file) {
  MemoryFile source{&file, 0};
  ov_callbacks callbacks{
      [](void* out, size_t size, size_t count, void* s) -> size_t {
        auto* m = static_cast<MemoryFile*>(s);
        size_t n = std::min(size * count, m->bytes->size() - m->at);
        std::memcpy(out, m->bytes->data() + m->at, n);
        m->at += n;
        return n / size;
      },
      [](void* s, ogg_int64_t offset, int origin) -> int {
        auto* m = static_cast<MemoryFile*>(s);
        int64_t base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? int64_t(m->at) : int64_t(m->bytes->size());
        m->at = size_t(std::clamp<int64_t>(base + offset, 0, int64_t(m->bytes->size())));
        return 0;
      },
      nullptr, [](void* s) -> long { return long(static_cast<MemoryFile*>(s)->at); }};
  OggVorbis_File vf;
  Bytes out;
  if (ov_open_callbacks(&source, &vf, nullptr, 0, callbacks) != 0) return out;
  char buffer[4096];
  int section = 0;
  long got;
  while ((got = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &section)) > 0) out.insert(out.end(), buffer, buffer + got);
  ov_clear(&vf);
  return out;
}

class Vorbis : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    Start();
  }
  Bytes Decode(const Bytes& file, int* result) {
    qr::file::StreamReader reader;
    qr::sound::SoundConverter c;
    Bytes pcm;
    qr::file::OpenMemoryReader(file.data(), file.size(), reader);
    *result = qr::sound::OpenSoundConverter(c, reader);
    if (*result == 0) {
      EXPECT_STREQ(c.recogniser, "Ogg Vorbis");
      qr::platform::PcmFormat f;
      qr::sound::DecodeWholeSound(c, f, pcm);
      EXPECT_EQ(f.bitsPerSample, 16);
      qr::sound::CloseSoundConverter(c);
    }
    reader.Close();
    return pcm;
  }
};

TEST_F(Vorbis, DecodesAsBareLibvorbisfileDoes) {
  for (int channels : {1, 2}) {
    Bytes file = EncodeVorbis(channels, 22050);
    int result = -1;
    Bytes ours = Decode(file, &result);
    ASSERT_EQ(result, 0);
    Bytes bare = BareVorbisfile(file);
    ASSERT_GT(bare.size(), 20000u);
    EXPECT_TRUE(ours == bare) << channels << ": " << ours.size() << " vs " << bare.size();
  }
}

TEST_F(Vorbis, AFileCutMidPacketEndsEarlyOrIsRefused) {
  Bytes file = EncodeVorbis(2, 22050);
  for (size_t keep : {file.size() / 2, file.size() - 100, size_t(200)}) {
    Bytes cut(file.begin(), file.begin() + long(keep));
    int result = -1;
    Bytes pcm = Decode(cut, &result);
    if (result == 0) {
      EXPECT_LT(pcm.size(), BareVorbisfile(file).size()) << keep;
    }
  }
}

TEST_F(Vorbis, PlaysThroughLoadSoundFile) {
  int h = LoadSoundFile(Put("v.ogg", EncodeVorbis(2, 44100)).c_str(), 2, -1);
  ASSERT_NE(h, -1);
  EXPECT_EQ(Record(h)->format, (qr::platform::PcmFormat{2, 44100, 16}));
  EXPECT_EQ(PlaySoundHandle(h, 1, 1), 0);
  EXPECT_EQ(IsSoundPlaying(h), 1);
}

}  // namespace
}  // namespace qr::testing
