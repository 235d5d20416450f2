// qrimg: looks at pictures the way the runtime sees them.
//   qrimg info FILE            which decoder took the file, and the picture's format
//   qrimg decode FILE OUT.png  the decoded picture as 8-bit RGBA PNG (--alpha: with its _a file)
//   qrimg show FILE            the picture in a window (--transparent: over a checkerboard)
//   qrimg text TEXT OUT.png    a string drawn with a font, as PNG (see qrimg_text.cpp)
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "file/stream_reader.h"
#include "graphics/graphic_handles.h"
#include "image/image_decoders.h"
#include "platform/encoding.h"
#include "qr.h"
#include "qrimg_text.h"

namespace {

const char* kUsage =
    "usage: qrimg info FILE\n"
    "       qrimg decode [--alpha] FILE OUT.png\n"
    "       qrimg show [--transparent] FILE\n"
    "       qrimg text TEXT OUT.png [--size N] [--type T] [--edge E] [--face NAME]\n"
    "                  [--colour RRGGBB] [--edge-colour RRGGBB]\n"
    "\n"
    "info    prints which decoder accepted the file (BMP, JPEG, PNG, BGRA, TGA, DDS), its width,\n"
    "        height, colour bits, the red, green, blue and alpha masks, whether it is paletted,\n"
    "        its compression and its mip count.\n"
    "decode  writes the decoded picture as 8-bit RGBA PNG, alpha 255 where the picture has no\n"
    "        alpha channel. --alpha applies the companion file named like FILE with _a before\n"
    "        its extension the way a graphic upload does: its red channel becomes the alpha.\n"
    "show    opens a window showing the picture as a game would draw it; --transparent draws it\n"
    "        with its transparency over a checkerboard. Escape or closing the window ends it.\n"
    "text    draws TEXT (UTF-8) with a font made by CreateFontToHandle (size 16, type 0: plain,\n"
    "        1: edged, 2: anti-aliased, 3: both; edge 1; the default face; white on a black\n"
    "        edge) onto a transparent canvas and writes it as 8-bit RGBA PNG, exactly the\n"
    "        string's box: its width by the font's cell height. A character Shift-JIS cannot\n"
    "        express is refused.\n"
    "\n"
    "An undecodable or missing file gives one line on standard error and exit status 1.\n";

struct NamedDecoder {
  const char* name;
  qr::image::ImageDecoder decode;
};
const NamedDecoder kDecoders[] = {
    {"BMP", qr::image::DecodeBmp},   {"JPEG", qr::image::DecodeJpeg}, {"PNG", qr::image::DecodePng},
    {"BGRA", qr::image::DecodeBgra}, {"TGA", qr::image::DecodeTga},   {"DDS", qr::image::DecodeDds},
};

bool ReadFile(const std::string& path, std::string& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::stringstream buffer;
  buffer << file.rdbuf();
  bytes = buffer.str();
  return true;
}

// Decodes with the chain's decoders in the chain's order; the name of the one that took it.
const char* Decode(const std::string& bytes, qr::image::BaseImage& image) {
  for (const NamedDecoder& d : kDecoders) {
    qr::file::StreamReader reader;
    if (!qr::file::OpenMemoryReader(bytes.data(), bytes.size(), reader)) return nullptr;
    std::memset(&image, 0, sizeof image);
    int result = d.decode(reader, &image);
    reader.Close();
    if (result == 0) return d.name;
  }
  return nullptr;
}

int Info(const std::string& path) {
  std::string bytes;
  if (!ReadFile(path, bytes)) return std::fprintf(stderr, "qrimg: cannot read %s\n", path.c_str()), 1;
  qr::image::BaseImage image;
  const char* decoder = Decode(bytes, image);
  if (!decoder) return std::fprintf(stderr, "qrimg: %s: no decoder accepts this file\n", path.c_str()), 1;
  const qr::image::ColorFormat& f = image.format;
  static const char* const kCompression[] = {"none", "DXT1", "DXT2", "DXT3", "DXT4", "DXT5"};
  std::printf("decoder: %s\n", decoder);
  std::printf("width: %d\nheight: %d\n", image.width, image.height);
  std::printf("colour bits: %d\n", f.colorBits);
  std::printf("masks: red %08X green %08X blue %08X alpha %08X\n", f.redMask, f.greenMask, f.blueMask, f.alphaMask);
  std::printf("paletted: %s\n", qr::image::IsPaletteFormat(f) ? "yes" : "no");
  std::printf("compression: %s\n", f.compression <= 5 ? kCompression[f.compression] : "unknown");
  std::printf("mips: %d\n", image.mipCount);
  qr::image::FreeImagePixels(&image);
  return 0;
}

int Decode(const std::string& path, const std::string& out, bool withAlpha) {
  std::string sjis = qr::platform::Utf8ToCp932(path);
  qr::image::BaseImage image{}, alpha{};
  int loaded = withAlpha ? qr::image::LoadImageWithAlpha(sjis.c_str(), nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0)
                         : qr::image::LoadImageFile(sjis.c_str(), nullptr, 0, 0, 0, 0, &image, nullptr, nullptr);
  if (loaded < 0) return std::fprintf(stderr, "qrimg: %s: cannot be decoded\n", path.c_str()), 1;
  bool hasAlpha = withAlpha && loaded == 0;
  if (image.format.compression != 0) qr::image::DecodeDxtImage(&image);
  qr::image::BaseImage rgba{};
  qr::image::AllocArgb8ImagePixels(image.width, image.height, &rgba);
  qr::image::PixelConversion c;
  c.destPixels = rgba.pixels;
  c.destPitch = rgba.pitch;
  c.destFormat = &rgba.format;
  c.sourcePixels = image.pixels;
  c.sourcePitch = image.pitch;
  c.sourceFormat = &image.format;
  if (hasAlpha) {
    c.alphaPixels = alpha.pixels;
    c.alphaPitch = alpha.pitch;
    c.alphaFormat = &alpha.format;
  }
  c.right = image.width;
  c.bottom = image.height;
  int converted = qr::image::ConvertPixels(c);
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = png_uint_32(rgba.width);
  png.height = png_uint_32(rgba.height);
  png.format = PNG_FORMAT_BGRA;  // 0xAARRGGBB words, little-endian
  int written = converted >= 0 ? png_image_write_to_file(&png, out.c_str(), 0, rgba.pixels, rgba.pitch, nullptr) : 0;
  qr::image::FreeImagePixels(&rgba);
  qr::image::FreeImagePixels(&image);
  if (hasAlpha) qr::image::FreeImagePixels(&alpha);
  if (!written) return std::fprintf(stderr, "qrimg: cannot write %s\n", out.c_str()), 1;
  return 0;
}

// A checkerboard graphic the size of the screen, for seeing transparency.
int Checkerboard(int width, int height) {
  qr::image::BaseImage board{};
  if (qr::image::AllocXrgb8ImagePixels(width, height, &board) != 0) return -1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t p = ((x / 16 + y / 16) & 1) ? 0xFFC8C8C8u : 0xFF989898u;
      std::memcpy(board.pixels + size_t(y) * size_t(board.pitch) + size_t(x) * 4, &p, 4);
    }
  int handle = qr::graphics::CreateGraphicForImage(&board, nullptr);
  if (handle != -1)
    qr::graphics::TransferImageToGraphic(handle, &board, nullptr, qr::graphics::TransferRect{0, 0, width, height}, 0,
                                         0, 0, nullptr);
  qr::image::FreeImagePixels(&board);
  return handle;
}

