#include "platform/fonts/freetype_font_engine.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include <iconv.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/encoding.h"
#include "platform/fonts/face_finder.h"

namespace qr::platform::fonts {

struct FreeTypeFontEngine::Library {
  FT_Library ft = nullptr;
  iconv_t fromCp932 = iconv_t(-1);
  iconv_t fromCp949 = iconv_t(-1);
  Library() {
    if (FT_Init_FreeType(&ft) != 0) ft = nullptr;
    fromCp932 = iconv_open("UTF-32LE", "CP932");
    fromCp949 = iconv_open("UTF-32LE", "CP949");
  }
  ~Library() {
    if (fromCp932 != iconv_t(-1)) iconv_close(fromCp932);
    if (fromCp949 != iconv_t(-1)) iconv_close(fromCp949);
    if (ft) FT_Done_FreeType(ft);
  }
};

struct FreeTypeFontEngine::Font {
  FT_Face face = nullptr;
  FaceFile file;
  FontMetrics metrics;
  int characterSet = character_set::kShiftJis;
  bool embolden = false;  // the face is lighter than asked for: widen each glyph by a pixel
  bool oblique = false;   // italic asked for from an upright face: slant the outlines
  int narrowAdvance = 0, wideAdvance = 0;  // of the empty glyphs of one- and two-byte codes
  ~Font() {
    if (face) FT_Done_Face(face);
  }
};

namespace {

int RoundDiv(long long numerator, long long denominator) {
  return int((numerator * 2 + denominator) / (denominator * 2));
}

// The Unicode character of a code of the font's character set; 0 when it has none.
char32_t ToUnicode(iconv_t converter, unsigned code) {
  if (converter == iconv_t(-1)) return code < 0x80 ? char32_t(code) : 0;
  char bytes[2];
  size_t length = 0;
  if (code > 0xFF) bytes[length++] = char(code >> 8);
  bytes[length++] = char(code & 0xFF);
  unsigned char out[8];
  char* in = bytes;
  char* o = reinterpret_cast<char*>(out);
  size_t inLeft = length, outLeft = sizeof out;
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  if (iconv(converter, &in, &inLeft, &o, &outLeft) == size_t(-1) || inLeft != 0 || outLeft != 4) return 0;
  return char32_t(out[0] | out[1] << 8 | out[2] << 16 | unsigned(out[3]) << 24);
}

int AdvanceOf(FT_Face face, char32_t character, int fallback) {
  FT_UInt index = FT_Get_Char_Index(face, character);
  if (!index || FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP) != 0) return fallback;
  return int((face->glyph->advance.x + 32) >> 6);
}

void EmptyGlyph(int advance, GlyphBitmap& out) {
  out = GlyphBitmap{};
  out.advance = advance;
}

}  // namespace

FreeTypeFontEngine::FreeTypeFontEngine() : library_(std::make_unique<Library>()) {}
FreeTypeFontEngine::~FreeTypeFontEngine() = default;

FontId FreeTypeFontEngine::CreateFont(const FontDescription& d) {
  if (!library_->ft) return 0;
  // Zero asks for the usual size; a negative height is the em height rather than the cell's.
  int height = d.height == 0 ? 16 : d.height;
  if (height > kMaxHeight || height < -kMaxHeight) return 0;

  FaceRequest request;
  request.face = Cp932ToUtf8(d.face);
  request.weight = std::clamp(d.weight, 1, 1000);
  request.italic = d.italic;
  request.characterSet = d.characterSet;
  FaceFile file = FindFace(request);
  if (!file.found) return 0;

  auto font = std::make_unique<Font>();
  if (FT_New_Face(library_->ft, file.path.c_str(), file.index, &font->face) != 0) {
    font->face = nullptr;
    return 0;
  }
  FT_Face face = font->face;
  if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) return 0;
  font->file = file;
  font->characterSet = d.characterSet;

  long em = face->units_per_EM;
  long ascent = face->ascender, descent = -face->descender;
  if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2)); os2 && os2->version != 0xFFFF) {
    if (os2->usWinAscent + os2->usWinDescent > 0) {
      ascent = os2->usWinAscent;
      descent = os2->usWinDescent;
    }
    int faceWeight = os2->usWeightClass ? os2->usWeightClass : 400;
    font->embolden = d.weight >= faceWeight + 200;
  } else {
    font->embolden = d.weight >= 600 && !(face->style_flags & FT_STYLE_FLAG_BOLD);
  }
  if (ascent + descent <= 0) return 0;
  font->oblique = d.italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);

  FontMetrics& m = font->metrics;
  int ppem;
  if (height > 0) {
    ppem = std::max(1, RoundDiv(height * em, ascent + descent));
    m.ascent = RoundDiv(height * ascent, ascent + descent);
    m.descent = height - m.ascent;
  } else {
    ppem = -height;
    m.ascent = RoundDiv(ppem * ascent, em);
    m.descent = RoundDiv(ppem * descent, em);
  }
  m.height = m.ascent + m.descent;
  if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(ppem)) != 0) return 0;
  int bold = font->embolden ? 1 : 0;
  m.maxCharWidth = RoundDiv(long(face->max_advance_width) * ppem, em) + bold;
  m.averageWidth = m.maxCharWidth / 2;
  if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2)); os2 && os2->version != 0xFFFF)
    m.averageWidth = RoundDiv(long(os2->xAvgCharWidth) * ppem, em) + bold;
  font->narrowAdvance = AdvanceOf(face, U' ', (ppem + 1) / 2) + bold;
  font->wideAdvance = AdvanceOf(face, U'\u3000', ppem) + bold;

  FontId id = nextId_++;
  fonts_[id] = std::move(font);
  return id;
}

