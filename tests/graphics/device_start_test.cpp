#include "graphics/device_start.h"
#include "graphics/screen_settings.h"
#include "graphics_fixture.h"
#include "support/start_lines.h"

namespace {
using qr::platform::TextureFormat;
using qr::testing::GraphicsTest;

class DeviceStart : public GraphicsTest {
 protected:
  // The lines the graphics start wrote: from the DirectDraw line to the font system's last.
  std::vector<std::string> DeviceLines() {
    std::vector<std::string> lines = LogLines();
    auto first = std::find_if(lines.begin(), lines.end(),
                              [](const std::string& l) { return l.rfind("DirectDraw", 0) == 0; });
    auto last = std::find(lines.begin(), lines.end(), "フォントの初期化は正常に終了しました");
    if (first == lines.end() || last == lines.end()) return {};
    return std::vector<std::string>(first, last + 1);
  }
};


TEST_F(DeviceStart, CapableDeviceLinesAndTable) {
  Start();
  EXPECT_EQ(DeviceLines(), qr::testing::CapableDeviceStartLines());
  const auto& t = qr::graphics::Device().formats;
  EXPECT_EQ(t.screen, TextureFormat::X8R8G8B8);
  EXPECT_EQ(t.entries[qr::graphics::kFormatDxt1], TextureFormat::DXT1);
  EXPECT_EQ(t.entries[qr::graphics::kFormatDrawableScreen], TextureFormat::X8R8G8B8);
  EXPECT_EQ(t.entries[qr::graphics::kFormatAlphaTestScreen], TextureFormat::A8R8G8B8);
  // The start ends drawing to the front screen, with its 32 ms timer.
  EXPECT_EQ(LogLines().back(), "文字コードバッファの初期化を行います... 完了しました");
}

TEST_F(DeviceStart, DeviceWithoutDxtFallsBackToPlainFormats) {
  for (TextureFormat f : {TextureFormat::DXT1, TextureFormat::DXT2, TextureFormat::DXT3,
                          TextureFormat::DXT4, TextureFormat::DXT5})
    host.graphics.settings.unusableTextures.push_back(f);
  Start();
  std::vector<std::string> lines = DeviceLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.find("テクスチャフォーマットは使えません") != std::string::npos; }),
            5);
  const auto& t = qr::graphics::Device().formats;
  EXPECT_EQ(t.entries[qr::graphics::kFormatDxt1], t.entries[qr::graphics::kFormatAlphaTest16]);
  for (int i = 1; i < 5; ++i) EXPECT_EQ(t.entries[qr::graphics::kFormatDxt1 + i], t.entries[qr::graphics::kFormatAlpha32]);
}

TEST_F(DeviceStart, MissingRequiredFormatFailsTheStart) {
  host.graphics.settings.unusableTextures = {TextureFormat::A4R4G4B4, TextureFormat::A8R8G8B8};
  ChangeWindowMode(1);
  EXPECT_EQ(RuntimeInit(), -1);
  std::vector<std::string> lines = LogLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "使用できるアルファ付き 16bit カラーフォーマットが見つかりませんでした"), lines.end());
}

TEST_F(DeviceStart, NoDeviceAtAllFailsTheStart) {
  host.graphics.settings.available = false;
  ChangeWindowMode(1);
  EXPECT_EQ(RuntimeInit(), -1);
  // The failed start ends graphics, and with them the font system, which had no fonts.
  std::vector<std::string> lines = LogLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], "d3d9.dll の読み込みに失敗しました");
  EXPECT_EQ(lines.back(), "フォントの初期化は正常に終了しました");
}

TEST_F(DeviceStart, DepthBufferIsThePowerOfTwoAboveTheScreen) {
  SetScreenMode(600, 400, 16, 0);
  Start();
  EXPECT_EQ(qr::graphics::Device().depthWidth, 1024);
  EXPECT_EQ(qr::graphics::Device().depthHeight, 512);
}

TEST_F(DeviceStart, ScreenModeSettings) {
  EXPECT_EQ(SetScreenMode(0, 480, 16, 0), -1);
  EXPECT_EQ(SetScreenMode(640, 480, 24, 0), -1);
  EXPECT_EQ(qr::graphics::Screen().colourBits, 16);
  EXPECT_EQ(SetScreenMode(640, 480, 16, 60), 0);
  EXPECT_EQ(qr::graphics::Screen().refreshRate, 60);
  EXPECT_EQ(SetDrawTarget(-2), -1);  // before start
  EXPECT_EQ(SetHardwareRendering(1), 0);
  Start();
  EXPECT_EQ(SetHardwareRendering(1), -1);  // after start
}

TEST_F(DeviceStart, WindowColourDepthFollowsTheDesktop) {
  struct Case {
    int desktopBits;
    int white;
  };
  for (Case c : {Case{32, int(0xFFFFFFFF)}, Case{16, 0xFFFF}}) {
    host.window.desktop.bitsPerPixel = c.desktopBits;
    SetScreenMode(640, 480, 16, 60);
    Start();
    EXPECT_EQ(MakeColor(255, 255, 255), c.white);
    int r, g, b;
    SplitColor(MakeColor(255, 128, 0), &r, &g, &b);
    EXPECT_EQ(r, 255);
    EXPECT_NEAR(g, 128, 4);
    EXPECT_EQ(b, 0);
    RuntimeEnd();
  }
}

TEST_F(DeviceStart, DisplayModesListThoseOf16BitsAndMore) {
  host.window.modes = {{640, 480, 8, 60}, {640, 480, 16, 60}, {800, 600, 32, 75}};
  EXPECT_EQ(GetDisplayModeCount(), 2);
  int w, h, bits, rate;
  EXPECT_EQ(GetDisplayMode(1, &w, &h, &bits, &rate), 0);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(rate, 75);
  EXPECT_EQ(GetDisplayMode(2, &w, &h, &bits, &rate), -1);
  EXPECT_EQ(w, -1);
  EXPECT_EQ(rate, -1);
}

TEST_F(DeviceStart, EndReleasesEveryDeviceObject) {
  Start();
  int h = CreateEmptyGraphic(100, 100);
  ASSERT_NE(h, -1);
  RuntimeEnd();
  EXPECT_EQ(host.graphics.LiveObjects(), 0);
  EXPECT_FALSE(host.graphics.DeviceExists());
}

}  // namespace
