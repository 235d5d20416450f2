#include <gtest/gtest.h>

#include <png.h>

#include "core/main_window.h"
#include "support/headless_runtime.h"
#include "qr.h"

namespace {
using qr::platform::Message;
using qr::platform::MessageKind;
using qr::testing::HeadlessRuntimeTest;
using qr::testing::Sjis;

class MainWindow : public HeadlessRuntimeTest {
 protected:
  void Start() {
    ChangeWindowMode(1);
    ASSERT_EQ(RuntimeInit(), 0);
    startLines = LogLines().size();
  }
  std::vector<std::string> NewLines() {
    std::vector<std::string> lines = LogLines();
    return std::vector<std::string>(lines.begin() + long(startLines), lines.end());
  }
  uint32_t NowMs() { return uint32_t(host.clock.now / 1000); }
  size_t startLines = 0;
};

TEST_F(MainWindow, CloseBoxEndsThePump) {
  Start();
  host.window.Push(Message{MessageKind::Close});
  EXPECT_EQ(PumpMessages(), -1);
  EXPECT_EQ(NewLines(), (std::vector<std::string>{"ウインドウを閉じようとしています",
                                                  "ウインドウが破棄されようとしています",
                                                  "ソフトを終了する準備が整いました"}));
  EXPECT_FALSE(host.window.created);
  EXPECT_EQ(PumpMessages(), -1);
  RuntimeEnd();
  // The window was gone already: no second round of close lines.
  std::vector<std::string> lines = NewLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "ウインドウを閉じようとしています"), 1);
}

TEST_F(MainWindow, AtMostFiveMessagesPerPump) {
  Start();
  for (int i = 0; i < 12; ++i) host.window.Push(Message{MessageKind::Paint});
  EXPECT_EQ(PumpMessages(), 0);
  EXPECT_EQ(host.window.PendingMessages(), 7u);
  EXPECT_EQ(PumpMessages(), 0);
  EXPECT_EQ(host.window.PendingMessages(), 2u);
  EXPECT_EQ(PumpMessages(), 0);
  EXPECT_EQ(host.window.PendingMessages(), 0u);
}

TEST_F(MainWindow, PumpBlocksWhileInactiveAndResumes) {
  Start();
  uint32_t now = NowMs();
  host.window.Push(Message{MessageKind::Activate, 0, 0});
  host.window.Push(Message{MessageKind::Activate, 1, 0}, now + 5000);
  host.window.Push(Message{MessageKind::Paint}, now + 5000);
  EXPECT_EQ(PumpMessages(), 0);
  // It returned only once the window was active again, five seconds later.
  EXPECT_GE(NowMs(), now + 5000);
  EXPECT_EQ(qr::core::MainWindow().active, 1);
}

TEST_F(MainWindow, CloseWhileInactiveStillEnds) {
  Start();
  uint32_t now = NowMs();
  host.window.Push(Message{MessageKind::Activate, 0, 0});
  host.window.Push(Message{MessageKind::Close}, now + 100);
  EXPECT_EQ(PumpMessages(), -1);
}

TEST_F(MainWindow, KeepRunningWhileInactiveDoesNotBlock) {
  qr::core::MainWindow().settings.keepRunningInactive = 1;
  Start();
  host.window.Push(Message{MessageKind::Activate, 0, 0});
  host.window.Push(Message{MessageKind::Activate, 1, 0}, NowMs() + 5000);
  EXPECT_EQ(PumpMessages(), 0);
  EXPECT_EQ(qr::core::MainWindow().active, 0);
  EXPECT_LT(NowMs(), 1000000u + 5000u + 5000u);
}

TEST_F(MainWindow, TitleNamesTheClassAndBecomesTheCaption) {
  SetWindowTitleText(Sjis("ぽてまる").c_str());
  Start();
  EXPECT_EQ(host.window.title, "ぽてまる");
  EXPECT_EQ(host.window.description.className, Sjis("ぽてまる"));
  SetWindowTitleText(Sjis("表示").c_str());  // after start: the caption only
  EXPECT_EQ(host.window.title, "表示");
}

TEST_F(MainWindow, OverlongTitleIsCutAtACharacterBoundary) {
  // 202 single-byte then 30 double-byte characters: the 255th byte would be a lead byte.
  std::string title = "a";
  title += Sjis(std::string(201, 'x') + "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほ");
  SetWindowTitleText(title.c_str());
  const std::string& kept = qr::core::MainWindow().settings.title;
  EXPECT_LE(kept.size(), 255u);
  EXPECT_EQ(kept, title.substr(0, 254));
  SetWindowTitleText(nullptr);
  EXPECT_EQ(qr::core::MainWindow().settings.title, "");
}

TEST_F(MainWindow, WindowIsCentredWithItsFrame) {
  Start();
  // 640 x 480 client with frame margins 3, 22, 3, 3 on a 1280 x 1024 desktop.
  EXPECT_EQ(host.window.bounds, (qr::platform::Rect{317, 259, 963, 764}));
  EXPECT_EQ(qr::core::MainWindow().clientRect, (qr::platform::Rect{320, 281, 960, 761}));
  EXPECT_TRUE(host.window.visible);
}

