// Joypads: every attached game controller gets a device with axis ranges, dead zones and two
// force-feedback effects where it has them; without the device interface only the joystick ids
// are counted.
#include <cstdio>
#include <cstring>

#include "core/main_window.h"
#include "input/input_state.h"
#include "platform/platform.h"
#include "qr.h"

namespace qr::input {

namespace {

using platform::Cooperation;
using platform::ForceEffectDescription;
using platform::JoystickAxis;
using platform::NotifyResult;

constexpr int kAxisMinimum = -1000;
constexpr int kAxisMaximum = 1000;
constexpr int kDeadZone = 2500;
constexpr int kSineThreshold = 5000;
constexpr JoystickAxis kAxes[] = {JoystickAxis::X, JoystickAxis::Y, JoystickAxis::Z,
                                  JoystickAxis::Rz};

void CopyName(char (&to)[260], const std::string& from) {
  std::snprintf(to, sizeof to, "%s", from.c_str());
}

ForceEffectDescription SineEffect() {
  ForceEffectDescription e;
  e.kind = ForceEffectDescription::Kind::Sine;
  e.polarDirection = true;
  e.gain = 10000;
  e.magnitude = 10000;
  e.offset = 0;
  e.phase = 0;
  e.period = 1500000;
  e.hasEnvelope = true;
  e.attackLevel = 0;
  e.attackTime = 500000;
  e.fadeLevel = 0;
  e.fadeTime = 1000000;
  return e;
}

ForceEffectDescription ConstantEffect() {
  ForceEffectDescription e;
  e.kind = ForceEffectDescription::Kind::Constant;
  e.polarDirection = false;
  e.gain = 10000;
  e.magnitude = 10000;
  return e;
}

// Sets up one controller into the next free record; every failure only skips the controller.
void AddPad(platform::InputDevices& devices, const platform::JoystickInfo& info) {
  InputState& s = Input();
  WriteLog("入力装置を見つけました\n");
  std::unique_ptr<platform::JoystickDevice> device = devices.CreateJoystick(info);
  if (!device) {
    WriteLog("入力装置の取得に失敗しました\n");
    return;
  }
  PadRecord pad;
  CopyName(pad.instanceName, info.instanceName);
  CopyName(pad.productName, info.productName);
  AddLogIndent();
  WriteLogFormat("デバイスの登録名:%s", pad.instanceName);
  WriteLogFormat("デバイスの製品登録名:%s", pad.productName);
  SubLogIndent();

  if (!device->SetDataFormat()) {
    device.reset();
    WriteLog("ジョイパッドデバイスではありませんでした、又は設定に失敗しました\n");
    return;
  }
  if (!device->SetCooperativeLevel(Cooperation::ExclusiveForeground))
    WriteLog("ジョイパッドデバイスの協調レベルの設定に失敗しました\n");

  for (JoystickAxis axis : kAxes) {
    if (device->SetAxisRange(axis, kAxisMinimum, kAxisMaximum)) continue;
    if (axis == JoystickAxis::X || axis == JoystickAxis::Y) {
      device.reset();
      WriteLog(axis == JoystickAxis::X ? "ジョイパッドデバイスのＸ軸関係の設定に失敗しました\n"
                                       : "ジョイパッドデバイスのＹ軸関係の設定に失敗しました\n");
      return;
    }
  }
  for (JoystickAxis axis : kAxes) {
    if (device->SetAxisDeadZone(axis, kDeadZone)) continue;
    if (axis == JoystickAxis::X || axis == JoystickAxis::Y) {
      device.reset();
      WriteLog(axis == JoystickAxis::X
                   ? "ジョイパッドデバイスのＸ軸の無効ゾーンの設定に失敗しました\n"
                   : "ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました\n");
      return;
    }
  }

  pad.sineEffect = device->CreateEffect(SineEffect());
  pad.constantEffect = device->CreateEffect(ConstantEffect());
  if (!pad.constantEffect) WriteLog("周期的エフェクトの作成に失敗しました。\n");

  pad.vibrationOn = pad.vibrationStrength = 0;
  pad.constantPlaying = pad.sinePlaying = 0;

  pad.event = std::make_unique<platform::ChangeEvent>();
  if (device->SetEventNotification(pad.event.get()) == NotifyResult::Refused) {
    WriteLog("ジョイパッドイベントのセットアップが失敗しました\n");
    return;  // the pad's effects and device are released with it
  }
  device->Acquire();
  pad.device = std::move(device);
  pad.state = platform::JoystickState{};
  s.pads[s.padCount] = std::move(pad);
  ++s.padCount;
  WriteLog("ジョイパッドの追加は正常に終了しました\n");
}

}  // namespace

int SetupJoypads() {
  InputState& s = Input();
  platform::InputDevices* devices = platform::Current().input;
  if (s.mode != InputMode::Devices || !devices) return -1;
  EndJoypads();
  WriteLog("ジョイパッドの初期化... \n");
  s.padCount = 0;
  for (const platform::JoystickInfo& info : devices->EnumerateJoysticks()) {
    if (s.padCount >= kMaxPads) break;
    AddPad(*devices, info);
  }
  WriteLog("ジョイパッドの初期化は正常に終了しました\n");
  return 0;
}

int EndJoypads() {
  InputState& s = Input();
  if (s.mode != InputMode::Devices) return -1;
  for (PadRecord& pad : s.pads) {
    if (pad.device) {
      pad.device->Unacquire();
      pad.device->SetEventNotification(nullptr);
    }
    if (pad.constantEffect) pad.constantEffect->Stop();
    pad.constantEffect.reset();
    if (pad.sineEffect) pad.sineEffect->Stop();
    pad.sineEffect.reset();
    pad.device.reset();
    pad.event.reset();
    pad = PadRecord{};
  }
  s.padCount = 0;
  return 0;
}

int CountPlainJoysticks() {
  InputState& s = Input();
  platform::InputDevices* devices = platform::Current().input;
  int found = 0;
  while (devices && found < kMaxPads) {
    platform::JoystickCaps caps;
    if (!devices->JoystickCapabilities(found, caps)) break;
    s.pads[found].hasZAndR = caps.hasZ && caps.hasR ? 1 : 0;
    ++found;
  }
  s.padCount = kMaxPads;
  return found;
}

void RefreshPadEffects() {
  InputState& s = Input();
  if (s.mode != InputMode::Devices) return;
  bool active = core::MainWindow().active != 0;
  for (PadRecord& pad : s.pads) {
    if (!pad.device) continue;
    int wantConstant = active && pad.vibrationOn;
    int wantSine = wantConstant && pad.vibrationStrength > kSineThreshold;
    if (pad.constantEffect && wantConstant != pad.constantPlaying) {
      if (wantConstant) pad.constantEffect->Start();
      else pad.constantEffect->Stop();
    }
    if (pad.sineEffect && wantSine != pad.sinePlaying) {
      if (wantSine) pad.sineEffect->Start();
      else pad.sineEffect->Stop();
    }
    pad.constantPlaying = wantConstant;
    pad.sinePlaying = wantSine;
  }
}

}  // namespace qr::input
