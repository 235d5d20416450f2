// The converter's recognisers and decoding: WAVE edge cases, MP3 against bare libmpg123, the
// ID3 rules, seeking.
#include <mpg123.h>

#include "file/stream_reader.h"
#include "sound/mp3_frames.h"
#include "sound/sound_converter.h"
#include "sound_fixture.h"

namespace qr::testing {
namespace {

using qr::sound::SoundConverter;

class Converter : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    Start();
  }
  void TearDown() override {
    if (converter.open) qr::sound::CloseSoundConverter(converter);
    if (reader.ops) reader.Close();
    SoundTest::TearDown();
  }
  int Open(const Bytes& file) {
    image = file;
    if (!qr::file::OpenMemoryReader(image.data(), image.size(), reader)) return -2;
    return qr::sound::OpenSoundConverter(converter, reader);
  }
  Bytes DecodeAll() {
    qr::platform::PcmFormat format;
    Bytes pcm;
    EXPECT_EQ(qr::sound::DecodeWholeSound(converter, format, pcm), 0);
    return pcm;
  }
  Bytes image;
  qr::file::StreamReader reader;
  SoundConverter converter;
};

// What bare libmpg123 makes of a file, in the format given.
Bytes BareMpg123(const std::string& path, long rate, int channels) {
  mpg123_init();
  int error = 0;
  mpg123_handle* h = mpg123_new(nullptr, &error);
  mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(h);
  mpg123_format(h, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16);
  Bytes out;
  if (mpg123_open(h, path.c_str()) == MPG123_OK) {
    unsigned char buffer[16384];
    size_t done = 0;
    int result;
    while ((result = mpg123_read(h, buffer, sizeof buffer, &done)) == MPG123_OK ||
           result == MPG123_NEW_FORMAT || done > 0) {
      out.insert(out.end(), buffer, buffer + done);
      if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
    }
    mpg123_close(h);
  }
  mpg123_delete(h);
  return out;
}

TEST_F(Converter, PcmWaveWithA16ByteFmtTakesItsBitsFromTheBlockAlign) {
  WaveLayout s;
  s.channels = 2;
  s.blockAlign = 4;
  s.bits = 12;  // wrong: 4 bytes per block of 2 channels is 16 bits
  s.data = Samples16({1, -1, 2, -2, 3, -3});
  ASSERT_EQ(Open(MakeWave(s)), 0);
  EXPECT_STREQ(converter.recogniser, "PCM WAVE");
  EXPECT_EQ(converter.format, (qr::platform::PcmFormat{2, 44100, 16}));
  EXPECT_EQ(DecodeAll(), s.data);
}

TEST_F(Converter, PcmWaveSkipsAnOddListChunkWithItsPadByte) {
  WaveLayout s;
  PutTag(s.beforeData, "LIST");
  Put32(s.beforeData, 5);
  s.beforeData.insert(s.beforeData.end(), {'I', 'N', 'F', 'O', 'x', 0 /* pad */});
  s.data = Samples16({100, 200, 300});
  ASSERT_EQ(Open(MakeWave(s)), 0);
  EXPECT_EQ(DecodeAll(), s.data);
}

