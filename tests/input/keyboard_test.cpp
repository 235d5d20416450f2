#include <climits>

#include "input_fixture.h"

namespace qr::testing {
namespace {

using qr::input::Input;
using qr::input::InputMode;
using qr::platform::Cooperation;
using qr::platform::NotifyResult;

using KeyboardTest = InputTest;

TEST_F(KeyboardTest, StartWithDevicesLogsEachStepAndLeavesTheKeyboardAcquired) {
  Start();
  EXPECT_EQ(Input().mode, InputMode::Devices);
  EXPECT_EQ(Input().version8, 0);
  std::vector<std::string> expected = {
      "DirectInput関係初期化処理",
      "DirectInput7 の取得中... 成功",
      "引き続き初期化処理... 初期化成功",
      "ジョイパッドの初期化... ",
      "ジョイパッドの初期化は正常に終了しました",
      "マウスデバイスの初期化... 初期化成功",
      "キーボードデバイスの初期化... 初期化成功",
      "DirectInput 関連の初期化は正常に終了しました",
  };
  EXPECT_EQ(LinesFrom(expected[0], expected.size()), expected);

  const auto& keyboard = host.input.keyboard;
  EXPECT_TRUE(keyboard.acquired);
  EXPECT_EQ(keyboard.level, Cooperation::NonExclusiveBackground);
  EXPECT_EQ(keyboard.bufferSize, 100);
  EXPECT_NE(keyboard.event, nullptr);
  // The mouse waits for its first read.
  EXPECT_TRUE(host.input.mouse.open);
  EXPECT_FALSE(host.input.mouse.acquired);
  EXPECT_EQ(host.input.mouse.level, Cooperation::NonExclusiveBackground);
}

TEST_F(KeyboardTest, NestingOfTheStartLinesComesBackToWhereItBegan) {
  // One variant per way through the interface's two versions.
  struct Case {
    bool v7, init7, v8;
  } cases[] = {{true, true, true}, {false, true, true}, {true, false, true}, {false, true, false},
               {true, false, false}};
  Start(/*withoutInput=*/true);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.v7 << c.init7 << c.v8);
    host.input.interface7 = c.v7;
    host.input.failInitialize7 = !c.init7;
    host.input.interface8 = c.v8;
    Input() = qr::input::InputState{};
    WriteLog("before\n");
    qr::input::InitInput();
    WriteLog("after\n");
    std::vector<std::string> raw = LogLines();
    ASSERT_FALSE(raw.empty());
    EXPECT_EQ(raw.back(), "after");  // written at the nesting level the start began at
    qr::input::EndInput();
  }
}

TEST_F(KeyboardTest, VersionFallbacksAndTheirLogLines) {
  host.input.interface7 = false;
  Start();
  EXPECT_EQ(Input().mode, InputMode::Devices);
  EXPECT_EQ(Input().version8, 1);
  EXPECT_TRUE(Logged("DirectInput7 の取得中... 取得に失敗。"));
  EXPECT_TRUE(Logged("エラーコード 0x80040154"));
  EXPECT_TRUE(Logged("DirectInput8 の取得を試みます...成功"));
  RuntimeEnd();

  ResetRuntimeSettings();
  host.input.interface7 = true;
  host.input.failInitialize7 = true;
  Start();
  EXPECT_EQ(Input().version8, 1);
  EXPECT_TRUE(Logged("引き続き初期化処理... 初期化に失敗。DirectInput8 の取得を試みます...成功"));
}

TEST_F(KeyboardTest, WithoutTheInterfaceThePlainPathIsUsedForTheRestOfTheProcess) {
  host.input.interface7 = host.input.interface8 = false;
  Start();
  EXPECT_EQ(Input().mode, InputMode::Plain);
  EXPECT_EQ(Input().noDeviceInterface, 1);
  EXPECT_TRUE(Logged("DirectInput8 の取得を試みます...取得に失敗。DirectInput を使用しません。"));
  EXPECT_TRUE(Logged("パッドの数は 0 個です"));
  EXPECT_TRUE(Logged("入力関連の初期化をしました"));
  EXPECT_EQ(host.input.LiveObjects(), 0);

  // The interface came back; input does not try it again.
  EXPECT_EQ(qr::input::EndInput(), 0);
  host.input.interface7 = host.input.interface8 = true;
  EXPECT_EQ(qr::input::InitInput(), 0);
  EXPECT_EQ(Input().mode, InputMode::Plain);
  EXPECT_EQ(host.input.interfaceCreates, 0);
}