void FreeTypeFontEngine::DestroyFont(FontId font) { fonts_.erase(font); }

bool FreeTypeFontEngine::Metrics(FontId font, FontMetrics& out) {
  auto it = fonts_.find(font);
  if (it == fonts_.end()) return false;
  out = it->second->metrics;
  return true;
}

std::string FreeTypeFontEngine::FaceDescription(FontId font) {
  auto it = fonts_.find(font);
  if (it == fonts_.end()) return std::string();
  return it->second->file.family + " (" + it->second->file.path + ")";
}

bool FreeTypeFontEngine::Glyph(FontId id, unsigned code, GlyphKind kind, GlyphBitmap& out) {
  auto it = fonts_.find(id);
  if (it == fonts_.end()) return false;
  Font& font = *it->second;
  FT_Face face = font.face;
  int emptyAdvance = code > 0xFF ? font.wideAdvance : font.narrowAdvance;

  iconv_t converter = font.characterSet == character_set::kHangeul ? library_->fromCp949 : library_->fromCp932;
  char32_t character = code > 0xFFFF ? 0 : ToUnicode(converter, code);
  FT_UInt index = character ? FT_Get_Char_Index(face, character) : 0;
  bool mono = kind == GlyphKind::Mono;
  if (!index ||
      FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL)) != 0) {
    EmptyGlyph(emptyAdvance, out);
    return true;
  }
  FT_GlyphSlot slot = face->glyph;
  int advance = int((slot->advance.x + 32) >> 6);
  if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    if (font.oblique) {
      FT_Matrix shear = {0x10000, 0x0366A, 0, 0x10000};  // about 12 degrees
      FT_Outline_Transform(&slot->outline, &shear);
    }
    if (font.embolden) {
      FT_Outline_EmboldenXY(&slot->outline, 64, 0);
      ++advance;
    }
  }
  if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) {
    EmptyGlyph(advance, out);
    return true;
  }
  const FT_Bitmap& bitmap = slot->bitmap;
  int width = int(bitmap.width), rows = int(bitmap.rows);
  bool monoPixels = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
  if (!monoPixels && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
    EmptyGlyph(advance, out);
    return true;
  }
  auto level = [&](int x, int y) -> int {
    const unsigned char* row = bitmap.buffer + long(y) * bitmap.pitch;
    if (monoPixels) return (row[x >> 3] >> (7 - (x & 7))) & 1 ? 16 : 0;
    return (row[x] * 16 + 127) / 255;
  };

  // The black box is the ink's own box, as tight as the pixels drawn.
  int left = width, right = -1, top = rows, bottom = -1;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < width; ++x)
      if (level(x, y)) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  if (right < 0) {
    EmptyGlyph(advance, out);
    return true;
  }
  out = GlyphBitmap{};
  out.blackBoxWidth = right - left + 1;
  out.blackBoxHeight = bottom - top + 1;
  out.originX = slot->bitmap_left + left;
  out.originY = slot->bitmap_top - top;
  out.advance = advance;
  out.pitch = mono ? (out.blackBoxWidth + 31) / 32 * 4 : (out.blackBoxWidth + 3) / 4 * 4;
  out.bits.assign(size_t(out.pitch) * size_t(out.blackBoxHeight), 0);
  for (int y = 0; y < out.blackBoxHeight; ++y) {
    uint8_t* row = out.bits.data() + size_t(y) * size_t(out.pitch);
    for (int x = 0; x < out.blackBoxWidth; ++x) {
      int l = level(left + x, top + y);
      if (mono) {
        if (l >= 8) row[x >> 3] = uint8_t(row[x >> 3] | (0x80 >> (x & 7)));
      } else {
        row[x] = uint8_t(l);
      }
    }
  }
  return true;
}

}  // namespace qr::platform::fonts
