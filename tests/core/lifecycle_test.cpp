#include <gtest/gtest.h>

#include <fstream>

#include "core/call_guard.h"
#include "core/lifecycle.h"
#include "core/main_window.h"
#include "support/headless_runtime.h"
#include "support/start_lines.h"
#include "qr.h"

namespace {
using qr::testing::HeadlessRuntimeTest;
using qr::testing::Sjis;

class Lifecycle : public HeadlessRuntimeTest {};

// What a windowed start on the headless host writes: a Windows XP SP3 machine with a 3 GHz
// processor, 2 GB of memory and a millisecond timer coarser than the counter; then the input
// lines, the graphics device's lines, and the text-input buffer.
std::vector<std::string> StartLines() {
  std::vector<std::string> lines = {
      "システムの情報を出力します",
      "\tＱＲライブラリ Ver3.01",
      "\tＯＳ  WindowsXP ( Build 2600 Service Pack 3 )",
      "\tＣＰＵ動作速度：大体2.99GHz",
      "\tＭＭＸ命令を使用します",
      "\tＳＳＥ命令が使用可能です",
      "\tＳＳＥ２命令が使用可能です",
      "\tＣＰＵベンダ：GenuineIntel",
      "\tＣＰＵ名：Headless Test CPU",
      "ＣＯＭの初期化... 成功しました",
      "メモリ総量:2048.00MB  空きメモリ領域:1024.00MB ",
      "タイマーの精度を検査します",
      "精度結果 更新回数 マルチメディアタイマー：12  パフォーマンスカウンター：60",
      " パフォーマンスカウンターを使用します タイマー分解能 : 1000.000000 KHz ",
      " ソフトの二重起動検査... 二重起動はされていませんでした",
      "ウインドウクラスを登録します... 登録に成功しました",
      "ウインドウモード起動用のウインドウを作成します",
      "ウインドウの作成に成功しました",
      "ＩＭＥを無効にしました",
      "DirectInput関係初期化処理",
      "\tDirectInput7 の取得中... 成功",
      "\t\t引き続き初期化処理... 初期化成功",
      "\tジョイパッドの初期化... ",
      "\tジョイパッドの初期化は正常に終了しました",
      "\tマウスデバイスの初期化... 初期化成功",
      "\tキーボードデバイスの初期化... 初期化成功",
      "DirectInput 関連の初期化は正常に終了しました",
  };
  const std::vector<std::string>& sound = qr::testing::HeadlessSoundStartLines();
  lines.insert(lines.end(), sound.begin(), sound.end());
  const std::vector<std::string>& device = qr::testing::CapableDeviceStartLines();
  lines.insert(lines.end(), device.begin(), device.end());
  lines.push_back("文字コードバッファの初期化を行います... 完了しました");
  return lines;
}

TEST_F(Lifecycle, WindowedStartWritesTheStartUpLines) {
  ChangeWindowMode(1);
  ASSERT_EQ(RuntimeInit(), 0);
  EXPECT_EQ(LogLines(), StartLines());

  // Every line is "<ms>:" then the text and CR LF, in CP932.
  std::string bytes = ReadLogBytes();
  size_t digits = bytes.find_first_not_of("0123456789");
  EXPECT_TRUE(digits > 0 && digits != std::string::npos && bytes[digits] == ':');
  EXPECT_NE(bytes.find(Sjis("ＣＯＭの初期化... 成功しました") + "\r\n"), std::string::npos);
  EXPECT_EQ(bytes.find("\n\n"), std::string::npos);

  EXPECT_TRUE(host.window.created);
  EXPECT_EQ(host.window.title, "Quarn");
  EXPECT_EQ(host.window.description.className, "Q123987R");
  EXPECT_FALSE(host.window.screenSaverEnabled);
}

TEST_F(Lifecycle, EndWritesCloseLinesAndAnEmptyDump) {
  ChangeWindowMode(1);
  ASSERT_EQ(RuntimeInit(), 0);
  size_t startLines = LogLines().size();
  EXPECT_EQ(RuntimeEnd(), 0);
  std::vector<std::string> lines = LogLines();
  std::vector<std::string> tail(lines.begin() + long(startLines), lines.end());
  const std::vector<std::string> expected = {
      "フォントの初期化を行います", "フォントの初期化は正常に終了しました",
      "DirectInput 関連の終了処理... 完了", "DirectSound の終了処理は正常に終了しました",
      "ウインドウを閉じようとしています", "ウインドウが破棄されようとしています",
      "ソフトを終了する準備が整いました", "ＣＯＭを終了... 完了", "",
      "Alloc memory dump", "\tTotal size:0(0.000kb)  Alloc num:0", ""};
  EXPECT_EQ(tail, expected);
  EXPECT_FALSE(host.window.created);
  EXPECT_TRUE(host.window.screenSaverEnabled);
  EXPECT_FALSE(qr::core::RuntimeCallGuardExists());
}

TEST_F(Lifecycle, SecondInitWritesNothingAndSucceeds) {
  ChangeWindowMode(1);
  ASSERT_EQ(RuntimeInit(), 0);
  std::string before = ReadLogBytes();
  EXPECT_EQ(RuntimeInit(), 0);
  EXPECT_EQ(ReadLogBytes(), before);
  EXPECT_EQ(host.window.createCount, 1);
}

TEST_F(Lifecycle, EndWithoutInitDoesNothing) {
  EXPECT_EQ(RuntimeEnd(), 0);
  EXPECT_FALSE(LogExists());
  EXPECT_FALSE(qr::core::RuntimeCallGuardExists());
}

TEST_F(Lifecycle, CanStartAgainAfterEnd) {
  ChangeWindowMode(1);
  ASSERT_EQ(RuntimeInit(), 0);
  ASSERT_EQ(RuntimeEnd(), 0);
  ASSERT_EQ(RuntimeInit(), 0);
  EXPECT_TRUE(host.window.created);
  EXPECT_EQ(LogLines().front(), "システムの情報を出力します");  // a fresh log
  EXPECT_EQ(PumpMessages(), 0);
}

TEST_F(Lifecycle, SecondInstanceIsRefused) {
  SetWindowTitleText(Sjis("ぽてまる").c_str());
  ChangeWindowMode(1);
  qr::platform::HeadlessSystem::HoldInstanceElsewhere(Sjis("ぽてまる"), true);
  EXPECT_EQ(RuntimeInit(), -1);
  qr::platform::HeadlessSystem::HoldInstanceElsewhere(Sjis("ぽてまる"), false);
  std::vector<std::string> lines = LogLines();
  EXPECT_EQ(lines.back(), " ソフトの二重起動検査... 二重起動されています、ソフトを終了します");
  EXPECT_FALSE(host.window.created);
  EXPECT_FALSE(qr::core::Started());
  EXPECT_EQ(PumpMessages(), -1);  // the end is requested
}

TEST_F(Lifecycle, SecondInstanceAllowedCarriesOn) {
  ChangeWindowMode(1);
  qr::core::MainWindow().settings.allowSecondInstance = 1;
  qr::platform::HeadlessSystem::HoldInstanceElsewhere("Q123987R", true);
  EXPECT_EQ(RuntimeInit(), 0);
  qr::platform::HeadlessSystem::HoldInstanceElsewhere("Q123987R", false);
  EXPECT_EQ(LogLines()[14], " ソフトの二重起動検査... 二重起動されていますが続行します");
}

TEST_F(Lifecycle, InstanceLockIsReleasedAtEnd) {
  ChangeWindowMode(1);
  ASSERT_EQ(RuntimeInit(), 0);
  qr::platform::HeadlessSystem other;
  EXPECT_FALSE(other.ClaimInstance("Q123987R"));
  RuntimeEnd();
  EXPECT_TRUE(other.ClaimInstance("Q123987R"));
}

TEST_F(Lifecycle, DesktopDepthDecidesWindowedStart) {
  struct Case {
    int bits;
    int result;
  };
  for (Case c : {Case{24, -1}, Case{32, 0}, Case{16, 0}}) {
    SCOPED_TRACE(c.bits);
    host.window.desktop.bitsPerPixel = c.bits;
    ChangeWindowMode(1);
    EXPECT_EQ(RuntimeInit(), c.result);
    if (c.result == -1) {
      EXPECT_EQ(LogLines(), std::vector<std::string>{"ＱＲライブラリは２４ビットカラーモードに対応していません"});
      EXPECT_FALSE(host.window.created);
    }
    RuntimeEnd();
  }
}

// Full screen keeps the desktop's mode and scales the frame to it: a screen that fits the desktop
// needs no display mode of its size. Only one larger than the desktop and no mode starts in a
// window. The display's own modes are still what GetDisplayModeCount reports.
TEST_F(Lifecycle, FullScreenWithoutTheModeStartsInAWindowOnlyWhenTheDesktopIsTooSmall) {
  host.window.modes = {{800, 600, 32, 60}};
  host.window.desktop = {1920, 1080, 32, 60};
  ASSERT_EQ(RuntimeInit(), 0);
  EXPECT_EQ(qr::core::MainWindow().settings.windowed, 0);
  EXPECT_TRUE(host.window.fullScreen);
  EXPECT_EQ(GetDisplayModeCount(), 1);
}

TEST_F(Lifecycle, FullScreenLargerThanTheDesktopWithoutTheModeStartsInAWindow) {
  host.window.modes = {{800, 600, 32, 60}};
  host.window.desktop = {600, 400, 32, 60};
  ASSERT_EQ(RuntimeInit(), 0);
  EXPECT_EQ(qr::core::MainWindow().settings.windowed, 1);
  EXPECT_FALSE(host.window.fullScreen);
}

TEST_F(Lifecycle, FullScreenStartCoversTheScreenAndHidesTheCursor) {
  ASSERT_EQ(RuntimeInit(), 0);
  std::vector<std::string> lines = LogLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "フルスクリーンモード用のウインドウを作成します"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "カーソルを不可視にしました"), lines.end());
  EXPECT_TRUE(host.window.fullScreen);
  EXPECT_EQ(host.window.bounds, (qr::platform::Rect{0, 0, 640, 480}));
  EXPECT_FALSE(host.window.cursorArrow);
  EXPECT_TRUE(host.window.topMost);
}

