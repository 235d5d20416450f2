// Pixel formats and decoded pictures: every picture in memory is a BaseImage whose pixels are
// described by a ColorFormat. Decoders produce them in the file's own layout; the graphics side
// converts them (ConvertPixels) when they become textures.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qr::image {

struct ColorFormat {
  uint16_t colorBits;   // 8, 16, 24 or 32 (4 or 8 for DXT-compressed data)
  uint16_t pixelBytes;  // 1 (a palette index), 2, 3 or 4
  uint8_t redWidth, greenWidth, blueWidth, alphaWidth;  // 0: the channel is absent
  uint8_t redShift, greenShift, blueShift, alphaShift;
  uint32_t redMask, greenMask, blueMask, alphaMask;
  uint32_t spareMask;        // bits of the pixel word that belong to no channel
  uint8_t palette[256][4];   // blue, green, red, alpha; used when pixelBytes is 1
  uint8_t spareShift, spareWidth;
  uint32_t compression;      // 0 none; 1 ... 5: DXT1 ... DXT5
};

struct BaseImage {
  ColorFormat format;
  int width;
  int height;
  int pitch;                // bytes from one row to the next; rows run top to bottom
  unsigned char* pixels;    // owned; from the tracked allocator
  int mipCount;             // levels stored one after another; 0 or 1 for a plain image
};

// A format whose pixels are palette indices (pixelBytes 1).
inline bool IsPaletteFormat(const ColorFormat& format) { return format.pixelBytes == 1; }

// Standard formats; each returns 0. MakePaletteFormat keeps the palette and spare fields.
int MakePaletteFormat(ColorFormat* format);
int MakeGrayFormat(ColorFormat* format);
int MakeXrgb8Format(ColorFormat* format);
int MakeArgb8Format(ColorFormat* format);
int MakeRgb24Format(ColorFormat* format);
// bits 8, 16, 24 or 32; the masks give each channel's shift and width (from the lowest set bit).
int MakeFormatFromMasks(ColorFormat* format, int bits, uint32_t redMask, uint32_t greenMask,
                        uint32_t blueMask, uint32_t alphaMask);
// Spare mask 0 when the channel widths fill the pixel, else the bits no channel uses.
void UpdateSpareMask(ColorFormat* format);
// Two formats that store the same channels in the same bits.
bool SameLayout(const ColorFormat& a, const ColorFormat& b);

// Components are 0 ... 255. Palette formats: the nearest entry (alpha ignored).
uint32_t PackFormatColor(const ColorFormat* format, int red, int green, int blue, int alpha);
// Any out pointer may be null.
void UnpackFormatColor(const ColorFormat* format, uint32_t word, int* red, int* green, int* blue,
                       int* alpha);

// Reads or writes one pixel (0-255 components); -1 outside the image or when DXT data cannot
// be decompressed first.
int ReadImagePixel(BaseImage* image, int x, int y, int* red, int* green, int* blue, int* alpha);
int WriteImagePixel(BaseImage* image, int x, int y, int red, int green, int blue, int alpha);

// Copies the format, sets the size and a 4-byte-aligned pitch and allocates the pixels
// (not cleared); mip count 0. -1 when the size is negative or the allocation fails.
int AllocImagePixels(int width, int height, const ColorFormat* format, BaseImage* image);
int AllocXrgb8ImagePixels(int width, int height, BaseImage* image);
int AllocArgb8ImagePixels(int width, int height, BaseImage* image);
// Frees the pixel block and zeroes the record.
void FreeImagePixels(BaseImage* image);
// Zeroes a rectangle (clipped to the image). Returns 0.
int ClearImageRect(BaseImage* image, int x, int y, int width, int height);
// Reverses every row in place; -1 for an empty image.
int MirrorImageRows(BaseImage* image);