TEST_F(Converter, MalformedWaveFilesAreRejected) {
  struct Case {
    const char* what;
    WaveLayout layout;
  };
  std::vector<Case> cases;
  auto add = [&cases](const char* what, auto change) {
    WaveLayout s;
    s.data = Samples16({1, 2, 3, 4});
    change(s);
    cases.push_back({what, s});
  };
  add("zero channels", [](WaveLayout& s) { s.channels = 0; });
  add("zero block align", [](WaveLayout& s) { s.blockAlign = 0; });
  add("zero rate", [](WaveLayout& s) { s.rate = 0; });
  add("three channels", [](WaveLayout& s) { s.channels = 3; s.blockAlign = 6; });
  add("24 bits", [](WaveLayout& s) { s.bits = 24; s.blockAlign = 3; s.fmtSize = 18; });
  add("a chunk past the end", [](WaveLayout& s) {
    PutTag(s.beforeData, "junk");
    Put32(s.beforeData, 0x7FFFFFF0);
  });
  add("a truncated fmt", [](WaveLayout& s) { s.fmtSize = 14; });
  add("an unknown format tag", [](WaveLayout& s) { s.formatTag = 0x1234; s.fmtSize = 18; });
  add("IMA ADPCM with a block too small", [](WaveLayout& s) {
    s.formatTag = 0x11; s.bits = 4; s.blockAlign = 3; s.fmtSize = 20; s.extra = {1, 0};
  });
  add("MS ADPCM without coefficients", [](WaveLayout& s) {
    s.formatTag = 2; s.bits = 4; s.blockAlign = 16; s.fmtSize = 22; s.extra = {18, 0, 0, 0};
  });
  for (const Case& c : cases) {
    Bytes file = MakeWave(c.layout);
    if (std::string(c.what) == "a truncated fmt") file.resize(30);
    EXPECT_EQ(Open(file), -1) << c.what;
    if (reader.ops) reader.Close();
    reader = {};
  }
}

TEST_F(Converter, CompressedWaveDecodesWholeBlocksThroughTheCodec) {
  // Two IMA ADPCM blocks of 8 bytes (9 samples each) and a partial third that is left out.
  WaveLayout s;
  s.formatTag = 0x11;
  s.rate = 22050;
  s.blockAlign = 8;
  s.bits = 4;
  s.fmtSize = 20;
  s.extra = {9, 0};
  s.data = {0, 0, 0, 0, 0x77, 0x77, 0x77, 0xF7, 0x10, 0x00, 0, 0, 0, 0, 0, 0, 1, 2, 3};
  ASSERT_EQ(Open(MakeWave(s)), 0);
  EXPECT_STREQ(converter.recogniser, "compressed WAVE");
  EXPECT_EQ(converter.format, (qr::platform::PcmFormat{1, 22050, 16}));
  std::vector<int16_t> pcm = AsSamples(DecodeAll());
  ASSERT_EQ(pcm.size(), 18u);
  EXPECT_EQ(pcm[1], 11);
  EXPECT_EQ(pcm[3], 104);
  EXPECT_EQ(pcm[9], 16) << "the second block starts from its own header";

  // A bad step index in the second block ends the data after the first.
  s.data[10] = 200;
  if (reader.ops) reader.Close();
  reader = {};
  qr::sound::CloseSoundConverter(converter);
  ASSERT_EQ(Open(MakeWave(s)), 0);
  EXPECT_EQ(AsSamples(DecodeAll()).size(), 9u);
}

TEST_F(Converter, ADataChunkLongerThanTheFileIsCutToWhatIsThere) {
  WaveLayout s;
  s.data = Samples16({5, 6, 7});
  s.dataSizeField = 1000000;
  ASSERT_EQ(Open(MakeWave(s)), 0);
  EXPECT_EQ(DecodeAll(), s.data);
}