TEST_F(Lifecycle, LogSwitchedOffMakesNoFileAndLeavesAnOldOneAlone) {
  { std::ofstream(dir / "Log.txt") << "old"; }
  SetLogFileEnabled(0);
  ChangeWindowMode(1);
  ASSERT_EQ(RuntimeInit(), 0);
  WriteLog("dropped\n");
  RuntimeEnd();
  EXPECT_EQ(ReadLogBytes(), "old");
}

TEST_F(Lifecycle, OldLogIsReplaced) {
  { std::ofstream(dir / "Log.txt") << "old line\r\n"; }
  ChangeWindowMode(1);
  ASSERT_EQ(RuntimeInit(), 0);
  EXPECT_EQ(ReadLog().find("old line"), std::string::npos);
}

TEST_F(Lifecycle, CurrentDirectoryIsRestoredAtEnd) {
  ChangeWindowMode(1);
  ASSERT_EQ(RuntimeInit(), 0);
  host.system.currentDirectory = "/somewhere/else";
  RuntimeEnd();
  EXPECT_EQ(host.system.currentDirectory, dir.string());
}

struct OsCase {
  qr::platform::OsVersion version;
  const char* line;
  int code;
};

TEST_F(Lifecycle, OperatingSystemLine) {
  using F = qr::platform::OsVersion::Family;
  const OsCase cases[] = {
      {{F::WindowsNT, 5, 1, 2600, "Service Pack 3", ""}, "WindowsXP ( Build 2600 Service Pack 3 )", 0x107},
      {{F::WindowsNT, 6, 1, 7601, "Service Pack 1", ""}, "Windows7 ( Build 7601 Service Pack 1 )", 0x109},
      {{F::Windows9x, 4, 0, 1111, "C", ""}, "Windows95OSR2 ( Build 1111 C )", 1},
      {{F::Windows9x, 4, 10, 2222, "A", ""}, "Windows98SE ( Build 2222 A )", 2},
      {{F::Windows9x, 4, 90, 3000, "", ""}, "WindowsMe ( Build 3000  )", 3},
      {{F::WindowsNT, 10, 0, 19045, "", ""}, "Windows ( Build 19045  )", 0},
      {{F::Other, 6, 1, 1, "Linux 6.1.0", "Debian GNU/Linux 12 (bookworm)"},
       "Debian GNU/Linux 12 (bookworm) ( Build 1 Linux 6.1.0 )", 0},
  };
  for (const OsCase& c : cases) {
    SCOPED_TRACE(c.line);
    host.system.version = c.version;
    ChangeWindowMode(1);
    ASSERT_EQ(RuntimeInit(), 0);
    EXPECT_EQ(LogLines()[2], std::string("\tＯＳ  ") + c.line);
    EXPECT_EQ(qr::core::Lifecycle().osCode, c.code);
    RuntimeEnd();
    qr::core::Lifecycle().osCode = 0;
  }
}

