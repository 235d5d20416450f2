// Pixel formats of the device: sizes, and conversion of rows to and from 0xAARRGGBB words.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/graphics_device.h"

namespace qr::platform::gpu {

struct FormatInfo {
  int bytesPerPixel = 0;  // 0 for block-compressed and unknown formats
  int blockBytes = 0;     // bytes per 4x4 block of a DXT format, else 0
  bool hasAlpha = false;
  bool isDepth = false;
  bool isColor = false;   // an uncompressed colour format
};

FormatInfo Info(TextureFormat format);
bool IsDxt(TextureFormat format);
const char* FormatName(TextureFormat format);

// Bytes from one row (of pixels, or of 4x4 blocks) to the next for a surface of this width.
size_t RowPitch(TextureFormat format, int width);
// Number of rows (of pixels, or of blocks) in a surface of this height.
int RowCount(TextureFormat format, int height);

// One pixel of an uncompressed colour format to and from 0xAARRGGBB. Formats without alpha read
// as opaque; narrower channels are widened by repeating their top bits.
uint32_t LoadPixel(TextureFormat format, const uint8_t* pixel);
void StorePixel(TextureFormat format, uint8_t* pixel, uint32_t argb);

void RowToArgb(TextureFormat format, const uint8_t* source, uint32_t* destination, int count);
void RowFromArgb(TextureFormat format, const uint32_t* source, uint8_t* destination, int count);

// Decodes a whole DXT surface (rows of 4x4 blocks, pitch bytes apart) into width x height ARGB
// words. DXT2 and DXT4 are stored with premultiplied colour and are returned as stored.
void DecodeDxt(TextureFormat format, const uint8_t* blocks, size_t pitch, int width, int height,
               uint32_t* destination);

}  // namespace qr::platform::gpu
