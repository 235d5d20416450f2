// A cached 20-character string drawn with DrawStringWithFont (the game's font: size 29, edged
// and anti-aliased) beside FreeType rendering and blending the same glyphs every call, which is
// what the glyph cache saves, and beside SDL_ttf rendering the string to a surface and blitting
// it, as a program on SDL draws text it did not keep.
#include <SDL.h>
#include <SDL_ttf.h>
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <string>
#include <vector>

#include "platform/encoding.h"
#include "platform/fonts/face_finder.h"
#include "platform/headless/headless_platform.h"
#include "qr.h"

namespace {

const char* const kText = "ひろったぽてこ 12個 ハイスコア更新!";  // 20 characters
constexpr int kCellHeight = 29;
constexpr int kPixelsPerEm = 27;  // what a cell of 29 gives the Japanese Gothic

std::string FacePath() { return qr::platform::fonts::FindFace(qr::platform::fonts::FaceRequest{}).path; }

std::u32string Characters(const std::string& utf8) {
  std::u32string out;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    int n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    char32_t u = n == 1 ? c : c & (0xFF >> (n + 1));
    for (int k = 1; k < n; ++k) u = u << 6 | (static_cast<unsigned char>(utf8[i + size_t(k)]) & 0x3F);
    out.push_back(u);
    i += size_t(n);
  }
  return out;
}

void BM_DrawStringWithFontCached(benchmark::State& state) {
  qr::platform::HeadlessPlatform host;
  qr::platform::Install(&host.platform);
  SetLogFileEnabled(0);
  ChangeWindowMode(1);
  RuntimeInit();
  SetDrawTarget(-2);
  int font = CreateFontToHandle(nullptr, kCellHeight, -1, 3, -1, -1, 0, -1, -1);
  std::string text = qr::platform::Utf8ToCp932(kText);
  int white = MakeColor(255, 255, 255);
  DrawStringWithFont(0, 0, text.c_str(), white, font, 0);  // fills the cache
  int n = 0;
  for (auto _ : state) {
    DrawStringWithFont(8, 8 + 32 * (n++ % 12), text.c_str(), white, font, 0);
  }
  FlipScreen();
  state.SetItemsProcessed(state.iterations());
  RuntimeEnd();
  qr::platform::Install(nullptr);
}
BENCHMARK(BM_DrawStringWithFontCached);

// FreeType renders each glyph anew and it is blended, white, into a 32-bit screen.
void BM_FreeTypeRenderEachCall(benchmark::State& state) {
  FT_Library library;
  FT_Init_FreeType(&library);
  FT_Face face;
  FT_New_Face(library, FacePath().c_str(), 0, &face);
  FT_Set_Pixel_Sizes(face, 0, kPixelsPerEm);
  std::u32string characters = Characters(kText);
  std::vector<uint32_t> screen(640 * 480, 0xFF3050A0u);
  int n = 0;
  for (auto _ : state) {
    int penX = 8, baseline = 8 + 32 * (n++ % 12) + 24;
    for (char32_t c : characters) {
      if (FT_Load_Char(face, c, FT_LOAD_RENDER) != 0) continue;
      const FT_Bitmap& b = face->glyph->bitmap;
      int left = penX + face->glyph->bitmap_left, top = baseline - face->glyph->bitmap_top;
      for (int y = 0; y < int(b.rows); ++y)
        for (int x = 0; x < int(b.width); ++x) {
          int px = left + x, py = top + y;
          if (px < 0 || py < 0 || px >= 640 || py >= 480) continue;
          uint32_t a = b.buffer[y * b.pitch + x];
          uint32_t& d = screen[size_t(py) * 640 + size_t(px)];
          uint32_t r = (255 * a + ((d >> 16) & 0xFF) * (255 - a)) / 255;
          uint32_t g = (255 * a + ((d >> 8) & 0xFF) * (255 - a)) / 255;
          uint32_t bl = (255 * a + (d & 0xFF) * (255 - a)) / 255;
          d = 0xFF000000u | r << 16 | g << 8 | bl;
        }
      penX += int(face->glyph->advance.x >> 6);
    }
    benchmark::DoNotOptimize(screen.data());
  }
  state.SetItemsProcessed(state.iterations());
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}
BENCHMARK(BM_FreeTypeRenderEachCall);

// SDL_ttf: the string rendered blended to a new surface, blitted onto the screen, freed.
void BM_SdlTtfRenderAndBlit(benchmark::State& state) {
  TTF_Init();
  TTF_Font* font = TTF_OpenFont(FacePath().c_str(), kPixelsPerEm);
  SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_FillRect(screen, nullptr, 0xFF3050A0u);
  SDL_Color white{255, 255, 255, 255};
  int n = 0;
  for (auto _ : state) {
    SDL_Surface* text = TTF_RenderUTF8_Blended(font, kText, white);
    SDL_Rect at{8, 8 + 32 * (n++ % 12), 0, 0};
    SDL_BlitSurface(text, nullptr, screen, &at);
    SDL_FreeSurface(text);
  }
  state.SetItemsProcessed(state.iterations());
  SDL_FreeSurface(screen);
  TTF_CloseFont(font);
  TTF_Quit();
}
BENCHMARK(BM_SdlTtfRenderAndBlit);

}  // namespace

BENCHMARK_MAIN();
