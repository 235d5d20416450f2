// Which texture formats the device can use for each kind of graphic, tried in order of
// preference, each row logged with the format it settled on.
#include <initializer_list>

#include "graphics/device_start.h"
#include "graphics/screen_settings.h"
#include "qr.h"

namespace qr::graphics {
namespace {

using platform::DeviceResult;
using platform::ResourceKind;
using platform::ResourceUsage;
using F = TextureFormat;

struct Candidate {
  TextureFormat format;
  const char* name;
};

bool Usable(TextureFormat format, ResourceUsage usage) {
  platform::GraphicsDevice* host = Host();
  TextureFormat screen = Device().formats.screen;
  if (usage == ResourceUsage::DepthStencil)
    return platform::Succeeded(host->CheckDeviceFormat(screen, usage, ResourceKind::Surface, format)) &&
           platform::Succeeded(host->CheckDepthStencilMatch(screen, screen, format));
  return platform::Succeeded(host->CheckDeviceFormat(screen, usage, ResourceKind::Texture, format));
}

// The first usable candidate, or null.
const Candidate* FirstUsable(std::initializer_list<Candidate> candidates, ResourceUsage usage) {
  for (const Candidate& c : candidates)
    if (Usable(c.format, usage)) return &c;
  return nullptr;
}

// A row that the device cannot do without: its line, or the failure message.
bool RequiredRow(int index, std::initializer_list<Candidate> candidates, ResourceUsage usage,
                 const char* line, const char* missing) {
  const Candidate* found = FirstUsable(candidates, usage);
  if (!found) {
    WriteLog(missing);
    return false;
  }
  Device().formats.entries[index] = found->format;
  WriteLogFormat(line, found->name);
  return true;
}

// A drawable row: its line, or the message and an empty entry.
void DrawableRow(int index, std::initializer_list<Candidate> candidates, const char* line,
                 const char* missing) {
  const Candidate* found = FirstUsable(candidates, ResourceUsage::RenderTarget);
  if (!found) {
    Device().formats.entries[index] = F::Unknown;
    WriteLog(missing);
    return;
  }
  Device().formats.entries[index] = found->format;
  WriteLogFormat(line, found->name);
}

const char* NameOf16(TextureFormat format) {
  return format == F::R5G6B5 ? "Q_D3DFMT_R5G6B5" : "Q_D3DFMT_X1R5G5B5";
}

}  // namespace

int ProbeTextureFormats() {
  TextureFormatTable& t = Device().formats;
  const ResourceUsage plain = ResourceUsage::Plain;

  if (!RequiredRow(kFormatDepth, {{F::D16, "D3DFMT_D16"}, {F::D24X8, "D3DFMT_D24X8"}, {F::D32, "D3DFMT_D32"}},
                   ResourceUsage::DepthStencil, "Ｚバッファのフォーマットは %s です",
                   "使用できる Zバッファフォーマットが見つかりませんでした\n"))
    return -1;
  if (!RequiredRow(kFormatColour16, {{F::R5G6B5, "Q_D3DFMT_R5G6B5"}, {F::X1R5G5B5, "Q_D3DFMT_X1R5G5B5"}},
                   plain, "16bit カラーフォーマットは %s です",
                   "使用できる 16bit カラーフォーマットが見つかりませんでした\n"))
    return -1;
  if (Usable(F::X8R8G8B8, plain)) {
    t.entries[kFormatColour32] = F::X8R8G8B8;
    WriteLogFormat("32bit カラーフォーマットは %s です", "Q_D3DFMT_X8R8G8B8");
  } else {
    t.entries[kFormatColour32] = t.entries[kFormatColour16];
    WriteLogFormat("32bit カラーフォーマットは %s です", NameOf16(t.entries[kFormatColour16]));
  }
  if (!RequiredRow(kFormatAlpha16, {{F::A4R4G4B4, "Q_D3DFMT_A4R4G4B4"}, {F::A8R8G8B8, "Q_D3DFMT_A8R8G8B8"}},
                   plain, "アルファ付き 16bit カラーフォーマットは %s です",
                   "使用できるアルファ付き 16bit カラーフォーマットが見つかりませんでした\n"))
    return -1;
  if (!RequiredRow(kFormatAlpha32, {{F::A8R8G8B8, "Q_D3DFMT_A8R8G8B8"}, {F::A4R4G4B4, "Q_D3DFMT_A4R4G4B4"}},
                   plain, "アルファ付き 32bit カラーフォーマットは %s です",
                   "使用できるアルファ付き 32bit カラーフォーマットが見つかりませんでした\n"))
    return -1;
  if (!RequiredRow(kFormatAlphaTest16,
                   {{F::A1R5G5B5, "Q_D3DFMT_A1R5G5B5"}, {F::A8R8G8B8, "Q_D3DFMT_A8R8G8B8"},
                    {F::A4R4G4B4, "Q_D3DFMT_A4R4G4B4"}},
                   plain, "アルファテスト用 16bit カラーフォーマットは %s です",
                   "使用できるアルファテスト用 16bit カラーフォーマットが見つかりませんでした\n"))
    return -1;
  if (!RequiredRow(kFormatAlphaTest32,
                   {{F::A8R8G8B8, "Q_D3DFMT_A8R8G8B8"}, {F::A1R5G5B5, "Q_D3DFMT_A1R5G5B5"},
                    {F::A4R4G4B4, "Q_D3DFMT_A4R4G4B4"}},
                   plain, "アルファテスト用 32bit カラーフォーマットは %s です",
                   "使用できるアルファテスト用 32bit カラーフォーマットが見つかりませんでした\n"))
    return -1;

  static const char* const kDxtLines[5] = {
      "ＤＸＴ１テクスチャフォーマットは%s", "ＤＸＴ２テクスチャフォーマットは%s",
      "ＤＸＴ３テクスチャフォーマットは%s", "ＤＸＴ４テクスチャフォーマットは%s",
      "ＤＸＴ５テクスチャフォーマットは%s"};
  static const char* const kDxtNames[5] = {" Q_D3DFMT_DXT1 です", " Q_D3DFMT_DXT2 です",
                                           " Q_D3DFMT_DXT3 です", " Q_D3DFMT_DXT4 です",
                                           " Q_D3DFMT_DXT5 です"};
  for (int i = 0; i < 5; ++i) {
    TextureFormat dxt = TextureFormat(int(F::DXT1) + i);
    if (Usable(dxt, plain)) {
      t.entries[kFormatDxt1 + i] = dxt;
      WriteLogFormat(kDxtLines[i], kDxtNames[i]);
    } else {
      // Without DXT the picture is decompressed into the nearest plain kind.
      t.entries[kFormatDxt1 + i] = t.entries[i == 0 ? kFormatAlphaTest16 : kFormatAlpha32];
      WriteLogFormat(kDxtLines[i], "使えません");
    }
  }

  if (t.screen == F::R5G6B5)
    DrawableRow(kFormatDrawable16,
                {{F::R5G6B5, "D3DFMT_R5G6B5"}, {F::X1R5G5B5, "D3DFMT_R5G5B5"}, {F::X8R8G8B8, "Q_D3DFMT_X8R8G8B8"}},
                "描画用 16bit カラーフォーマットは %s です",
                "使用できる描画用 16bit カラーフォーマットがありませんでした\n");
  else
    DrawableRow(kFormatDrawable16,
                {{F::X1R5G5B5, "Q_D3DFMT_R5G5B5"}, {F::R5G6B5, "Q_D3DFMT_R5G6B5"}, {F::X8R8G8B8, "Q_D3DFMT_X8R8G8B8"}},
                "描画用 16bit カラーフォーマットは %s です",
                "使用できる描画用 16bit カラーフォーマットがありませんでした\n");
  DrawableRow(kFormatDrawable32,
              {{F::X8R8G8B8, "Q_D3DFMT_X8R8G8B8"}, {F::R5G6B5, "D3DFMT_R5G6B5"}, {F::X1R5G5B5, "D3DFMT_R5G5B5"}},
              "描画用 32bit カラーフォーマットは %s です",
              "使用できる描画用 32bit カラーフォーマットがありませんでした\n");
  DrawableRow(kFormatDrawableAlpha32, {{F::A8R8G8B8, "Q_D3DFMT_A8R8G8B8"}, {F::A4R4G4B4, "D3DFMT_A4R4G4B4"}},
              "描画用アルファ付き 32bit カラーフォーマットは %s です",
              "使用できる描画用アルファ付き 32bit カラーフォーマットがありませんでした\n");

  bool deep = Screen().colourBits == 32;
  t.entries[kFormatDrawableScreen] = t.entries[deep ? kFormatDrawable32 : kFormatDrawable16];
  t.entries[kFormatAlphaTestScreen] = t.entries[deep ? kFormatAlphaTest32 : kFormatAlphaTest16];
  return 0;
}

}  // namespace qr::graphics