TEST_F(KeyboardTest, DevicePathReadsKeysByKeyCode) {
  Start();
  host.input.SetKey(0x1C, true);
  host.input.SetKey(0xC8, true);
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(0x1C), 1);
  EXPECT_EQ(IsKeyPressed(0xC8), 1);
  EXPECT_EQ(IsKeyPressed(0x9C), 0);  // the pad's Enter is a key of its own here
  EXPECT_EQ(IsKeyPressed(1), 0);
  host.input.SetKey(0x1C, false);
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(0x1C), 0);
}

TEST_F(KeyboardTest, KeyPressedAndReleasedBetweenTwoReadsReadsDownOnce) {
  Start();
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(1), 0);
  host.input.SetKey(1, true);
  host.input.SetKey(1, false);
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(1), 1);
  EXPECT_EQ(IsKeyPressed(0x39), 0);  // only the key that went down
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(1), 0);
  // A key still held after its press reads down as before, and up once let go.
  host.input.SetKey(0x39, true);
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(0x39), 1);
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(0x39), 1);
  host.input.SetKey(0x39, false);
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(0x39), 0);
}

TEST_F(KeyboardTest, RightShiftComesFromTheVirtualKeyState) {
  Start();
  host.input.SetKey(0x36, true);
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(0x36), 0);
  host.input.virtualKeys[0xA1] = 0x80;
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(0x36), 1);
}

TEST_F(KeyboardTest, KeyboardIsReadOncePerMillisecondUnlessItSignalled) {
  Start();
  FreezeClock();
  NextMillisecond();
  int reads = host.input.keyboard.reads;
  EXPECT_EQ(IsKeyPressed(0x39), 0);
  EXPECT_EQ(IsKeyPressed(0x39), 0);
  EXPECT_EQ(host.input.keyboard.reads, reads + 1);

  // A key event sets the keyboard's event: read again within the same millisecond, once.
  host.input.SetKey(0x39, true);
  EXPECT_EQ(IsKeyPressed(0x39), 1);
  EXPECT_EQ(host.input.keyboard.reads, reads + 2);
  EXPECT_FALSE(Input().keyboardEvent->IsSet());
  EXPECT_EQ(IsKeyPressed(0x39), 1);
  EXPECT_EQ(host.input.keyboard.reads, reads + 2);
  EXPECT_EQ(qr::input::RefreshKeyState(), 0);

  NextMillisecond();
  EXPECT_EQ(qr::input::RefreshKeyState(), 1);
  EXPECT_EQ(host.input.keyboard.reads, reads + 3);
}

TEST_F(KeyboardTest, PlainPathIsReadOncePerMillisecondWhateverTheKeyboardDoes) {
  host.input.interface7 = host.input.interface8 = false;
  Start();
  FreezeClock();
  NextMillisecond();
  int reads = host.input.virtualKeyReads;
  host.input.virtualKeys[0x20] = 0x80;
  EXPECT_EQ(IsKeyPressed(0x39), 1);
  host.input.virtualKeys[0x20] = 0;
  EXPECT_EQ(IsKeyPressed(0x39), 1);  // still the state of this millisecond
  EXPECT_EQ(host.input.virtualKeyReads, reads + 1);
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(0x39), 0);
}

