// JPEG pictures through libjpeg (the version-62 interface): a source manager over a stream
// reader that reads 4096 bytes at a time, and gray, blue-green-red or CMYK output turned into
// a base image.
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>

#include "image/decoder_input.h"
#include "image/image_decoders.h"
#include "qr.h"

namespace qr::image {
namespace {

constexpr size_t kSourceBufferBytes = 4096;

struct ErrorManager {
  jpeg_error_mgr manager;
  jmp_buf jump;
};

// The library's message goes out through its own message output, then back to the decoder.
void OnErrorExit(j_common_ptr common) {
  (*common->err->output_message)(common);
  longjmp(reinterpret_cast<ErrorManager*>(common->err)->jump, 1);
}

struct ReaderSource {
  jpeg_source_mgr manager;
  const file::StreamReader* reader;
  int64_t end;
  JOCTET* buffer;
  bool started;
};

void InitSource(j_decompress_ptr cinfo) {
  reinterpret_cast<ReaderSource*>(cinfo->src)->started = false;
}

boolean FillInput(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<ReaderSource*>(cinfo->src);
  int64_t left = src->end - src->reader->Tell();
  size_t n = left > 0 ? size_t(std::min<int64_t>(left, kSourceBufferBytes)) : 0;
  if (n > 0) n = src->reader->Read(src->buffer, 1, n);
  if (n == 0) {
    if (!src->started) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    // The file ends early: an end-of-image marker lets the library finish the picture.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->buffer[0] = JOCTET(0xFF);
    src->buffer[1] = JOCTET(JPEG_EOI);
    n = 2;
  }
  src->manager.next_input_byte = src->buffer;
  src->manager.bytes_in_buffer = n;
  src->started = true;
  return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  while (count > long(src->bytes_in_buffer)) {
    count -= long(src->bytes_in_buffer);
    FillInput(cinfo);
  }
  src->next_input_byte += count;
  src->bytes_in_buffer -= size_t(count);
}

void TermSource(j_decompress_ptr) {}

// Everything that must survive a jump back from the library lives outside the setjmp frame.
struct JpegState {
  jpeg_decompress_struct cinfo;
  ErrorManager error;
  unsigned char* pixels = nullptr;
};

// CMYK as the library delivers it: Adobe files store the inks inverted.
void CmykRowToBgr(const unsigned char* cmyk, unsigned char* bgr, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    bgr[0] = uint8_t(y * k / 255);
    bgr[1] = uint8_t(m * k / 255);
    bgr[2] = uint8_t(c * k / 255);
  }
}

int Decode(JpegState& s, const file::StreamReader& reader, BaseImage* image) {
  j_decompress_ptr cinfo = &s.cinfo;
  if (setjmp(s.error.jump)) return -1;

  auto* src = static_cast<ReaderSource*>(
      (*cinfo->mem->alloc_small)(j_common_ptr(cinfo), JPOOL_PERMANENT, sizeof(ReaderSource)));
  src->buffer = static_cast<JOCTET*>(
      (*cinfo->mem->alloc_small)(j_common_ptr(cinfo), JPOOL_PERMANENT, kSourceBufferBytes));
  src->reader = &reader;
  int32_t start = reader.Tell();
  if (reader.Seek(0, file::kSeekEnd) != 0) return -1;
  src->end = reader.Tell();
  if (reader.Seek(start, file::kSeekSet) != 0) return -1;
  src->started = false;
  src->manager.init_source = InitSource;
  src->manager.fill_input_buffer = FillInput;
  src->manager.skip_input_data = SkipInput;
  src->manager.resync_to_restart = jpeg_resync_to_restart;
  src->manager.term_source = TermSource;
  src->manager.bytes_in_buffer = 0;
  src->manager.next_input_byte = nullptr;
  cinfo->src = &src->manager;

  jpeg_read_header(cinfo, TRUE);
  // Colour comes out in blue-green-red order straight away.
  if (cinfo->out_color_space == JCS_RGB) cinfo->out_color_space = JCS_EXT_BGR;
  jpeg_calc_output_dimensions(cinfo);
  const int components = cinfo->output_components;
  if (components != 1 && components != 3 && components != 4) return -1;
  const int outComponents = components == 1 ? 1 : 3;
  const int64_t stride = int64_t(cinfo->output_width) * outComponents;
  const int64_t bytes = stride * cinfo->output_height;
  // However well a picture compresses, a small file does not get a huge block.
  if (!input::PlausibleExpansion(bytes, src->end - start, 4096)) return -1;
  cinfo->mem->max_memory_to_use = long(input::kMaxImageBytes);

  jpeg_start_decompress(cinfo);
  s.pixels = static_cast<unsigned char*>(AllocMemory(size_t(bytes ? bytes : 1), __FILE__, __LINE__));
  if (!s.pixels) return -1;
  JSAMPARRAY cmykRow = nullptr;
  if (components == 4)
    cmykRow = (*cinfo->mem->alloc_sarray)(j_common_ptr(cinfo), JPOOL_IMAGE, cinfo->output_width * 4, 1);
  const bool inverted = cinfo->saw_Adobe_marker;
  while (cinfo->output_scanline < cinfo->output_height) {
    unsigned char* row = s.pixels + size_t(cinfo->output_scanline) * size_t(stride);
    if (components == 4) {
      if (jpeg_read_scanlines(cinfo, cmykRow, 1) != 1) return -1;
      CmykRowToBgr(cmykRow[0], row, cinfo->output_width, inverted);
    } else {
      JSAMPROW target = row;
      if (jpeg_read_scanlines(cinfo, &target, 1) != 1) return -1;
    }
  }
  jpeg_finish_decompress(cinfo);

  if (components == 1)
    MakeGrayFormat(&image->format);
  else
    MakeRgb24Format(&image->format);
  image->width = int(cinfo->output_width);
  image->height = int(cinfo->output_height);
  image->pitch = int(stride);
  image->mipCount = 0;
  image->pixels = s.pixels;
  return 0;
}

}  // namespace

int DecodeJpeg(const file::StreamReader& reader, BaseImage* image) {
  // Not a JPEG start-of-image: decline before the library is set up.
  unsigned char marker[2];
  int32_t start = reader.Tell();
  if (!input::ReadExact(reader, marker, 2) || marker[0] != 0xFF || marker[1] != 0xD8 ||
      reader.Seek(start, file::kSeekSet) != 0)
    return -1;

  auto* s = new (std::nothrow) JpegState();
  if (!s) return -1;
  s->cinfo.err = jpeg_std_error(&s->error.manager);
  s->error.manager.error_exit = OnErrorExit;
  jpeg_create_decompress(&s->cinfo);
  int result = Decode(*s, reader, image);
  jpeg_destroy_decompress(&s->cinfo);
  if (result != 0) {
    if (s->pixels) FreeMemory(s->pixels);
    std::memset(static_cast<void*>(image), 0, sizeof *image);
  }
  delete s;
  return result;
}

}  // namespace qr::image
