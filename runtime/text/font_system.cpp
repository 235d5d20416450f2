// The font system: the default font the game-facing text calls use, its settings, and the
// handling of every font around graphics start, end, device loss and screen mode changes.
#include <cstring>

#include "graphics/device_start.h"
#include "qr.h"
#include "text/font_record.h"

namespace qr::text {
namespace {

struct DefaultFontSettings {
  char face[128] = {};  // empty: the default face
  int size = 16;
  int thickness = 6;
  int type = 0;
  int charsetIndex = 1;
  int edgeSize = 1;
  int italic = 0;
  int spacing = 0;
};

struct FontSystem {
  int defaultHandle = -1;
  DefaultFontSettings settings;
};

FontSystem& System() {
  static FontSystem system;
  return system;
}

// Everything a font is made from, to make it again.
struct FontParameters {
  char face[kFaceNameBytes];
  int size, thickness, type, charsetIndex, edgeSize, italic, spacing;
};

FontParameters ParametersOf(const FontRecord& font) {
  FontParameters p{};
  std::memcpy(p.face, font.faceName, sizeof p.face);
  p.size = font.size;
  p.thickness = font.thickness;
  p.type = font.type;
  p.charsetIndex = font.charsetIndex;
  p.edgeSize = font.edgeSize;
  p.italic = font.italic;
  p.spacing = font.spacing;
  return p;
}

void DeleteAllFonts() {
  auto& table = FontTable();
  for (int slot = 0; slot < table.Capacity(); ++slot)
    if (core::HandleRecord* r = table.At(slot)) table.Delete(core::MakeHandle(core::HandleKind::Font, r->check, slot));
}

}  // namespace

int DefaultFontHandle() { return System().defaultHandle; }

int RefreshDefaultFont() {
  FontSystem& system = System();
  const DefaultFontSettings& s = system.settings;
  if (FontRecord* font = GetFont(system.defaultHandle)) {
    if (std::strcmp(font->faceName, s.face) == 0 && font->type == s.type && font->size == s.size &&
        font->thickness == s.thickness && font->charsetIndex == s.charsetIndex && font->edgeSize == s.edgeSize &&
        font->italic == s.italic)
      return 0;
    DeleteFontHandle(system.defaultHandle);
  }
  system.defaultHandle = -1;
  // Fonts need the graphics device for their caches; until it is up only the settings change.
  if (!graphics::Device().ready) return 0;
  system.defaultHandle = CreateFontHandle(s.face, s.size, s.thickness, s.type, s.charsetIndex,
                                          s.type & kTypeEdged ? s.edgeSize : -1, s.italic, -1, -1);
  if (FontRecord* font = GetFont(system.defaultHandle)) {
    font->spacing = s.spacing;
    return 0;
  }
  return -1;
}

namespace {

// Deletes every font and, when asked, makes the default font again from its parameters.
void ResetFontsAndRemake(bool remakeDefault) {
  FontSystem& system = System();
  WriteLog("フォントの初期化を行います\n");
  AddLogIndent();
  bool remembered = false;
  FontParameters p{};
  if (FontRecord* font = GetFont(system.defaultHandle)) {
    p = ParametersOf(*font);
    remembered = true;
  }
  DeleteAllFonts();
  system.defaultHandle = -1;
  if (remakeDefault && remembered) {
    system.defaultHandle = CreateFontHandle(p.face, p.size, p.thickness, p.type, p.charsetIndex,
                                            p.type & kTypeEdged ? p.edgeSize : -1, p.italic, -1, -1);
    if (FontRecord* font = GetFont(system.defaultHandle)) font->spacing = p.spacing;
  } else if (remakeDefault) {
    system.defaultHandle = CreateFontHandle("", 16, 6, -1, -1, -1, 0, -1, -1);
  }
  SubLogIndent();
  WriteLog("フォントの初期化は正常に終了しました\n");
}

}  // namespace

void ResetFonts() { ResetFontsAndRemake(true); }

void InitFontSystem() {
  // The check numbers go on counting: a handle from before is never taken for a new font.
  System() = FontSystem{};
  ResetFonts();
}

void EndFontSystem() {
  // No default font is made only to be deleted: at the end the window may be inactive, and
  // making a cache texture would wait for it.
  ResetFontsAndRemake(false);
}

void RestoreFontHandles() {
  auto& table = FontTable();
  for (int slot = 0; slot < table.Capacity(); ++slot) {
    auto* font = static_cast<FontRecord*>(table.At(slot));
    if (!font) continue;
    FontParameters p = ParametersOf(*font);
    int check = font->check;
    // The program still holds this handle: its deletion flag must not fire for the swap.
    int* flag = font->deletionFlag;
    font->deletionFlag = nullptr;
    table.Delete(core::MakeHandle(core::HandleKind::Font, check, slot));
    int handle = CreateFontHandle(p.face, p.size, p.thickness, p.type, p.charsetIndex,
                                  p.type & kTypeEdged ? p.edgeSize : -1, p.italic, slot, check);
    if (FontRecord* again = GetFont(handle)) {
      again->spacing = p.spacing;
      again->deletionFlag = flag;
    } else if (flag) {
      *flag = 1;  // it could not be made again: for the program it is gone
    }
  }
}

DefaultFontSize RememberDefaultFontSize() {
  if (!graphics::Device().ready) return DefaultFontSize{false, 0, 0};
  FontRecord* font = GetFont(System().defaultHandle);
  if (!font) return DefaultFontSize{false, 0, 0};
  return DefaultFontSize{true, font->size, font->thickness};
}

void RestoreDefaultFontSize(const DefaultFontSize& remembered) {
  if (remembered.valid) SetDefaultFontSizeAndThickness(remembered.size, remembered.thickness);
}

}  // namespace qr::text

using namespace qr::text;

int SetDefaultFontSize(int size) {
  System().settings.size = size == -1 ? 16 : size;
  RefreshDefaultFont();
  return 0;
}

int SetDefaultFontType(int type) {
  System().settings.type = type == -1 ? 0 : type;
  RefreshDefaultFont();
  return 0;
}

int SetDefaultFontSizeAndThickness(int size, int thickness) {
  System().settings.size = size == -1 ? 16 : size;
  System().settings.thickness = thickness == -1 ? 6 : thickness;
  RefreshDefaultFont();
  return 0;
}
