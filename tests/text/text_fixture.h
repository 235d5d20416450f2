// Text tests run the real runtime with the host's own fonts (the Japanese Gothic the README's
// commands install), so the pictures they check are the ones a player sees.
#pragma once

#include <string>

#include "graphics/graphics_fixture.h"
#include "support/headless_runtime.h"
#include "text/font_record.h"

namespace qr::testing {

class TextTest : public GraphicsTest {
 protected:
  static qr::text::FontRecord& Font(int handle) {
    qr::text::FontRecord* font = qr::text::GetFont(handle);
    EXPECT_NE(font, nullptr);
    return *font;
  }
  // A font with the defaults except for what is given.
  static int MakeFont(int size, int type, int edge = -1) {
    return CreateFontToHandle(nullptr, size, -1, type, -1, edge, 0, -1, -1);
  }
  static int White() { return MakeColor(255, 255, 255); }
  // The rectangle (x, y, w, h) of a picture.
  static Picture Crop(const Picture& p, int x, int y, int w, int h) {
    Picture out(w, h);
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) out.at(i, j) = p.at(x + i, y + j);
    return out;
  }
  // The slot a character's glyph is cached in, or null.
  static const qr::text::GlyphSlot* Slot(int font, const std::string& utf8Character) {
    std::string s = Sjis(utf8Character);
    unsigned code = static_cast<unsigned char>(s[0]);
    if (s.size() == 2) code += 256u * static_cast<unsigned char>(s[1]);
    const qr::text::GlyphMapEntry& e = Font(font).glyphMap[code];
    return e.cached ? e.slot : nullptr;
  }
  static int Width(int font, const std::string& utf8) {
    int w = 0, h = 0;
    std::string s = Sjis(utf8);
    EXPECT_EQ(MeasureString(font, s.c_str(), -1, &w, &h), 0);
    return w;
  }
};

}  // namespace qr::testing