TEST_F(KeyboardTest, PlainPathReturnSetsBothEnterCodesAndKeysOutsideTheTableReadUp) {
  host.input.interface7 = host.input.interface8 = false;
  Start();
  host.input.virtualKeys[0x0D] = 0x80;
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(0x1C), 1);
  EXPECT_EQ(IsKeyPressed(0x9C), 1);

  // Every virtual key the table does not list held down: no key code reads down.
  bool listed[256] = {};
  for (const auto* row = qr::input::KeyConversionTable; row->virtualKey != 0xFFFF; ++row)
    listed[row->virtualKey] = true;
  for (int vk = 0; vk < 256; ++vk) host.input.virtualKeys[vk] = listed[vk] ? 0 : 0x80;
  NextMillisecond();
  ASSERT_EQ(qr::input::RefreshKeyState(), 1);
  for (int code = 0; code < 256; ++code) EXPECT_EQ(IsKeyPressed(code), 0) << code;
  // The device's own state plays no part on this path.
  for (uint8_t& key : host.input.keys) key = 0x80;
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(0x01), 0);
}

TEST_F(KeyboardTest, ConversionTableRowsEachSetTheirKeyCodeOnly) {
  int rows = 0;
  bool codeUsed[256] = {};
  for (const auto* row = qr::input::KeyConversionTable; row->virtualKey != 0xFFFF; ++row) {
    ++rows;
    ASSERT_LT(row->virtualKey, 256);
    EXPECT_FALSE(codeUsed[row->keyCode]) << "key code used twice: " << int(row->keyCode);
    codeUsed[row->keyCode] = true;
  }
  EXPECT_EQ(rows, 99);

  host.input.interface7 = host.input.interface8 = false;
  Start();
  // Spot checks across the groups of the table: virtual key -> key code.
  const std::pair<int, int> spots[] = {{'A', 0x1E}, {'Z', 0x2C}, {'0', 0x0B}, {'9', 0x0A},
                                       {0x25, 0xCB}, {0xBB, 0x27}, {0xBA, 0x92}, {0xE2, 0x2B},
                                       {0xDC, 0x7D}, {0x1B, 0x01}, {0x60, 0x52}, {0x6F, 0xB5},
                                       {0xA1, 0x36}, {0xA5, 0xB8}, {0x13, 0xC5}, {0x7B, 0x58}};
  for (auto [vk, code] : spots) {
    SCOPED_TRACE(vk);
    std::fill(std::begin(host.input.virtualKeys), std::end(host.input.virtualKeys), 0);
    host.input.virtualKeys[vk] = 0x80;
    NextMillisecond();
    ASSERT_EQ(qr::input::RefreshKeyState(), 1);
    for (int c = 0; c < 256; ++c) ASSERT_EQ(Input().keyState[c], c == code ? 0x80 : 0) << c;
  }
}

TEST_F(KeyboardTest, VistaAndSevenReadThePlainStateEvenWithTheKeyboardDevice) {
  host.system.version = {qr::platform::OsVersion::Family::WindowsNT, 6, 1, 7601, "", ""};
  Start();
  ASSERT_EQ(Input().mode, InputMode::Devices);
  host.input.SetKey(0x1E, true);
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(0x1E), 0);
  host.input.virtualKeys['A'] = 0x80;
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(0x1E), 1);
}

TEST_F(KeyboardTest, KeyCodesOutsideTheStateReadUp) {
  Start();
  for (uint8_t& key : host.input.keys) key = 0x80;
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(255), 1);
  for (int code : {-1, 256, 0x1000, INT_MAX, INT_MIN}) EXPECT_EQ(IsKeyPressed(code), 0) << code;
}

TEST_F(KeyboardTest, IsKeyPressedStartsInputFirstAndReadsFromTheNextCall) {
  Start(/*withoutInput=*/true);
  EXPECT_EQ(Input().mode, InputMode::NotStarted);
  EXPECT_FALSE(Logged("DirectInput関係初期化処理"));
  host.input.keys[1] = 0x80;
  EXPECT_EQ(IsKeyPressed(1), 0);  // InitInput's result, not the key
  EXPECT_EQ(Input().mode, InputMode::Devices);
  EXPECT_TRUE(Logged("DirectInput 関連の初期化は正常に終了しました"));
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(1), 1);

  // After EndInput (as a device restore does) the next call starts input again.
  qr::input::EndInput();
  EXPECT_EQ(IsKeyPressed(1), 0);
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(1), 1);

  // Once the program is ending, input is not started again.
  RuntimeEnd();
  EXPECT_EQ(Input().mode, InputMode::NotStarted);
  EXPECT_EQ(IsKeyPressed(1), 0);
  EXPECT_EQ(Input().mode, InputMode::NotStarted);
}

