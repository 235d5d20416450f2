// PNG pictures through libpng: the read callback over a stream reader, the transformations the
// runtime wants (8 bits per channel, one byte per palette index, blue-green-red order), and the
// base image the rows become.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "image/decoder_input.h"
#include "image/image_decoders.h"
#include "qr.h"

namespace qr::image {
namespace {

// Far beyond any real picture, and small enough that no size product overflows.
constexpr png_uint_32 kMaxSide = 1u << 24;

struct PngInput {
  const file::StreamReader* reader;
  int64_t end;  // offset of the end of the data
};

void ReadFromReader(png_structp png, png_bytep data, size_t length) {
  auto* in = static_cast<PngInput*>(png_get_io_ptr(png));
  int64_t left = in->end - in->reader->Tell();
  if (left < int64_t(length) || in->reader->Read(data, 1, length) != length) png_error(png, "Read Error");
}

// Library errors come back through the jump buffer; neither errors nor warnings are printed.
void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

// The largest row count times row length a file of this size may ask for: deflate expands at
// most about 1032 times, and the transformations at most 32 times more (1-bit palette to RGBA).
bool PlausibleSize(png_uint_32 width, png_uint_32 height, int bitDepth, int channels,
                   size_t outputRowBytes, int64_t dataBytes) {
  int64_t rawRow = (int64_t(width) * bitDepth * channels + 7) / 8 + 1;
  if (!input::PlausibleExpansion(rawRow * height, dataBytes, 1100)) return false;
  return int64_t(outputRowBytes) * height <= input::kMaxImageBytes;
}

// Everything that must survive a jump back from the library lives here, outside the frame
// that calls setjmp.
struct PngState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  unsigned char* pixels = nullptr;
  png_bytep* rows = nullptr;
};

void Release(PngState& s, bool keepPixels) {
  png_destroy_read_struct(&s.png, s.info ? &s.info : nullptr, nullptr);
  if (s.rows) FreeMemory(s.rows);
  if (s.pixels && !keepPixels) FreeMemory(s.pixels);
  s.rows = nullptr;
  if (!keepPixels) s.pixels = nullptr;
}

int Decode(PngState& s, const file::StreamReader& reader, BaseImage* image) {
  PngInput in{&reader, 0};
  if (setjmp(png_jmpbuf(s.png))) return -1;

  // The size of the data is taken once, when the callback is installed.
  int32_t start = reader.Tell();
  if (reader.Seek(0, file::kSeekEnd) != 0) return -1;
  in.end = reader.Tell();
  if (reader.Seek(start, file::kSeekSet) != 0) return -1;
  png_set_read_fn(s.png, &in, ReadFromReader);
  png_set_sig_bytes(s.png, 0);

  png_read_info(s.png, s.info);
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(s.png, s.info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
  const bool transparency = png_get_valid(s.png, s.info, PNG_INFO_tRNS) != 0;
  const int fileChannels = png_get_channels(s.png, s.info);

  png_set_strip_16(s.png);
  png_set_packing(s.png);
  png_set_packswap(s.png);
  if ((colorType == PNG_COLOR_TYPE_GRAY && bitDepth <= 8) || transparency) png_set_expand(s.png);
  png_set_bgr(s.png);
  png_set_interlace_handling(s.png);
  png_read_update_info(s.png, s.info);

  const size_t rowBytes = png_get_rowbytes(s.png, s.info);
  const int channels = png_get_channels(s.png, s.info);
  if (width > kMaxSide || height > kMaxSide ||
      !PlausibleSize(width, height, bitDepth, fileChannels, rowBytes, in.end - start))
    return -1;

  s.pixels = static_cast<unsigned char*>(AllocMemory(rowBytes * height, __FILE__, __LINE__));
  s.rows = static_cast<png_bytep*>(AllocMemory(sizeof(png_bytep) * height, __FILE__, __LINE__));
  if (!s.pixels || !s.rows) return -1;
  for (png_uint_32 y = 0; y < height; ++y) s.rows[y] = s.pixels + size_t(y) * rowBytes;
  png_read_image(s.png, s.rows);
  png_read_end(s.png, nullptr);

  ColorFormat& f = image->format;
  if (colorType == PNG_COLOR_TYPE_PALETTE && !transparency) {
    MakePaletteFormat(&f);
    std::memset(f.palette, 0, sizeof f.palette);
    png_colorp palette = nullptr;
    int count = 0;
    if (png_get_PLTE(s.png, s.info, &palette, &count) != 0) {
      for (int i = 0; i < count && i < 256; ++i) {
        f.palette[i][0] = palette[i].blue;
        f.palette[i][1] = palette[i].green;
        f.palette[i][2] = palette[i].red;
        f.palette[i][3] = 0;
      }
    }
  } else if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    if (channels == 1) {
      MakeGrayFormat(&f);
    } else {
      // Gray and a second byte that is not used as alpha.
      MakeFormatFromMasks(&f, 16, 0xFF, 0xFF, 0xFF, 0);
      f.spareMask = 0xFF00;
      f.spareShift = 8;
      f.spareWidth = 8;
    }
  } else if (channels == 4) {
    MakeArgb8Format(&f);
  } else {
    MakeRgb24Format(&f);
  }
  image->width = int(width);
  image->height = int(height);
  image->pitch = int(rowBytes);
  image->mipCount = 0;
  image->pixels = s.pixels;
  return 0;
}

}  // namespace

int DecodePng(const file::StreamReader& reader, BaseImage* image) {
  PngState s;
  s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (!s.png) return -1;
  s.info = png_create_info_struct(s.png);
  if (!s.info) {
    Release(s, false);
    return -1;
  }
  png_set_user_limits(s.png, kMaxSide, kMaxSide);
  int result = Decode(s, reader, image);
  Release(s, result == 0);
  if (result != 0) std::memset(static_cast<void*>(image), 0, sizeof *image);
  return result;
}

}  // namespace qr::image