TEST_F(Converter, AFileOfNoFormatIsRejectedAfterAllFourAttempts) {
  Bytes noise(4000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t(i * 7 + 3);
  noise[0] = 'R';
  EXPECT_EQ(Open(noise), -1);
}

TEST_F(Converter, SeekingWithinSixteenBytesChangesNothing) {
  WaveLayout s;
  std::vector<int16_t> ramp;
  for (int i = 0; i < 1000; ++i) ramp.push_back(int16_t(i));
  s.data = Samples16(ramp);
  ASSERT_EQ(Open(MakeWave(s)), 0);
  uint8_t first[20];
  ASSERT_EQ(qr::sound::ConvertSound(converter, first, 20), 20);
  qr::sound::SeekSoundConverter(converter, 3);  // byte 6: within 16 of 20
  int16_t next = 0;
  ASSERT_EQ(qr::sound::ConvertSound(converter, &next, 2), 2);
  EXPECT_EQ(next, 10);
  qr::sound::SeekSoundConverter(converter, 500);
  ASSERT_EQ(qr::sound::ConvertSound(converter, &next, 2), 2);
  EXPECT_EQ(next, 500);
}

TEST_F(Converter, GameMp3FilesDecodeAsBareLibmpg123DecodesThem) {
  for (const char* name : {"life_21_huta.mp3", "attack_12_byun.mp3", "track012_manabinokuni.mp3"}) {
    ASSERT_EQ(Open(ReadFile(GameAsset(name))), 0) << name;
    EXPECT_STREQ(converter.recogniser, "MP3");
    qr::platform::PcmFormat f = converter.format;
    Bytes ours = DecodeAll();
    Bytes bare = BareMpg123(GameAsset(name), f.samplesPerSecond, f.channels);
    ASSERT_FALSE(bare.empty()) << name;
    EXPECT_EQ(ours.size(), bare.size()) << name;
    EXPECT_TRUE(ours == bare) << name;
    qr::sound::CloseSoundConverter(converter);
    reader.Close();
    reader = {};
  }
}

// An ID3v2 tag of the given version and flags around `body` bytes of padding.
Bytes Id3v2(int version, int flags, size_t body) {
  Bytes b = {'I', 'D', '3', uint8_t(version), 0, uint8_t(flags)};
  for (int shift : {21, 14, 7, 0}) b.push_back(uint8_t((body >> shift) & 0x7F));
  b.insert(b.end(), body, 0);
  if (flags & 0x10) b.insert(b.end(), {'3', 'D', 'I', uint8_t(version), 0, uint8_t(flags), 0, 0, 0, 0});
  return b;
}

TEST_F(Converter, Mp3WithAnId3v24FooterAndAnId3v1TagDecodesTheFramesBetween) {
  Bytes plain = ReadFile(GameAsset("attack_12_byun.mp3"));
  qr::sound::Mp3Layout layout;
  ASSERT_TRUE(qr::sound::ScanMp3(plain.data(), plain.size(), layout));
  // The frames alone, then wrapped in a 2.4 tag with a footer and a v1 tag whose bytes would
  // look like a frame if they were read as audio.
  Bytes frames(plain.begin() + long(layout.dataStart), plain.begin() + long(layout.dataEnd));
  Bytes tagged = Id3v2(4, 0x10, 300);
  tagged.insert(tagged.end(), frames.begin(), frames.end());
  Bytes v1(128, 0xFF);
  std::memcpy(v1.data(), "TAG", 3);
  tagged.insert(tagged.end(), v1.begin(), v1.end());

  qr::sound::Mp3Layout taggedLayout;
  ASSERT_TRUE(qr::sound::ScanMp3(tagged.data(), tagged.size(), taggedLayout));
  EXPECT_EQ(taggedLayout.id3Length, 320u);
  EXPECT_EQ(taggedLayout.dataStart, 320u);
  EXPECT_TRUE(taggedLayout.id3v1);
  EXPECT_EQ(taggedLayout.dataEnd, tagged.size() - 128);
  EXPECT_EQ(taggedLayout.totalSamples, layout.totalSamples);

  ASSERT_EQ(Open(frames), 0);
  Bytes expected = DecodeAll();
  qr::sound::CloseSoundConverter(converter);
  reader.Close();
  reader = {};
  ASSERT_EQ(Open(tagged), 0);
  EXPECT_EQ(converter.dataStart, 320);
  EXPECT_TRUE(DecodeAll() == expected);
}

TEST_F(Converter, BadMp3FilesAreRejected) {
  Bytes plain = ReadFile(GameAsset("life_21_huta.mp3"));
  qr::sound::Mp3Layout layout;
  ASSERT_TRUE(qr::sound::ScanMp3(plain.data(), plain.size(), layout));
  Bytes small(plain.begin() + long(layout.dataStart), plain.begin() + long(layout.dataStart) + 128);
  Bytes garbage(plain.begin() + long(layout.dataStart), plain.begin() + long(layout.dataStart) + 4);
  for (int i = 0; i < 600; ++i) garbage.push_back(i % 2 ? 0xFF : 0xFE);  // sync words of no header
  Bytes pastEnd = Id3v2(3, 0, 100);
  pastEnd[6] = 0x7F;  // the tag claims 256 MB
  pastEnd.insert(pastEnd.end(), plain.begin() + long(layout.dataStart), plain.end());
  struct Case { const char* what; Bytes file; } cases[] = {
      {"128 bytes", small}, {"garbage after a header", garbage}, {"ID3 size past the end", pastEnd}};
  for (const Case& c : cases) {
    qr::sound::Mp3Layout ignored;
    EXPECT_FALSE(qr::sound::ScanMp3(c.file.data(), c.file.size(), ignored)) << c.what;
    EXPECT_EQ(Open(c.file), -1) << c.what;
    if (reader.ops) reader.Close();
    reader = {};
  }
}

TEST_F(Converter, Mp3FrameHeaders) {
  struct Case { uint8_t bytes[4]; bool ok; int bitrate, rate, channels, frameBytes, samples; } cases[] = {
      {{0xFF, 0xFB, 0x90, 0x64}, true, 128, 44100, 2, 417, 1152},  // MPEG-1 Layer III
      {{0xFF, 0xFB, 0x92, 0xC4}, true, 128, 44100, 1, 418, 1152},  // padded, single channel
      {{0xFF, 0xF3, 0x84, 0x00}, true, 64, 24000, 2, 192, 576},    // MPEG-2 Layer III
      {{0xFF, 0xFD, 0x90, 0x00}, true, 160, 44100, 2, 522, 1152},  // MPEG-1 Layer II
      {{0xFF, 0xFF, 0x90, 0x00}, true, 288, 44100, 2, 312, 384},   // MPEG-1 Layer I
      {{0xFF, 0xF9, 0x90, 0x00}, false, 0, 0, 0, 0, 0},            // layer bits 00
      {{0xFF, 0xFB, 0xF0, 0x00}, false, 0, 0, 0, 0, 0},            // bitrate 15
      {{0xFF, 0xFB, 0x0C, 0x00}, false, 0, 0, 0, 0, 0},            // rate 3
      {{0xFF, 0xFB, 0x00, 0x00}, false, 0, 0, 0, 0, 0},            // free format
      {{0xFF, 0xE3, 0x90, 0x00}, false, 0, 0, 0, 0, 0},            // no sync
  };
  for (const Case& c : cases) {
    qr::sound::MpegFrameHeader h;
    bool ok = qr::sound::ParseMpegFrameHeader(c.bytes, h);
    EXPECT_EQ(ok, c.ok) << int(c.bytes[1]) << " " << int(c.bytes[2]);
    if (!ok || !c.ok) continue;
    EXPECT_EQ(h.bitrate, c.bitrate);
    EXPECT_EQ(h.sampleRate, c.rate);
    EXPECT_EQ(h.channels, c.channels);
    EXPECT_EQ(h.frameBytes, c.frameBytes);
    EXPECT_EQ(h.samples, c.samples);
  }
}

TEST_F(Converter, Mp3BackwardSeekStartsFromTheSpareStream) {
  ASSERT_EQ(Open(ReadFile(GameAsset("attack_12_byun.mp3"))), 0);
  Bytes whole = DecodeAll();
  ASSERT_GT(whole.size(), 20000u);
  Bytes part(4000);
  qr::sound::SeekSoundConverter(converter, 3000);  // forward by decoding
  ASSERT_EQ(qr::sound::ConvertSound(converter, part.data(), 4000), 4000);
  int block = converter.format.BlockAlign();
  EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + 3000 * block));
  qr::sound::SeekSoundConverter(converter, 100);  // backward
  ASSERT_EQ(qr::sound::ConvertSound(converter, part.data(), 4000), 4000);
  EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + 100 * block));
}

}  // namespace
}  // namespace qr::testing
