// The pieces of the archive format: search names, the key and its scrambling, the unpacker on
// good and damaged token streams, and our encoder's output read back by the unpacker.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "file/archive_format.h"
#include "support/headless_runtime.h"

namespace {
using qr::file::ArchiveKey;
using qr::file::ArchiveName;
using qr::file::BuildArchiveKey;
using qr::file::UnpackArchiveData;
using qr::testing::Sjis;

std::string Hex(const ArchiveKey& key) {
  std::string text;
  char digits[3];
  for (unsigned char b : key.bytes) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    text += digits;
  }
  return text;
}

TEST(ArchiveNames, LengthsPaddingAndCheckSum) {
  struct Case {
    const char* element;
    uint16_t words;
    const char* upper;
  } cases[] = {
      {"abc", 1, "ABC"},            // 3 bytes and 1 zero
      {"abcd", 2, "ABCD"},          // 4 bytes and 4 zeros
      {"Taitol.png", 3, "TAITOL.PNG"},
      {"abcdefgh", 3, "ABCDEFGH"},  // 8 bytes and 4 zeros
      {"in.png\\rest", 2, "IN.PNG"},  // ends at a separator
      {"x/y", 1, "X"},
  };
  for (const Case& c : cases) {
    ArchiveName name;
    ASSERT_TRUE(qr::file::MakeArchiveName(c.element, name)) << c.element;
    EXPECT_EQ(name.words, c.words) << c.element;
    size_t length = std::strlen(c.upper);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(name.bytes), length), c.upper);
    for (size_t i = length; i < size_t(name.words) * 4; ++i) EXPECT_EQ(name.bytes[i], 0) << i;
    unsigned sum = 0;
    for (size_t i = 0; i < length; ++i) sum += uint8_t(c.upper[i]);
    EXPECT_EQ(name.checkSum, uint16_t(sum)) << c.element;
  }
}

TEST(ArchiveNames, SecondBytesOfShiftJisPairsStayAsTheyAre) {
  // "ソ" is 0x83 0x5C (a backslash as second byte), "Ｂ" is 0x82 0x61 (an "a" as second byte).
  std::string element = Sjis("ソＢb");
  ASSERT_EQ(element, std::string("\x83\x5C\x82\x61" "b"));
  ArchiveName name;
  ASSERT_TRUE(qr::file::MakeArchiveName(element.c_str(), name));
  EXPECT_EQ(name.length, 5u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(name.bytes), 5), std::string("\x83\x5C\x82\x61" "B"));
  EXPECT_EQ(name.checkSum, uint16_t(0x83 + 0x5C + 0x82 + 0x61 + 'B'));
  // 256 bytes is more than a name can be.
  EXPECT_FALSE(qr::file::MakeArchiveName(std::string(256, 'n').c_str(), name));
  EXPECT_TRUE(qr::file::MakeArchiveName(std::string(255, 'n').c_str(), name));
}

TEST(ArchiveKeys, BuiltFromTheFirstTwelveBytesRepeated) {
  // Shipped archives depend on these exact bytes: a change here makes them unreadable.
  EXPECT_EQ(Hex(BuildArchiveKey(nullptr)), "9930A9792C25AFCC97005E47");
  EXPECT_EQ(Hex(BuildArchiveKey("")), Hex(BuildArchiveKey(nullptr)));
  EXPECT_EQ(Hex(BuildArchiveKey("abc")), Hex(BuildArchiveKey("abcabcabcabc")));
  EXPECT_EQ(Hex(BuildArchiveKey("abcdefghijklXYZ")), Hex(BuildArchiveKey("abcdefghijkl")));
  EXPECT_NE(Hex(BuildArchiveKey("abcdefghijkl")), Hex(BuildArchiveKey("abcdefghijkm")));
  EXPECT_NE(Hex(BuildArchiveKey("a")), Hex(BuildArchiveKey(nullptr)));
  EXPECT_EQ(Hex(qr::file::FallbackArchiveKey()), "5E5E5E5E5E5E5E5E5E5E5E5E");
}

TEST(ArchiveKeys, ScramblingFollowsTheFileOffset) {
  ArchiveKey key = BuildArchiveKey("pote");
  std::string plain(1000, '\0');
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = char(i * 13);
  std::string whole = plain;
  qr::file::ScrambleArchiveBytes(key, 5, whole.data(), whole.size());
  for (size_t i = 0; i < plain.size(); ++i)
    ASSERT_EQ(uint8_t(whole[i]), uint8_t(plain[i]) ^ key.bytes[(i + 5) % 12]) << i;
  // In pieces of every length at their own offsets: the same bytes.
  for (size_t piece : {1u, 7u, 12u, 25u, 97u}) {
    std::string pieces = plain;
    for (size_t at = 0; at < pieces.size(); at += piece)
      qr::file::ScrambleArchiveBytes(key, 5 + at, pieces.data() + at,
                                     std::min(piece, pieces.size() - at));
    EXPECT_EQ(pieces, whole) << piece;
  }
  qr::file::ScrambleArchiveBytes(key, 5, whole.data(), whole.size());
  EXPECT_EQ(whole, plain);
}

std::string PackedBytes(uint32_t unpacked, unsigned char escape, const std::string& tokens,
                        int packedSizeDelta = 0) {
  std::string data(9, '\0');
  uint32_t packed = uint32_t(9 + tokens.size() + packedSizeDelta);
  for (int i = 0; i < 4; ++i) {
    data[i] = char(unpacked >> (8 * i));
    data[4 + i] = char(packed >> (8 * i));
  }
  data[8] = char(escape);
  return data + tokens;
}

