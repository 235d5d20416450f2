// qrimg text: a string drawn by the runtime with a font of the given settings, written as a
// PNG exactly the size of the string's box, transparent around the glyphs.
#include "qrimg_text.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "graphics/device_start.h"
#include "graphics/draw_settings.h"
#include "graphics/graphic_handles.h"
#include "platform/encoding.h"
#include "platform/headless/headless_platform.h"
#include "platform/platform.h"
#include "qr.h"

namespace {

struct TextOptions {
  std::string text, out;
  int size = 16, type = 0, edge = 1;
  std::string face;
  unsigned colour = 0xFFFFFF, edgeColour = 0x000000;
};

bool ParseColour(const std::string& text, unsigned& colour) {
  if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
  colour = unsigned(std::strtoul(text.c_str(), nullptr, 16));
  return true;
}

bool ParseInt(const std::string& text, int& value) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || v < -100000 || v > 100000) return false;
  value = int(v);
  return true;
}

// A drawable graphic with an alpha channel, cleared to transparent.
int TransparentCanvas(int width, int height) {
  qr::graphics::CreationSettings saved = qr::graphics::Creation();
  qr::graphics::Creation().makeDrawable = true;
  qr::graphics::Creation().drawableWithAlpha = true;
  int handle = CreateEmptyGraphic(width, height);
  qr::graphics::Creation() = saved;
  if (handle != -1) FillGraphic(handle, 0, 0, 0, 0);
  return handle;
}

// The canvas's pixels as 0xAARRGGBB words, copied out of the render target.
bool ReadCanvas(int handle, int width, int height, std::vector<uint32_t>& pixels) {
  qr::graphics::GraphicRecord* g = qr::graphics::GetGraphic(handle);
  qr::platform::GraphicsDevice* device = qr::graphics::Host();
  if (!g || !device || g->image->textureCount != 1) return false;
  const qr::graphics::TextureTile& tile = g->image->textures[0];
  qr::platform::Surface* copy = nullptr;
  if (!qr::platform::Succeeded(device->CreateOffscreenPlainSurface(tile.textureWidth, tile.textureHeight,
                                                                   qr::platform::TextureFormat::A8R8G8B8,
                                                                   qr::platform::MemoryPool::SystemMemory, copy)))
    return false;
  qr::platform::LockedRect locked;
  bool ok = qr::platform::Succeeded(device->GetRenderTargetData(tile.surface, copy)) &&
            qr::platform::Succeeded(device->LockRect(copy, nullptr, locked));
  if (ok) {
    pixels.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
      std::memcpy(&pixels[size_t(y) * size_t(width)],
                  static_cast<const uint8_t*>(locked.bits) + size_t(y) * size_t(locked.pitch), size_t(width) * 4);
    device->UnlockRect(copy);
  }
  device->Release(copy);
  return ok;
}

bool WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = png_uint_32(width);
  png.height = png_uint_32(height);
  png.format = PNG_FORMAT_BGRA;  // 0xAARRGGBB words, little-endian
  return png_image_write_to_file(&png, path.c_str(), 0, pixels.data(), width * 4, nullptr) != 0;
}

int Draw(const TextOptions& o, const std::string& text, const std::string& face) {
  qr::platform::HeadlessPlatform host;
  qr::platform::Install(&host.platform);
  SetLogFileEnabled(0);
  SetScreenMode(640, 480, 32, 0);
  ChangeWindowMode(1);
  auto fail = [](const char* message) {
    std::fprintf(stderr, "qrimg: %s\n", message);
    RuntimeEnd();
    qr::platform::Install(nullptr);
    return 1;
  };
  if (RuntimeInit() != 0) return fail("the runtime did not start");
  int font = CreateFontToHandle(face.empty() ? nullptr : face.c_str(), o.size, -1, o.type, -1, o.edge, 0, -1, -1);
  if (font == -1) return fail("the font cannot be made with these settings");
  int width = 0, height = 0;
  if (MeasureString(font, text.c_str(), -1, &width, &height) != 0) return fail("the text cannot be measured");
  if (width <= 0 || height <= 0) return fail("the text has no width");
  int canvas = TransparentCanvas(width, height);
  if (canvas == -1 || SetDrawTarget(canvas) != 0) return fail("no canvas of that size can be made");
  int colour = MakeColor(int(o.colour >> 16), int(o.colour >> 8 & 0xFF), int(o.colour & 0xFF));
  int edge = MakeColor(int(o.edgeColour >> 16), int(o.edgeColour >> 8 & 0xFF), int(o.edgeColour & 0xFF));
  DrawStringWithFont(0, 0, text.c_str(), colour, font, edge);
  SetDrawTarget(-2);  // sends what is pending to the canvas
  std::vector<uint32_t> pixels;
  if (!ReadCanvas(canvas, width, height, pixels)) return fail("the canvas cannot be read");
  RuntimeEnd();
  qr::platform::Install(nullptr);
  if (!WritePng(o.out, width, height, pixels)) return std::fprintf(stderr, "qrimg: cannot write %s\n", o.out.c_str()), 1;
  return 0;
}

}  // namespace

int TextCommand(const std::vector<std::string>& args) {
  TextOptions o;
  std::vector<std::string> plain;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    auto bad = [&a]() {
      std::fprintf(stderr, "qrimg: %s needs a valid value\n", a.c_str());
      return 2;
    };
    if (a == "--size") { if (!hasValue || !ParseInt(args[++i], o.size)) return bad(); }
    else if (a == "--type") { if (!hasValue || !ParseInt(args[++i], o.type)) return bad(); }
    else if (a == "--edge") { if (!hasValue || !ParseInt(args[++i], o.edge)) return bad(); }
    else if (a == "--face") { if (!hasValue) return bad(); o.face = args[++i]; }
    else if (a == "--colour") { if (!hasValue || !ParseColour(args[++i], o.colour)) return bad(); }
    else if (a == "--edge-colour") { if (!hasValue || !ParseColour(args[++i], o.edgeColour)) return bad(); }
    else plain.push_back(a);
  }
  if (plain.size() != 2) {
    std::fputs("usage: qrimg text TEXT OUT.png [--size N] [--type T] [--edge E] [--face NAME] [--colour RRGGBB] "
               "[--edge-colour RRGGBB]\n", stderr);
    return 2;
  }
  o.text = plain[0];
  o.out = plain[1];
  std::string text, face, failed;
  if (!qr::platform::Utf8ToCp932Exactly(o.text, text, failed))
    return std::fprintf(stderr, "qrimg: the character %s cannot be written in Shift-JIS\n", failed.c_str()), 1;
  if (!qr::platform::Utf8ToCp932Exactly(o.face, face, failed))
    return std::fprintf(stderr, "qrimg: the face name's character %s cannot be written in Shift-JIS\n", failed.c_str()), 1;
  if (text.empty()) return std::fprintf(stderr, "qrimg: the text is empty\n"), 1;
  return Draw(o, text, face);
}