struct CpuCase {
  bool cpuid;
  uint32_t features;
  std::vector<std::string> lines;
  int mmx, sse, sse2;
};

TEST_F(Lifecycle, ProcessorFeatureLines) {
  const uint32_t mmx = 1u << 23, sse = 1u << 25, sse2 = 1u << 26;
  const CpuCase cases[] = {
      {false, 0, {"\tＣＰＵＩＤ命令は使えません"}, 0, 0, 0},
      {true, 0, {"\tＭＭＸは使えません", "\tＣＰＵベンダ：AuthenticAMD"}, 0, 0, 0},
      {true, mmx | sse2, {"\tＭＭＸ命令を使用します", "\tＣＰＵベンダ：AuthenticAMD"}, 1, 0, 0},
      {true, mmx | sse,
       {"\tＭＭＸ命令を使用します", "\tＳＳＥ命令が使用可能です", "\tＣＰＵベンダ：AuthenticAMD"}, 1, 1, 0},
  };
  for (const CpuCase& c : cases) {
    host.system.SetProcessor("AuthenticAMD", c.features, "");
    host.system.hasCpuid = c.cpuid;
    ChangeWindowMode(1);
    ASSERT_EQ(RuntimeInit(), 0);
    std::vector<std::string> lines = LogLines();
    std::vector<std::string> report(lines.begin() + 3, lines.begin() + 3 + long(c.lines.size()));
    EXPECT_EQ(report, c.lines);
    EXPECT_EQ(lines[3 + c.lines.size()], "ＣＯＭの初期化... 成功しました");  // no brand line
    const auto& cpu = qr::core::Lifecycle().cpu;
    EXPECT_EQ(cpu.mmx, c.mmx);
    EXPECT_EQ(cpu.sse, c.sse);
    EXPECT_EQ(cpu.sse2, c.sse2);
    RuntimeEnd();
  }
}