TEST_F(KeyboardTest, RefusedChangeEventReturnsOneAndTheFirstFailedReadAcquires) {
  host.input.keyboard.notifyResult = NotifyResult::Refused;
  Start(/*withoutInput=*/true);
  // IsKeyPressed passes on what InitInput returned.
  EXPECT_EQ(IsKeyPressed(1), 1);
  EXPECT_TRUE(Logged("キーボードデバイスの初期化... キーボードイベントのセットアップが失敗しました"));
  EXPECT_TRUE(host.input.keyboard.open);
  EXPECT_FALSE(host.input.keyboard.acquired);
  EXPECT_EQ(Input().keyboardEvent, nullptr);

  host.input.keys[0x10] = 0x80;
  NextMillisecond();
  EXPECT_EQ(IsKeyPressed(0x10), 1);
  EXPECT_TRUE(host.input.keyboard.acquired);
  // Without an event, nothing makes a second read within the millisecond.
  FreezeClock();
  NextMillisecond();
  int reads = host.input.keyboard.reads;
  host.input.SetKey(0x10, false);
  IsKeyPressed(0x10);
  IsKeyPressed(0x10);
  EXPECT_EQ(host.input.keyboard.reads, reads + 1);
}

TEST_F(KeyboardTest, UnreadableKeyboardKeepsThePreviousStateAfterOneRetry) {
  Start();
  host.input.SetKey(0x2A, true);
  NextMillisecond();
  ASSERT_EQ(IsKeyPressed(0x2A), 1);

  // The focus goes: the next read fails, the background keyboard is acquired again and read.
  host.input.SetFocus(false);
  host.input.SetKey(0x2A, false);
  NextMillisecond();
  EXPECT_EQ(qr::input::RefreshKeyState(), 1);
  EXPECT_EQ(IsKeyPressed(0x2A), 0);

  // Now acquisition fails too: nothing new, the old state stays.
  host.input.SetKey(0x2A, true);
  NextMillisecond();
  ASSERT_EQ(IsKeyPressed(0x2A), 1);
  host.input.SetFocus(false);
  host.input.keyboard.acquireFailures = 1;
  host.input.SetKey(0x2A, false);
  NextMillisecond();
  EXPECT_EQ(qr::input::RefreshKeyState(), 0);
  EXPECT_EQ(Input().keyState[0x2A], 0x80);
}

TEST_F(KeyboardTest, ActivationChangesAcquireTheKeyboardAgain) {
  Start();
  int calls = host.input.keyboard.acquireCalls;
  host.input.SetFocus(false);
  host.window.Push({qr::platform::MessageKind::Activate, 0, 0});
  host.input.SetFocus(true);
  host.window.Push({qr::platform::MessageKind::Activate, 1, 0});
  EXPECT_EQ(PumpMessages(), 0);
  EXPECT_EQ(host.input.keyboard.acquireCalls, calls + 2);  // windowed: on both changes
  EXPECT_TRUE(host.input.keyboard.acquired);
}

TEST_F(KeyboardTest, FullScreenLeavesTheDevicesAloneWhenItGoesInactive) {
  ChangeWindowMode(0);
  ASSERT_EQ(RuntimeInit(), 0);
  int calls = host.input.keyboard.acquireCalls;
  qr::core::HandleWindowMessage({qr::platform::MessageKind::Activate, 0, 0});
  EXPECT_EQ(host.input.keyboard.acquireCalls, calls);
  qr::core::HandleWindowMessage({qr::platform::MessageKind::Activate, 1, 0});
  EXPECT_EQ(host.input.keyboard.acquireCalls, calls + 1);
}

