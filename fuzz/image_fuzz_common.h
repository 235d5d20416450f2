// What every image harness does with a picture a decoder accepted: every pixel is read once by
// converting the whole picture to ARGB8 (DXT data decompressed first), so that a size, pitch or
// block that does not match the picture shows up as a read outside a buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/image_decoders.h"

namespace qr::image::fuzzing {

inline void TouchEveryPixel(BaseImage* image) {
  if (DecodeDxtImage(image) != 0 || image->width <= 0 || image->height <= 0) return;
  ColorFormat argb{};
  MakeArgb8Format(&argb);
  std::vector<unsigned char> out(size_t(image->width) * size_t(image->height) * 4);
  PixelConversion c;
  c.destPixels = out.data();
  c.destPitch = image->width * 4;
  c.destFormat = &argb;
  c.sourcePixels = image->pixels;
  c.sourcePitch = image->pitch;
  c.sourceFormat = &image->format;
  c.right = image->width;
  c.bottom = image->height;
  c.keyToAlpha = 1;
  ConvertPixels(c);
}

// Runs one decoder over the bytes and checks what it produced.
inline void RunDecoder(ImageDecoder decoder, const uint8_t* data, size_t size) {
  static const uint8_t nothing = 0;
  file::StreamReader reader;
  if (!file::OpenMemoryReader(size ? data : &nothing, size, reader)) return;
  BaseImage image{};
  if (decoder(reader, &image) == 0) TouchEveryPixel(&image);
  FreeImagePixels(&image);
  reader.Close();
}

}  // namespace qr::image::fuzzing
