// Start-up and shut-down of input, and re-acquisition when the window's activation changes.
#include <cstring>

#include "core/main_window.h"
#include "input/input_state.h"
#include "platform/platform.h"
#include "qr.h"

namespace qr::input {

InputState& Input() {
  static InputState state;
  return state;
}

namespace {

using platform::Cooperation;
using platform::NotifyResult;

constexpr int kKeyboardBufferSize = 100;

// Drops every device and the interface without a word in the log (a device that cannot be made
// ends the program; nothing is left behind for the fatal stop to trip over).
void ReleaseEverything() {
  InputState& s = Input();
  EndJoypads();
  if (s.keyboardDevice) {
    s.keyboardDevice->Unacquire();
    s.keyboardDevice->SetEventNotification(nullptr);
  }
  s.keyboardDevice.reset();
  s.keyboardEvent.reset();
  if (s.mouseDevice) s.mouseDevice->Unacquire();
  s.mouseDevice.reset();
  if (s.interfaceHeld && platform::Current().input) platform::Current().input->ReleaseInterface();
  s.interfaceHeld = false;
  s.mode = InputMode::NotStarted;
}

[[noreturn]] void FailDevice(const char* message) {
  ReleaseEverything();
  FatalError(message);
}

// Tries the device interface in version 7, then 8. True when one of them is ready.
bool ObtainInterface(platform::InputDevices& devices) {
  InputState& s = Input();
  WriteLog("DirectInput関係初期化処理\n");
  AddLogIndent();

  WriteLog("DirectInput7 の取得中... ");
  uint32_t code = devices.CreateInterface(7);
  if (code != 0) {
    WriteLog("取得に失敗。\n");
    WriteLogFormat("エラーコード 0x%x", unsigned(code));
  } else {
    WriteLog("成功\n");
    AddLogIndent();
    WriteLog("引き続き初期化処理... ");
    if (devices.InitializeInterface(7)) {
      WriteLog("初期化成功\n");
      SubLogIndent();
      s.version8 = 0;
      return true;
    }
    WriteLog("初期化に失敗。");
    SubLogIndent();
    devices.ReleaseInterface();
  }

  WriteLog("DirectInput8 の取得を試みます...");
  if (devices.CreateInterface(8) != 0) {
    WriteLog("取得に失敗。");
  } else {
    WriteLog("成功\n");
    AddLogIndent();
    WriteLog("引き続き初期化処理... ");
    if (devices.InitializeInterface(8)) {
      WriteLog("初期化成功\n");
      s.version8 = 1;
      SubLogIndent();
      return true;
    }
    WriteLog("初期化に失敗。");
    SubLogIndent();
    devices.ReleaseInterface();
  }

  WriteLog("DirectInput を使用しません。\n");
  SubLogIndent();
  return false;
}

void SetUpMouse(platform::InputDevices& devices) {
  InputState& s = Input();
  WriteLog("マウスデバイスの初期化... ");
  s.mouseDevice = devices.CreateMouse();
  if (!s.mouseDevice) FailDevice("マウスデバイスの取得に失敗しました");
  if (!s.mouseDevice->SetDataFormat()) FailDevice("マウスデバイスのデータ形式の設定に失敗しました");
  if (!s.mouseDevice->SetCooperativeLevel(Cooperation::NonExclusiveBackground))
    FailDevice("マウスデバイスの協調レベルの設定に失敗しました");
  // Acquired the first time its state cannot be read.
  WriteLog("初期化成功\n");
}

// 0, or 1 when the keyboard refused the change event.
int SetUpKeyboard(platform::InputDevices& devices) {
  InputState& s = Input();
  platform::Clock& clock = *platform::Current().clock;
  WriteLog("キーボードデバイスの初期化... ");
  s.keyboardDevice = devices.CreateKeyboard();
  if (!s.keyboardDevice) FailDevice("キーボードデバイスの取得に失敗しました");
  if (!s.keyboardDevice->SetDataFormat())
    FailDevice("キーボードデバイスのデータ形式の設定に失敗しました");
  if (!s.keyboardDevice->SetCooperativeLevel(Cooperation::NonExclusiveBackground))
    FailDevice("キーボードデバイスの協調レベルの設定に失敗しました");
  if (!s.keyboardDevice->SetBufferSize(kKeyboardBufferSize))
    WriteLog("キーボードのプロパティ設定に失敗しました\n");

  auto event = std::make_unique<platform::ChangeEvent>();
  if (s.keyboardDevice->SetEventNotification(event.get()) == NotifyResult::Refused) {
    // The keyboard stays, neither acquired nor signalling; the first failed read acquires it.
    WriteLog("キーボードイベントのセットアップが失敗しました\n");
    SubLogIndent();
    return 1;
  }
  s.keyboardEvent = std::move(event);
  if (!s.keyboardDevice->Acquire() && !s.keyboardDevice->Acquire())
    FailDevice("キーボードデバイスの取得に失敗しました");
  WriteLog("初期化成功\n");
  s.lastKeyRefresh = clock.Milliseconds();
  return 0;
}

}  // namespace

int InitInput() {
  InputState& s = Input();
  if (s.mode != InputMode::NotStarted) return 0;
  int noDeviceInterface = s.noDeviceInterface;
  s = InputState{};
  s.noDeviceInterface = noDeviceInterface;

  platform::Platform& host = platform::Current();
  if (!host.input) s.noDeviceInterface = 1;  // a host without input devices reads nothing

  if (!s.noDeviceInterface) {
    if (ObtainInterface(*host.input)) {
      s.interfaceHeld = true;
      s.mode = InputMode::Devices;
      if (core::MainWindow().created) host.window->Raise();
      core::PumpMessagesUnguarded();
      // The pump may have run the window end; then there is nothing left to set up.
      if (s.mode != InputMode::Devices) return 0;
      SetupJoypads();
      SetUpMouse(*host.input);
      s.lastKeyRefresh = host.clock->Milliseconds();
      if (SetUpKeyboard(*host.input) != 0) return 1;
      SubLogIndent();
      WriteLog("DirectInput 関連の初期化は正常に終了しました\n");
      return 0;
    }
    s.noDeviceInterface = 1;
  }

  AddLogIndent();
  int found = CountPlainJoysticks();
  WriteLogFormat("パッドの数は %d 個です", found);
  SubLogIndent();
  s.mode = InputMode::Plain;
  WriteLog("入力関連の初期化をしました\n");
  return 0;
}

int EndInput() {
  InputState& s = Input();
  if (s.mode == InputMode::NotStarted) return 0;
  if (s.mode == InputMode::Plain) {
    WriteLog("入力関連の終了処理... 完了\n");
    s.mode = InputMode::NotStarted;
    return 0;
  }
  WriteLog("DirectInput 関連の終了処理... 完了\n");
  ReleaseEverything();
  return 0;
}

int ReacquireInputDevices() {
  InputState& s = Input();
  if (s.mode != InputMode::Devices) return 0;
  Cooperation padLevel = core::MainWindow().active ? Cooperation::ExclusiveForeground
                                                   : Cooperation::NonExclusiveBackground;
  for (PadRecord& pad : s.pads) {
    if (!pad.device) continue;
    pad.device->Unacquire();
    pad.device->SetCooperativeLevel(padLevel);
    pad.device->Acquire();
  }
  if (s.keyboardDevice) {
    s.keyboardDevice->Unacquire();
    s.keyboardDevice->Acquire();
  }
  return 0;
}

}  // namespace qr::input
