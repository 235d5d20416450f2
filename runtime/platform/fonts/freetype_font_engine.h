// The font engine on FreeType, with faces found through fontconfig. Heights are cell heights as
// Windows means them: the face's ascent and descent together scale to the height asked for.
#pragma once

#include <map>
#include <memory>

#include "platform/font_engine.h"

namespace qr::platform::fonts {

class FreeTypeFontEngine : public FontEngine {
 public:
  FreeTypeFontEngine();
  ~FreeTypeFontEngine() override;
  FreeTypeFontEngine(const FreeTypeFontEngine&) = delete;
  FreeTypeFontEngine& operator=(const FreeTypeFontEngine&) = delete;

  FontId CreateFont(const FontDescription& description) override;
  void DestroyFont(FontId font) override;
  bool Metrics(FontId font, FontMetrics& out) override;
  bool Glyph(FontId font, unsigned code, GlyphKind kind, GlyphBitmap& out) override;
  std::string FaceDescription(FontId font) override;

  // Heights beyond this are refused: no glyph cache could hold such characters.
  static constexpr int kMaxHeight = 1024;

 private:
  struct Font;
  struct Library;
  std::unique_ptr<Library> library_;
  std::map<FontId, std::unique_ptr<Font>> fonts_;
  FontId nextId_ = 1;
};

}  // namespace qr::platform::fonts