int Show(const std::string& path, bool transparent) {
  std::string sjis = qr::platform::Utf8ToCp932(path);
  qr::image::BaseImage image{};
  if (qr::image::LoadImageFile(sjis.c_str(), nullptr, 0, 0, 0, 0, &image, nullptr, nullptr) != 0)
    return std::fprintf(stderr, "qrimg: %s: cannot be decoded\n", path.c_str()), 1;
  int width = std::max(image.width, 64), height = std::max(image.height, 64);
  qr::image::FreeImagePixels(&image);

  SetLogFileEnabled(0);
  SetScreenMode(width, height, 32, 0);
  std::string title = "qrimg - " + path.substr(path.find_last_of('/') + 1);
  SetWindowTitleText(qr::platform::Utf8ToCp932(title).c_str());
  ChangeWindowMode(1);
  if (RuntimeInit() != 0) return std::fprintf(stderr, "qrimg: cannot open a window\n"), 1;
  SetDrawTarget(-2);
  int picture = LoadGraphic(sjis.c_str(), 0);
  int board = transparent ? Checkerboard(width, height) : -1;
  while (PumpMessages() == 0 && !IsKeyPressed(1)) {
    ClearScreen();
    if (board != -1) DrawGraphic(0, 0, board, 0);
    DrawGraphic(0, 0, picture, transparent ? 1 : 0);
    FlipScreen();
    SleepMilliseconds(16);
  }
  RuntimeEnd();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "text") return TextCommand(std::vector<std::string>(args.begin() + 1, args.end()));
  bool alpha = false, transparent = false;
  std::vector<std::string> plain;
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == "--alpha") alpha = true;
    else if (a == "--transparent") transparent = true;
    else plain.push_back(a);
  }
  if (plain.size() == 2 && plain[0] == "info") return Info(plain[1]);
  if (plain.size() == 3 && plain[0] == "decode") return Decode(plain[1], plain[2], alpha);
  if (plain.size() == 2 && plain[0] == "show") return Show(plain[1], transparent);
  std::fputs(kUsage, stderr);
  return 2;
}