TEST_F(KeyboardTest, EndInputReleasesEverythingOnceAndTwiceIsHarmless) {
  host.input.AddJoystick("pad");
  Start();
  ASSERT_GT(host.input.LiveObjects(), 0);
  EXPECT_EQ(qr::input::EndInput(), 0);
  EXPECT_EQ(qr::input::EndInput(), 0);
  EXPECT_EQ(CountLogged("DirectInput 関連の終了処理... 完了"), 1);
  EXPECT_EQ(host.input.LiveObjects(), 0);
  EXPECT_FALSE(host.input.interfaceHeld);
  EXPECT_EQ(Input().mode, InputMode::NotStarted);
  RuntimeEnd();
  EXPECT_EQ(CountLogged("DirectInput 関連の終了処理... 完了"), 1);

  ResetRuntimeSettings();
  host.input.interface7 = host.input.interface8 = false;
  Start();
  EXPECT_EQ(qr::input::EndInput(), 0);
  EXPECT_EQ(qr::input::EndInput(), 0);
  EXPECT_EQ(CountLogged("入力関連の終了処理... 完了"), 1);
}

TEST_F(KeyboardTest, RuntimeEndShutsInputDownBeforeTheWindow) {
  Start();
  RuntimeEnd();
  std::vector<std::string> lines = Lines();
  auto input = std::find(lines.begin(), lines.end(), "DirectInput 関連の終了処理... 完了");
  auto window = std::find(lines.begin(), lines.end(), "ウインドウを閉じようとしています");
  ASSERT_NE(input, lines.end());
  ASSERT_NE(window, lines.end());
  EXPECT_LT(input, window);
  EXPECT_EQ(host.input.LiveObjects(), 0);
}

TEST_F(KeyboardTest, BufferSizeRefusedIsLoggedAndStartGoesOn) {
  host.input.keyboard.failBufferSize = true;
  Start();
  EXPECT_TRUE(Logged("キーボードデバイスの初期化... キーボードのプロパティ設定に失敗しました"));
  EXPECT_TRUE(Logged("初期化成功"));
  EXPECT_TRUE(host.input.keyboard.acquired);
}

// Devices that cannot be set up end the program with the message, after the line that started.
TEST_F(KeyboardTest, DeviceSetUpFailuresEndTheProgram) {
  using Device = qr::platform::HeadlessInput::Device;
  struct Case {
    const char* name;
    void (*breakIt)(qr::platform::HeadlessInput&);
    const char* line;
  } cases[] = {
      {"mouse create", [](auto& in) { in.mouse.failCreate = true; },
       "マウスデバイスの初期化... マウスデバイスの取得に失敗しました"},
      {"mouse format", [](auto& in) { in.mouse.failFormat = true; },
       "マウスデバイスの初期化... マウスデバイスのデータ形式の設定に失敗しました"},
      {"mouse level", [](auto& in) { in.mouse.failCooperation = true; },
       "マウスデバイスの初期化... マウスデバイスの協調レベルの設定に失敗しました"},
      {"keyboard create", [](auto& in) { in.keyboard.failCreate = true; },
       "キーボードデバイスの初期化... キーボードデバイスの取得に失敗しました"},
      {"keyboard format", [](auto& in) { in.keyboard.failFormat = true; },
       "キーボードデバイスの初期化... キーボードデバイスのデータ形式の設定に失敗しました"},
      {"keyboard level", [](auto& in) { in.keyboard.failCooperation = true; },
       "キーボードデバイスの初期化... キーボードデバイスの協調レベルの設定に失敗しました"},
      {"keyboard acquire twice", [](auto& in) { in.keyboard.acquireFailures = 2; },
       "キーボードデバイスの初期化... キーボードデバイスの取得に失敗しました"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(dir / "Log.txt");
    c.breakIt(host.input);
    EXPECT_EXIT(Start(), ::testing::ExitedWithCode(255), "");
    EXPECT_TRUE(Logged(c.line));
    host.input.mouse = Device{};
    host.input.keyboard = Device{};
  }
  // One failed acquisition is retried.
  host.input.keyboard.acquireFailures = 1;
  Start();
  EXPECT_TRUE(host.input.keyboard.acquired);
}

}  // namespace
}  // namespace qr::testing
