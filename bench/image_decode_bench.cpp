// Decoding the same PNG and JPEG bytes through the runtime's decoder chain (BMP and JPEG or BMP
// decline first, then the picture is decoded into a base image) beside bare libpng and libjpeg
// calls doing the same decoding into a plain buffer.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
// jpeglib.h needs FILE and size_t first.
#include <jpeglib.h>

#include "image/image_decoders.h"

namespace {

using Bytes = std::vector<unsigned char>;
constexpr int kWidth = 640, kHeight = 480;

// A picture with smooth areas, edges and some noise, like a game's title screen.
Bytes TestPixels(int channels) {
  Bytes p(size_t(kWidth) * kHeight * size_t(channels));
  uint32_t noise = 12345;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      noise = noise * 1103515245u + 12345u;
      unsigned char* px = &p[(size_t(y) * kWidth + size_t(x)) * size_t(channels)];
      bool disc = (x - 320) * (x - 320) + (y - 240) * (y - 240) < 150 * 150;
      px[0] = uint8_t(disc ? 240 : x * 255 / kWidth);
      px[1] = uint8_t(disc ? 200 : y * 255 / kHeight);
      px[2] = uint8_t(((x / 32 + y / 32) & 1) ? 40 : 90 + (noise >> 28));
      if (channels == 4) px[3] = uint8_t(disc ? 255 : 128);
    }
  return p;
}

const Bytes& PngFile() {
  static Bytes file = [] {
    Bytes pixels = TestPixels(4);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    Bytes out(size);
    png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr);
    out.resize(size);
    return out;
  }();
  return file;
}

const Bytes& JpegFile() {
  static Bytes file = [] {
    Bytes pixels = TestPixels(3);
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
      JSAMPROW row = &pixels[size_t(cinfo.next_scanline) * kWidth * 3];
      jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    free(buffer);
    return out;
  }();
  return file;
}

void ThroughChain(benchmark::State& state, const Bytes& file) {
  for (auto _ : state) {
    qr::image::BaseImage image{};
    if (qr::image::LoadImageFile(nullptr, file.data(), file.size(), 1, 0, 0, &image, nullptr, nullptr) != 0)
      state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(image.pixels);
    qr::image::FreeImagePixels(&image);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

void BM_ChainPng(benchmark::State& state) { ThroughChain(state, PngFile()); }
void BM_ChainJpeg(benchmark::State& state) { ThroughChain(state, JpegFile()); }

struct MemoryInput {
  const unsigned char* data;
  size_t size, position;
};

void ReadMemory(png_structp png, png_bytep out, size_t length) {
  auto* in = static_cast<MemoryInput*>(png_get_io_ptr(png));
  if (in->size - in->position < length) png_error(png, "short");
  std::memcpy(out, in->data + in->position, length);
  in->position += length;
}

// Bare libpng: the same transformations, rows straight into one buffer.
void BM_LibpngPng(benchmark::State& state) {
  const Bytes& file = PngFile();
  for (auto _ : state) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    MemoryInput in{file.data(), file.size(), 0};
    png_set_read_fn(png, &in, ReadMemory);
    png_read_info(png, info);
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_bgr(png);
    png_read_update_info(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    auto* pixels = static_cast<unsigned char*>(malloc(rowBytes * height));
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels + y * rowBytes;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    benchmark::DoNotOptimize(pixels);
    free(pixels);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

// Bare libjpeg: the library's memory source, scanlines straight into one buffer.
void BM_LibjpegJpeg(benchmark::State& state) {
  const Bytes& file = JpegFile();
  for (auto _ : state) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), file.size());
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    size_t stride = size_t(cinfo.output_width) * size_t(cinfo.output_components);
    auto* pixels = static_cast<unsigned char*>(malloc(stride * cinfo.output_height));
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW row = pixels + cinfo.output_scanline * stride;
      jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    benchmark::DoNotOptimize(pixels);
    free(pixels);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

BENCHMARK(BM_ChainPng)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LibpngPng)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ChainJpeg)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LibjpegJpeg)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