TEST_F(MainWindow, ChangeWindowModeBeforeStartOnlySetsTheFlag) {
  EXPECT_EQ(ChangeWindowMode(1), 0);
  EXPECT_EQ(qr::core::MainWindow().settings.windowed, 1);
  EXPECT_FALSE(host.window.created);
  EXPECT_FALSE(LogExists());
}

TEST_F(MainWindow, ChangeWindowModeAfterStartSwitchesBothWays) {
  Start();
  EXPECT_EQ(ChangeWindowMode(0), 0);
  EXPECT_TRUE(host.window.fullScreen);
  EXPECT_EQ(qr::core::MainWindow().clientRect, (qr::platform::Rect{0, 0, 640, 480}));
  EXPECT_EQ(ChangeWindowMode(1), 0);
  EXPECT_FALSE(host.window.fullScreen);
  EXPECT_EQ(ChangeWindowMode(1), 0);  // no change
  // The device is made again for each mode; its own lines are indented and left out here.
  std::vector<std::string> lines;
  for (const std::string& line : NewLines())
    if (line.empty() || line[0] != '\t') lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "ChangeWindowMode実行 ",
                       "ウインドウモードフラグが倒されました",
                       "ウインドウスタイルをフルスクリーンモード用に変更します... 完了",
                       "画面モード変更処理を開始します",
                       "画面モード変更処理は正常に終了しました",
                       "ChangeWindowMode実行 ",
                       "ウインドウモードフラグが立てられました",
                       "ウインドウスタイルをウインドウモード用に変更します... 完了",
                       "画面モード変更処理を開始します",
                       "画面モード変更処理は正常に終了しました",
                       "ChangeWindowMode実行 ",
                   }));
}

TEST_F(MainWindow, CursorVisibility) {
  Start();
  EXPECT_GE(host.window.cursorCount, 0);
  SetCursorVisible(0);
  EXPECT_LT(host.window.cursorCount, 0);
  int count = host.window.cursorCount;
  SetCursorVisible(0);  // nothing changes
  EXPECT_EQ(host.window.cursorCount, count);
  // While hidden, pointer messages keep the picture off.
  host.window.cursorArrow = true;
  host.window.Push(Message{MessageKind::MouseMove, 10, 10});
  PumpMessages();
  EXPECT_FALSE(host.window.cursorArrow);
  SetCursorVisible(1);
  EXPECT_GE(host.window.cursorCount, 0);
  EXPECT_TRUE(host.window.cursorArrow);
}

TEST_F(MainWindow, IconComesFromTheResource) {
  // A 2 x 1 PNG: one red, one half-transparent blue pixel.
  const uint32_t pixels[] = {0xFFFF0000u, 0x800000FFu};
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = 2;
  image.height = 1;
  image.format = PNG_FORMAT_BGRA;
  static std::vector<unsigned char> png(256);
  png_alloc_size_t size = png.size();
  ASSERT_TRUE(png_image_write_to_memory(&image, png.data(), &size, 0, pixels, 0, nullptr));
  host.system.resources[102] = qr::platform::Resource{png.data(), size};
  SetWindowIconResource(102);
  Start();
  ASSERT_TRUE(host.window.icon.has_value());
  EXPECT_EQ(host.window.icon->width, 2);
  EXPECT_EQ(host.window.icon->pixels, (std::vector<uint32_t>{0xFFFF0000u, 0x800000FFu}));
  SetWindowIconResource(0);  // back to the host's standard icon
  EXPECT_FALSE(host.window.icon.has_value());
  SetWindowIconResource(555);  // no such resource: the standard icon
  EXPECT_FALSE(host.window.icon.has_value());
}

TEST_F(MainWindow, DesktopMode) {
  int w = 0, h = 0, bits = 0;
  GetDesktopMode(&w, &h, &bits);
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 1024);
  EXPECT_EQ(bits, 32);
  GetDesktopMode(nullptr, nullptr, nullptr);
}

TEST_F(MainWindow, DesktopChangeTheScreenCannotFollowClosesTheWindow) {
  Start();
  host.window.Push(Message{MessageKind::DisplayChange, 24, 1280 | (1024 << 16)});
  PumpMessages();
  EXPECT_EQ(PumpMessages(), -1);
  std::vector<std::string> lines = NewLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了します");
  EXPECT_EQ(lines[2], "ウインドウを閉じようとしています");
}

TEST_F(MainWindow, ClipsTheCursorWhenAsked) {
  qr::core::MainWindow().settings.clipCursor = 1;
  Start();
  host.window.cursorX = 400;
  host.window.cursorY = 300;
  PumpMessages();
  ASSERT_TRUE(host.window.cursorClip.has_value());
  EXPECT_EQ(*host.window.cursorClip, qr::core::MainWindow().clientRect);
  host.window.Push(Message{MessageKind::Activate, 0, 0});
  host.window.Push(Message{MessageKind::Activate, 1, 0}, NowMs() + 10);
  PumpMessages();
  EXPECT_FALSE(host.window.cursorClip.has_value());  // deactivation released it
  PumpMessages();  // active again with the cursor inside: clipped again
  EXPECT_TRUE(host.window.cursorClip.has_value());
}

}  // namespace
