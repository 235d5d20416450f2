// The layout of a packed archive file, and the pieces of it that the reader and the packer
// (tools/qrpack) share: search names, the key and its scrambling, and the unpacker.
//
// All integers are little-endian; offsets are unsigned 32-bit. An archive is
//   header (24 bytes at offset 0) | entry data | table block
// where the table block holds the name table at its start and the file and directory tables at
// the offsets the header gives. Everything, header included, is scrambled by XOR with the key
// byte of (file offset mod 12).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qr::file {

constexpr char kArchiveMagic[2] = {'Q', 'R'};
constexpr uint16_t kNewestArchiveVersion = 3;
constexpr size_t kArchiveHeaderSize = 24;
constexpr size_t kDirectoryEntrySize = 16;
constexpr uint32_t kDirectoryAttribute = 0x10;
constexpr uint32_t kNoParent = 0xFFFFFFFFu;     // the root's parent
constexpr uint32_t kStoredUnpacked = 0xFFFFFFFFu;  // packed size of an entry stored as it is
constexpr size_t kPackedHeaderSize = 9;         // unpacked size, packed size, escape byte

// File entries are 40 bytes up to version 1 and 44 (with a packed size) from version 2 on.
constexpr size_t FileEntrySize(uint16_t version) { return version >= 2 ? 44 : 40; }

// Header field offsets.
enum ArchiveHeaderField : size_t {
  kHeaderMagic = 0, kHeaderVersion = 2, kHeaderTableSize = 4, kHeaderDataBase = 8,
  kHeaderTableOffset = 12, kHeaderFileTable = 16, kHeaderDirectoryTable = 20,
};
// File entry field offsets.
enum FileEntryField : size_t {
  kEntryName = 0, kEntryAttributes = 4, kEntryCreationTime = 8, kEntryAccessTime = 16,
  kEntryWriteTime = 24, kEntryDataOffset = 32, kEntryDataSize = 36, kEntryPackedSize = 40,
};
// Directory entry field offsets.
enum DirectoryEntryField : size_t {
  kDirectorySelf = 0, kDirectoryParent = 4, kDirectoryCount = 8, kDirectoryFirst = 12,
};

inline uint16_t Load16(const unsigned char* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t Load32(const unsigned char* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t Load64(const unsigned char* p) {
  return uint64_t(Load32(p)) | (uint64_t(Load32(p + 4)) << 32);
}

// The name one path element is looked up by: its bytes up to the end or the first '\' or '/',
// "a"-"z" upper-cased (the second byte of a Shift-JIS pair is never changed), zero-padded with
// 1 to 4 bytes to a multiple of 4. words = L, the padded length in 4-byte units; checkSum is the
// 16-bit sum of the upper-cased bytes.
struct ArchiveName {
  unsigned char bytes[260];  // 4 * words bytes are valid
  uint16_t words = 0;
  uint16_t checkSum = 0;
  size_t length = 0;  // bytes of the element, without padding
};
// False when the element is longer than 255 bytes.
bool MakeArchiveName(const char* element, ArchiveName& name);

// The 12 bytes every byte of an archive is XORed with, by file offset mod 12.
constexpr size_t kArchiveKeySize = 12;
struct ArchiveKey {
  unsigned char bytes[kArchiveKeySize];
};
// From a key string (only its first 12 bytes count); null or "" is "no key string".
ArchiveKey BuildArchiveKey(const char* keyString);
// The key tried when the one built from the key string does not reveal the magic.
ArchiveKey FallbackArchiveKey();
// XORs `size` bytes that lie at file offset `offset` with the key: scrambles and de-scrambles.
void ScrambleArchiveBytes(const ArchiveKey& key, uint64_t offset, void* data, size_t size);

// Unpacks a packed entry (its 9-byte header and token stream, `available` bytes) into
// `destination`, which holds `capacity` bytes; with a null destination it only reports the
// unpacked size from the header. Returns the unpacked size, or -1 when the data is damaged:
// sizes that do not agree with what is there, a copy reaching before the start of the output or
// past its end, a token cut off by the end of the data, a distance code of 3, or a token stream
// that does not produce exactly the unpacked size.
int64_t UnpackArchiveData(const void* packed, size_t available, void* destination,
                          size_t capacity);

// Windows file time (100 ns since 1601, UTC) and seconds since 1970, both ways.
int64_t FileTimeToUnixSeconds(uint64_t fileTime);
uint64_t UnixSecondsToFileTime(int64_t seconds);

}  // namespace qr::file
