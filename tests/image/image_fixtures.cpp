#include "image_fixtures.h"

#include <png.h>

#include <cstdio>
#include <cstring>
// jpeglib.h needs FILE and size_t first.
#include <jpeglib.h>

#include <stdexcept>

namespace qr::image::testing {

void Put16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

Bytes MakeBmp(const BmpLayout& s) {
  Bytes b;
  uint32_t offset = 14 + 40 + uint32_t(s.masks.size() + s.palette.size());
  b.push_back('B');
  b.push_back('M');
  Put32(b, offset + uint32_t(s.pixels.size()));
  Put32(b, 0);
  Put32(b, uint32_t(int32_t(offset) + s.pixelOffsetDelta));
  Put32(b, 40);
  Put32(b, uint32_t(s.width));
  Put32(b, uint32_t(s.height));
  Put16(b, 1);
  Put16(b, s.bitCount);
  Put32(b, s.compression);
  Put32(b, uint32_t(s.pixels.size()));
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, s.colorsUsed);
  Put32(b, 0);
  Append(b, s.masks);
  Append(b, s.palette);
  Append(b, s.pixels);
  return b;
}

Bytes MakeTga(const TgaLayout& s) {
  Bytes b;
  b.push_back(uint8_t(s.id.size()));
  b.push_back(s.mapType);
  b.push_back(s.imageType);
  Put16(b, s.mapFirst);
  Put16(b, s.mapLength);
  b.push_back(s.mapBits);
  Put16(b, s.xOrigin);
  Put16(b, 0);
  Put16(b, s.width);
  Put16(b, s.height);
  b.push_back(s.pixelBits);
  b.push_back(s.descriptor);
  Append(b, s.id);
  Append(b, s.map);
  Append(b, s.pixels);
  if (s.footer) {
    Put32(b, 0);
    Put32(b, 0);
    for (char c : std::string("TRUEVISION-XFILE")) b.push_back(uint8_t(c));
    b.push_back('.');
    b.push_back(0);
  }
  return b;
}

Bytes MakeDds(const DdsLayout& s) {
  Bytes b = {'D', 'D', 'S', ' '};
  Put32(b, 124);
  Put32(b, s.flags);
  Put32(b, s.height);
  Put32(b, s.width);
  Put32(b, s.pitch);
  Put32(b, 0);
  Put32(b, s.mipCount);
  for (int i = 0; i < 11; ++i) Put32(b, 0);
  Put32(b, 32);
  Put32(b, s.pixelFlags);
  if (s.fourCcNumber)
    Put32(b, s.fourCcNumber);
  else
    for (int i = 0; i < 4; ++i) b.push_back(i < int(s.fourCc.size()) ? uint8_t(s.fourCc[size_t(i)]) : 0);
  Put32(b, s.bitCount);
  for (uint32_t m : s.masks) Put32(b, m);
  Put32(b, s.caps);
  for (int i = 0; i < 4; ++i) Put32(b, 0);
  Append(b, s.data);
  return b;
}

Bytes MakeBgra(uint32_t depth, uint32_t width, uint32_t height, const Bytes& data) {
  Bytes b = {'B', 'G', 'R', 'A'};
  Put32(b, depth);
  Put32(b, width);
  Put32(b, height);
  Append(b, data);
  return b;
}

namespace {

void PngWrite(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void PngFlush(png_structp) {}

}  // namespace

Bytes MakePng(const PngLayout& s) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("png write failed");
  }
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  png_set_IHDR(png, info, png_uint_32(s.width), png_uint_32(s.height), s.bitDepth, s.colorType,
               s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  for (size_t i = 0; i + 2 < s.palette.size(); i += 3)
    palette.push_back(png_color{s.palette[i], s.palette[i + 1], s.palette[i + 2]});
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
  png_color_16 trnsColor{};
  if (!s.trns.empty()) {
    if (s.colorType == PNG_COLOR_TYPE_PALETTE) {
      png_set_tRNS(png, info, s.trns.data(), int(s.trns.size()), nullptr);
    } else {
      trnsColor.gray = uint16_t(s.trns[0] << 8 | s.trns[1]);
      trnsColor.red = trnsColor.gray;
      if (s.trns.size() >= 6) {
        trnsColor.green = uint16_t(s.trns[2] << 8 | s.trns[3]);
        trnsColor.blue = uint16_t(s.trns[4] << 8 | s.trns[5]);
      }
      png_set_tRNS(png, info, nullptr, 0, &trnsColor);
    }
  }
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  std::vector<Bytes> copies = s.rows;
  for (Bytes& r : copies) rows.push_back(r.data());
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes MakeJpeg(int width, int height, int components, const Bytes& pixels, int quality, bool adobeCmyk) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = JDIMENSION(width);
  cinfo.image_height = JDIMENSION(height);
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  if (components == 4) cinfo.write_Adobe_marker = adobeCmyk ? TRUE : FALSE;
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + size_t(cinfo.next_scanline) * size_t(width * components));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  free(buffer);
  return out;
}

}  // namespace qr::image::testing