TEST_F(Lifecycle, WindowCreationFailureFailsTheStart) {
  host.window.failCreate = true;
  ChangeWindowMode(1);
  EXPECT_EQ(RuntimeInit(), -1);
  EXPECT_EQ(LogLines().back(), "ウインドウの作成に失敗しました");
  EXPECT_FALSE(qr::core::Started());
  // The lock taken for the failed window is not left behind.
  qr::platform::HeadlessSystem other;
  EXPECT_TRUE(other.ClaimInstance("Q123987R"));
}

TEST_F(Lifecycle, FatalErrorEndsTheProcessAfterItsLine) {
  EXPECT_EXIT(
      {
        ChangeWindowMode(1);
        RuntimeInit();
        FatalErrorFormat("%s %d", Sjis("グラフィックの数").c_str(), 7);
      },
      ::testing::ExitedWithCode(255), "");
  std::vector<std::string> lines = LogLines();
  auto at = std::find(lines.begin(), lines.end(), "グラフィックの数 7");
  ASSERT_NE(at, lines.end());
  // The runtime was shut down on the way out: window closed, memory dumped.
  EXPECT_NE(std::find(at, lines.end(), "ソフトを終了する準備が整いました"), lines.end());
  EXPECT_EQ(lines[lines.size() - 3], "Alloc memory dump");
}

}  // namespace
