// Font handles: making fonts with their defaults and cache geometry, the table's limit, stale
// handles, bad parameters, deletion flags, and what survives graphics events.
#include <algorithm>
#include <cstring>

#include "graphics/device_start.h"
#include "text_fixture.h"

namespace {
using qr::testing::Picture;
using qr::testing::Sjis;
using qr::testing::TextTest;

class FontHandles : public TextTest {
 protected:
  bool Logged(const std::string& line) {
    std::vector<std::string> lines = LogLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

TEST_F(FontHandles, DefaultsAndTheGraphicsStartLines) {
  Start();
  EXPECT_TRUE(Logged("フォントの初期化を行います"));
  EXPECT_TRUE(Logged("フォントの初期化は正常に終了しました"));
  int h = CreateFontToHandle(nullptr, -1, -1, -1, -1, -1, 0, -1, -1);
  ASSERT_GE(h, 0);
  EXPECT_EQ(h >> 27, 4);  // the font kind
  qr::text::FontRecord& f = Font(h);
  EXPECT_EQ(f.size, 16);
  EXPECT_EQ(f.thickness, 6);
  EXPECT_EQ(f.type, 0);
  EXPECT_EQ(f.edgeSize, 1);
  EXPECT_EQ(f.charsetIndex, 1);
  EXPECT_STREQ(f.faceName, "");
  EXPECT_EQ(f.useTexture, 1);
  char face[256] = "x";
  int size = 0, thickness = 0;
  EXPECT_EQ(GetFontParameters(h, face, &size, &thickness), 0);
  EXPECT_STREQ(face, "");
  EXPECT_EQ(size, 16);
  EXPECT_EQ(thickness, 6);
  EXPECT_EQ(GetFontSize(h), 16);
  // An edge wider than 1 makes the font edged.
  EXPECT_EQ(Font(MakeFont(16, 0, 3)).type, 1);
}

struct Geometry {
  int size, type, edge;
  int cellWidth, cellHeight, cacheWidth, cacheHeight, capacity;
};

TEST_F(FontHandles, CellAndTextureCacheGeometry) {
  Start();
  // IPA Gothic's ascent and descent add up to 2203 of its 2048 units, and its widest character
  // is one em: a cell height of 29 gives 27-pixel characters.
  const Geometry cases[] = {
      {29, 3, 1, 32, 32, 512, 512, 256},   // the game's font
      {16, 0, 1, 24, 16, 512, 512, 441},
      {64, 0, 1, 64, 64, 512, 512, 64},    // 512 / 64 = 8 cells a side
      {200, 0, 1, 200, 200, 1024, 512, 10},  // (512 / 200)^2 = 4 < 10: the cache grows once
      {16, 0, 100, 224, 216, 1024, 1024, 16},
  };
  for (const Geometry& g : cases) {
    SCOPED_TRACE(testing::Message() << "size " << g.size << " type " << g.type << " edge " << g.edge);
    int h = MakeFont(g.size, g.type, g.edge);
    ASSERT_GE(h, 0);
    qr::text::FontRecord& f = Font(h);
    EXPECT_EQ(f.cellWidth, g.cellWidth);
    EXPECT_EQ(f.cellHeight, g.cellHeight);
    EXPECT_EQ(f.cacheWidth, g.cacheWidth);
    EXPECT_EQ(f.cacheHeight, g.cacheHeight);
    EXPECT_EQ(f.capacity, g.capacity);
    EXPECT_EQ(f.cellsPerColumn, g.cacheHeight / g.cellWidth);
    int w = 0, hgt = 0;
    GetGraphicSize(f.cacheGraphic, &w, &hgt);
    EXPECT_EQ(w, f.type & 1 ? 2 * g.cacheWidth : g.cacheWidth);
    EXPECT_EQ(hgt, g.cacheHeight);
    EXPECT_EQ(f.cacheImage.width, w);
    DeleteFontHandle(h);
  }
}

TEST_F(FontHandles, WithoutCacheTexturesTheCacheIsInMemoryAndDrawingIsRefused) {
  Start();
  host.graphics.settings.failingCalls = {"CreateTexture"};
  int small = MakeFont(14, 0), large = MakeFont(200, 2);
  ASSERT_GE(small, 0);
  ASSERT_GE(large, 0);
  EXPECT_TRUE(Logged("テクスチャ文字キャッシュの作成に失敗しました"));
  qr::text::FontRecord& s = Font(small);
  EXPECT_EQ(s.useTexture, 0);
  EXPECT_EQ(s.cellWidth, 16);
  EXPECT_EQ(s.capacity, 0x50000 / (16 * 16));
  EXPECT_EQ(s.softBits, 1);
  EXPECT_EQ(s.softPitch, 2);
  EXPECT_EQ(s.cacheHeight, 1280 * 16);
  EXPECT_EQ(Font(large).capacity, 20);
  EXPECT_EQ(Font(large).softBits, 8);
  // The glyphs still render into memory; only drawing them onto the screen is not built.
  EXPECT_GT(Width(small, "ぽてまる"), 0);
  EXPECT_EQ(DrawStringWithFont(0, 0, "A", White(), small, 0), -1);
  EXPECT_TRUE(Logged("メモリイメージへの文字の描画には対応していません"));
}

TEST_F(FontHandles, TheFortyFirstFontIsRefusedAndAFreedSlotIsTakenAgain) {
  Start();
  std::vector<int> handles;
  // The default font holds one of the forty slots.
  for (int i = 0; i < 39; ++i) {
    int h = MakeFont(12, 0);
    ASSERT_GE(h, 0) << i;
    handles.push_back(h);
  }
  EXPECT_EQ(MakeFont(12, 0), -1);
  EXPECT_TRUE(Logged("作成できるフォントハンドル数 40 の限界を超えました"));
  int freed = handles[17];
  ASSERT_EQ(DeleteFontHandle(freed), 0);
  int again = MakeFont(12, 0);
  ASSERT_GE(again, 0);
  EXPECT_EQ(again & 0xFFFF, freed & 0xFFFF);
  EXPECT_NE(again, freed);
  // A chosen slot that is taken is refused; a free one is used with the check number given.
  EXPECT_EQ(CreateFontToHandle(nullptr, 12, -1, 0, -1, -1, 0, again & 0xFFFF, -1), -1);
  DeleteFontHandle(again);
  EXPECT_EQ(CreateFontToHandle(nullptr, 12, -1, 0, -1, -1, 0, freed & 0xFFFF, (freed >> 16) & 0x7FF), freed);
}

TEST_F(FontHandles, AStaleHandleIsRefusedByEveryCall) {
  Start();
  int stale = MakeFont(16, 0);
  ASSERT_EQ(DeleteFontHandle(stale), 0);
  int fresh = MakeFont(16, 0);
  ASSERT_EQ(fresh & 0xFFFF, stale & 0xFFFF);  // the same slot, another check number
  int flag = 5, w = 0, h = 0;
  char face[256];
  EXPECT_EQ(DeleteFontHandle(stale), -1);
  EXPECT_EQ(GetFontSize(stale), -1);
  EXPECT_EQ(GetFontParameters(stale, face, &w, &h), -1);
  EXPECT_EQ(SetFontDeletionFlag(stale, &flag), -1);
  EXPECT_EQ(flag, 5);
  EXPECT_EQ(MeasureString(stale, "A", -1, &w, &h), -1);
  EXPECT_EQ(DrawStringWithFont(0, 0, "A", White(), stale, 0), -1);
  EXPECT_TRUE(Logged("フォントハンドル値が異常です"));
  for (int bad : {-1, 0, 0x10000000 | 1, 0x20000000 | 40, 0x20000000 | 0xFFFF})
    EXPECT_EQ(GetFontSize(bad), -1) << bad;
  EXPECT_EQ(GetFontSize(fresh), 16);
}

TEST_F(FontHandles, BadParametersAreRefusedOrServedNeverTrusted) {
  Start();
  struct Case {
    const char* face;
    int size, type, charset, edge, index, check;
    bool made;
  };
  std::string longFace;
  for (int i = 0; i < 150; ++i) longFace += Sjis("あ");  // 300 bytes
  const Case cases[] = {
      {nullptr, 0, 0, -1, -1, -1, -1, true},       // the engine's usual height
      {nullptr, -5, 0, -1, -1, -1, -1, true},      // an em height, as Windows takes it
      {nullptr, 2000, 0, -1, -1, -1, -1, false},   // no cache could hold it
      {nullptr, 16, 3, -1, 100, -1, -1, true},
      {nullptr, 16, 3, -1, 300, -1, -1, false},
      {"No Such Face", 16, 0, -1, -1, -1, -1, true},  // replaced by the Japanese Gothic
      {longFace.c_str(), 16, 0, -1, -1, -1, -1, true},
      {nullptr, 16, 9, -1, -1, -1, -1, false},
      {nullptr, 16, -7, -1, -1, -1, -1, false},
      {nullptr, 16, 0, 3, -1, -1, -1, false},
      {nullptr, 16, 0, -1, -1, 40, -1, false},
      {nullptr, 16, 0, -1, -1, -1, 2048, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.size << " type " << c.type << " edge " << c.edge);
    int h = CreateFontToHandle(c.face, c.size, -1, c.type, c.charset, c.edge, 0, c.index, c.check);
    EXPECT_EQ(h >= 0, c.made);
    if (h < 0) continue;
    EXPECT_GT(Width(h, "ぽてまる A"), 0);
    EXPECT_EQ(DrawStringWithFont(10, 10, Sjis("ぽてまる").c_str(), White(), h, 0), 0);
    DeleteFontHandle(h);
  }
  EXPECT_TRUE(Logged("フォントの作成に失敗しました"));
  // The long name is kept cut at a character boundary.
  int h = CreateFontToHandle(longFace.c_str(), 16, -1, 0, -1, -1, 0, -1, -1);
  char face[256];
  GetFontParameters(h, face, nullptr, nullptr);
  EXPECT_EQ(std::strlen(face), 254u);
}

TEST_F(FontHandles, DeletionFlagsAndTheScreenModeChange) {
  Start();
  int flag = 7, modeFlag = 7;
  int h = MakeFont(20, 1);
  ASSERT_EQ(SetFontDeletionFlag(h, &flag), 0);
  EXPECT_EQ(flag, 0);
  DeleteFontHandle(h);
  EXPECT_EQ(flag, 1);

  SetFontDeletionFlag(MakeFont(20, 1), &modeFlag);
  SetDefaultFontType(3);
  SetDefaultFontSize(29);
  ASSERT_EQ(SetScreenMode(800, 600, 32, 0), 0);
  EXPECT_EQ(modeFlag, 1);  // every font goes with the old screen
  // The default font keeps its size and thickness; its type is the default again.
  qr::text::FontRecord& d = Font(qr::text::DefaultFontHandle());
  EXPECT_EQ(d.size, 29);
  EXPECT_EQ(d.thickness, 6);
  EXPECT_EQ(d.type, 0);
}

TEST_F(FontHandles, SettingTheDefaultSizeItHasKeepsTheFont) {
  Start();
  int before = qr::text::DefaultFontHandle();
  SetDefaultFontSize(16);
  SetDefaultFontType(0);
  SetDefaultFontSizeAndThickness(-1, -1);
  EXPECT_EQ(qr::text::DefaultFontHandle(), before);
  SetDefaultFontSize(29);
  int after = qr::text::DefaultFontHandle();
  EXPECT_NE(after, before);
  EXPECT_EQ(Font(after).size, 29);
  EXPECT_EQ(GetFontSize(before), -1);
}

TEST_F(FontHandles, ALostDeviceKeepsTheProgramsHandlesAndRendersTheGlyphsAgain) {
  Start();
  int edged = MakeFont(29, 3), plain = MakeFont(16, 0);
  int flag = 9;
  SetFontDeletionFlag(edged, &flag);
  Font(edged).spacing = 2;
  auto draw = [&] {
    ClearScreen();
    DrawStringWithFont(10, 10, Sjis("HP 10 ぽてこ").c_str(), White(), edged, 0);
    DrawStringWithFont(10, 60, "GAME OVER", White(), plain, 0);
  };
  draw();
  Picture before = Shown();
  ASSERT_NE(Slot(edged, "H"), nullptr);

  host.graphics.Lose();
  EXPECT_EQ(FlipScreen(), -1);
  host.window.Push(qr::platform::Message{qr::platform::MessageKind::Activate, 1, 0});
  PumpMessages();
  ASSERT_FALSE(host.graphics.Lost());
  // Same handles, same parameters, an empty cache that fills again on demand.
  EXPECT_EQ(GetFontSize(edged), 29);
  EXPECT_EQ(Font(edged).spacing, 2);
  EXPECT_EQ(Slot(edged, "H"), nullptr);
  EXPECT_EQ(flag, 0);
  draw();
  EXPECT_NE(Slot(edged, "H"), nullptr);
  Picture after = Shown();
  EXPECT_TRUE(after.pixels == before.pixels);
}

}  // namespace