// Reads one little-endian pixel word of 1 to 4 bytes.
inline uint32_t LoadPixelWord(const unsigned char* p, int bytes) {
  switch (bytes) {
    case 1: return p[0];
    case 2: return uint32_t(p[0]) | uint32_t(p[1]) << 8;
    case 3: return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    default: return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }
}
inline void StorePixelWord(unsigned char* p, int bytes, uint32_t word) {
  p[0] = uint8_t(word);
  if (bytes > 1) p[1] = uint8_t(word >> 8);
  if (bytes > 2) p[2] = uint8_t(word >> 16);
  if (bytes > 3) p[3] = uint8_t(word >> 24);
}
// A palette entry as the 32-bit word 0xAARRGGBB.
inline uint32_t PaletteWord(const ColorFormat& format, unsigned index) {
  const uint8_t* e = format.palette[index & 0xFF];
  return uint32_t(e[0]) | uint32_t(e[1]) << 8 | uint32_t(e[2]) << 16 | uint32_t(e[3]) << 24;
}

// ---------------------------------------------------------------------------------------------
// Conversion between formats

enum DitherMode : int { kDitherNone = 0, kDitherOrdered = 1, kDitherCarried = 2 };

// One call of the general converter. The source rectangle (right and bottom exclusive) has been
// clipped by the caller; the copy lands at (destX, destY).
struct PixelConversion {
  void* destPixels = nullptr;
  int destPitch = 0;
  const ColorFormat* destFormat = nullptr;
  const void* sourcePixels = nullptr;
  int sourcePitch = 0;
  const ColorFormat* sourceFormat = nullptr;
  // A second picture whose red channel gives the alpha (may be absent).
  const void* alphaPixels = nullptr;
  int alphaPitch = 0;
  const ColorFormat* alphaFormat = nullptr;
  int destX = 0, destY = 0;
  int left = 0, top = 0, right = 0, bottom = 0;
  int mirror = 0;          // the destination runs right to left
  int keyToAlpha = 0;      // pixels of the key colour get alpha 0, the others full alpha
  uint32_t keyColor = 0;   // 0xRRGGBB
  int ditherMode = kDitherNone;
  int blackColor = 0;      // red, green and blue become 0, alpha is kept
  int alphaFromRed = 0;    // alpha is the source's red channel
  int skipKey = 0;         // pixels of the key colour are not written
  int paletteRemap = 0;    // palette to palette: map colours, not indices
};

// 0 (for a palette index copy: the largest index copied), or -1 for an empty rectangle or
// formats it cannot store.
int ConvertPixels(const PixelConversion& conversion);

// Copies a rectangle between images of any formats, clipped to both. 0 / -1.
int CopyImageRect(int sourceX, int sourceY, int width, int height, int destX, int destY,
                  BaseImage* source, BaseImage* dest);

// Scaled copy of [left, right) x [top, bottom) onto the destination rectangle; bilinear 1
// blends four source pixels. 0 / -1.
int ScaleImageRect(int sourceLeft, int sourceTop, int sourceRight, int sourceBottom,
                   BaseImage* source, int destLeft, int destTop, int destRight, int destBottom,
                   BaseImage* dest, int bilinear);

// Halves a width x height block (each 1 or even) of 16- or 32-bit pixels by averaging 2 x 2
// blocks; other depths are left alone. 0 / -1.
int HalveImageRect(const ColorFormat* format, void* dest, int destPitch, const void* source,
                   int sourcePitch, int width, int height);

// Bytes of one DXT level of width x height (whole 4 x 4 blocks).
size_t DxtLevelBytes(uint32_t compression, int width, int height);
// Decompresses the top level of DXT data into ARGB8; nothing to do for plain images. 0 / -1.
int DecodeDxtImage(BaseImage* image);

// A device-independent bitmap: the 40-byte information header and the colour table.
struct DibInfo {
  uint32_t size;
  int32_t width;
  int32_t height;       // negative: rows run top to bottom
  uint16_t planes;
  uint16_t bitCount;
  uint32_t compression;
  uint32_t imageBytes;
  int32_t xPixelsPerMeter;
  int32_t yPixelsPerMeter;
  uint32_t colorsUsed;
  uint32_t colorsImportant;
  uint8_t colors[256][4];  // blue, green, red, 0
};
static_assert(sizeof(DibInfo) == 40 + 1024);

// Describes the image as an 8-bit (palette) or 24-bit top-down bitmap with a 4-byte pitch.
// Returns 1 when *pixels is a new block (the caller frees it with FreeMemory), 0 when it is the
// image's own block, -1 when an allocation failed.
int ImageToDib(BaseImage* image, DibInfo* info, void** pixels, int forceCopy, int force24Bit);

}  // namespace qr::image