int64_t Unpack(const std::string& packed, std::string& out, size_t capacity = 64) {
  out.assign(capacity, '\0');
  int64_t size = UnpackArchiveData(packed.data(), packed.size(), out.data(), out.size());
  if (size >= 0) out.resize(size_t(size));
  return size;
}

TEST(Unpacker, ElevenBytesFromOneAndACopyAtDistanceOne) {
  // 0x41, then a copy of length 10 (code 6 << 3) at distance 1 (code 0, byte 0).
  std::string packed = PackedBytes(11, 0xFF, std::string("\x41\xFF\x30\x00", 4));
  std::string out;
  EXPECT_EQ(Unpack(packed, out), 11);
  EXPECT_EQ(out, std::string(11, 'A'));
  EXPECT_EQ(UnpackArchiveData(packed.data(), packed.size(), nullptr, 0), 11);
}

TEST(Unpacker, EscapesCodesAboveTheEscapeAndLongCopies) {
  std::string out;
  // The escape twice is the escape byte itself.
  EXPECT_EQ(Unpack(PackedBytes(3, 0x10, std::string("a\x10\x10z", 4)), out), 3);
  EXPECT_EQ(out, std::string("a\x10z", 3));
  // With escape 0x20 the code byte 0x31 stands for e = 0x30: length 10, distance 1 + 1.
  EXPECT_EQ(Unpack(PackedBytes(12, 0x20, std::string("xy\x20\x31\x01", 5)), out), 12);
  EXPECT_EQ(out, "xyxyxyxyxyxy");
  // Bit 2 takes an extra byte of length (<< 5), code 1 a 16-bit distance: 4 + (1 | 2 << 5) = 69
  // bytes copied from 300 back.
  std::string head(300, '\0');
  for (size_t i = 0; i < head.size(); ++i) head[i] = char('a' + i % 26);
  std::string tokens = head + std::string("\x00\x0E\x02\x2B\x01", 5);  // e = 1 << 3 | 4 | 1, + 1
  ASSERT_EQ(Unpack(PackedBytes(369, 0x00, tokens), out, 400), 369);
  EXPECT_EQ(out.substr(300), head.substr(0, 69));
}

TEST(Unpacker, DamagedDataIsRefused) {
  struct Case {
    const char* what;
    std::string packed;
    size_t capacity;
  } cases[] = {
      {"copy before the start", PackedBytes(5, 0xFF, std::string("\x41\xFF\x08\x01", 4)), 64},
      {"copy past the declared size", PackedBytes(4, 0xFF, std::string("\x41\xFF\x30\x00", 4)), 64},
      {"escape cut off", PackedBytes(1, 0xFF, std::string("\x41\xFF", 2)), 64},
      {"length byte cut off", PackedBytes(40, 0xFF, std::string("\x41\xFF\x04", 3)), 64},
      {"distance cut off", PackedBytes(40, 0xFF, std::string("\x41\xFF\x09\x00", 4)), 64},
      {"24-bit distance cut off", PackedBytes(40, 0xFF, std::string("\x41\xFF\x0A\x00\x00", 5)), 64},
      {"distance code 3", PackedBytes(40, 0xFF, std::string("\x41\xFF\x03\x00\x00\x00", 6)), 64},
      {"fewer bytes than declared", PackedBytes(3, 0xFF, "ab"), 64},
      {"more bytes than declared", PackedBytes(1, 0xFF, "ab"), 64},
      {"packed size past the data", PackedBytes(2, 0xFF, "ab", 1), 64},
      {"packed size below its header", PackedBytes(2, 0xFF, "ab", -3), 64},
      {"output larger than the buffer", PackedBytes(11, 0xFF, std::string("\x41\xFF\x30\x00", 4)), 10},
      {"header cut off", std::string("\x01\x00\x00", 3), 64},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(Unpack(c.packed, out, c.capacity), -1) << c.what;
  }
}

TEST(Encoder, WhatItPacksUnpacksToTheSameBytes) {
  std::mt19937 random(11);
  std::vector<std::string> inputs;
  inputs.emplace_back("");
  inputs.emplace_back("a");
  inputs.emplace_back(20000, 'q');  // copies longer than one token can hold
  std::string noise(70000, '\0');
  for (char& c : noise) c = char(random());
  inputs.push_back(noise);                        // every byte value, nothing to copy
  inputs.push_back(noise.substr(0, 300) + noise.substr(0, 300) + noise);  // far copies
  std::string text;
  while (text.size() < 200000) text += "potemaru catches potatoes " + std::to_string(random() % 100);
  inputs.push_back(text);
  std::string far = noise + noise;  // a copy from 70000 back: a 24-bit distance
  inputs.push_back(far);
  for (const std::string& input : inputs) {
    std::string packed = qrpack::PackData(input.data(), input.size());
    std::string out;
    ASSERT_EQ(Unpack(packed, out, input.size() + 1), int64_t(input.size())) << input.size();
    EXPECT_TRUE(out == input) << input.size();
  }
  EXPECT_LT(qrpack::PackData(text.data(), text.size()).size(), text.size() / 3);
  EXPECT_LT(qrpack::PackData(far.data(), far.size()).size(), noise.size() + 1000);
}

}  // namespace
