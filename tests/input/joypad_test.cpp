#include "input_fixture.h"

namespace qr::testing {
namespace {

using qr::input::Input;
using qr::platform::Cooperation;
using qr::platform::ForceEffectDescription;
using qr::platform::HeadlessInput;
using qr::platform::JoystickAxis;
using qr::platform::MessageKind;
using qr::platform::NotifyResult;

using JoypadTest = InputTest;

TEST_F(JoypadTest, ControllerIsSetUpWithRangesDeadZonesEffectsAndEvent) {
  host.input.AddJoystick(Sjis("パッド"));
  Start();
  ASSERT_EQ(Input().padCount, 1);
  const HeadlessInput::Joystick& j = host.input.joysticks[0];
  EXPECT_TRUE(j.acquired);
  EXPECT_EQ(j.level, Cooperation::ExclusiveForeground);
  for (int axis = 0; axis < 4; ++axis) {
    EXPECT_EQ(j.ranges[axis], std::make_pair(-1000, 1000)) << axis;
    EXPECT_EQ(j.deadZones[axis], 2500) << axis;
  }
  EXPECT_NE(j.event, nullptr);
  EXPECT_EQ(j.event, Input().pads[0].event.get());

  ASSERT_EQ(j.effects.size(), 2u);
  const ForceEffectDescription& sine = j.effects[0].description;
  EXPECT_EQ(sine.kind, ForceEffectDescription::Kind::Sine);
  EXPECT_TRUE(sine.polarDirection);
  EXPECT_EQ(sine.period, 1500000);
  EXPECT_EQ(sine.magnitude, 10000);
  EXPECT_EQ(sine.gain, 10000);
  EXPECT_TRUE(sine.hasEnvelope);
  EXPECT_EQ(sine.attackTime, 500000);
  EXPECT_EQ(sine.fadeTime, 1000000);
  const ForceEffectDescription& constant = j.effects[1].description;
  EXPECT_EQ(constant.kind, ForceEffectDescription::Kind::Constant);
  EXPECT_FALSE(constant.polarDirection);
  EXPECT_FALSE(constant.hasEnvelope);
  EXPECT_EQ(constant.magnitude, 10000);
  EXPECT_FALSE(j.effects[0].playing || j.effects[1].playing);

  std::vector<std::string> expected = {
      "ジョイパッドの初期化... ",         "入力装置を見つけました",
      "デバイスの登録名:パッド",          "デバイスの製品登録名:パッド",
      "ジョイパッドの追加は正常に終了しました", "ジョイパッドの初期化は正常に終了しました"};
  EXPECT_EQ(LinesFrom(expected[0], expected.size()), expected);
  EXPECT_STREQ(Input().pads[0].productName, Sjis("パッド").c_str());
}

TEST_F(JoypadTest, OnlyTheFirstSixteenControllersAreSetUp) {
  for (int i = 0; i < 17; ++i) host.input.AddJoystick("pad" + std::to_string(i));
  Start();
  EXPECT_EQ(Input().padCount, 16);
  EXPECT_EQ(CountLogged("ジョイパッドの追加は正常に終了しました"), 16);
  EXPECT_EQ(CountLogged("入力装置を見つけました"), 16);
  EXPECT_FALSE(host.input.joysticks[16].open);
  EXPECT_TRUE(host.input.joysticks[15].open);
}

TEST_F(JoypadTest, ControllerWithoutForceFeedbackHasNoEffects) {
  host.input.AddJoystick("plain").forceFeedback = false;
  Start();
  ASSERT_EQ(Input().padCount, 1);
  EXPECT_EQ(Input().pads[0].sineEffect, nullptr);
  EXPECT_EQ(Input().pads[0].constantEffect, nullptr);
  EXPECT_TRUE(Logged("周期的エフェクトの作成に失敗しました。"));
  EXPECT_TRUE(Logged("ジョイパッドの追加は正常に終了しました"));
}

TEST_F(JoypadTest, EachSetUpFailureSkipsOnlyThatController) {
  struct Case {
    const char* name;
    void (*breakIt)(HeadlessInput::Joystick&);
    const char* line;
    bool added;
  } cases[] = {
      {"create", [](auto& j) { j.failCreate = true; }, "入力装置の取得に失敗しました", false},
      {"format", [](auto& j) { j.failFormat = true; },
       "ジョイパッドデバイスではありませんでした、又は設定に失敗しました", false},
      {"level", [](auto& j) { j.failCooperation = true; },
       "ジョイパッドデバイスの協調レベルの設定に失敗しました", true},
      {"x range", [](auto& j) { j.failRange = JoystickAxis::X; },
       "ジョイパッドデバイスのＸ軸関係の設定に失敗しました", false},
      {"y range", [](auto& j) { j.failRange = JoystickAxis::Y; },
       "ジョイパッドデバイスのＹ軸関係の設定に失敗しました", false},
      {"z range", [](auto& j) { j.failRange = JoystickAxis::Z; }, nullptr, true},
      {"rz range", [](auto& j) { j.failRange = JoystickAxis::Rz; }, nullptr, true},
      {"x dead zone", [](auto& j) { j.failDeadZone = JoystickAxis::X; },
       "ジョイパッドデバイスのＸ軸の無効ゾーンの設定に失敗しました", false},
      {"y dead zone", [](auto& j) { j.failDeadZone = JoystickAxis::Y; },
       "ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました", false},
      {"z dead zone", [](auto& j) { j.failDeadZone = JoystickAxis::Z; }, nullptr, true},
      {"event", [](auto& j) { j.notifyResult = NotifyResult::Refused; },
       "ジョイパッドイベントのセットアップが失敗しました", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.input.joysticks.clear();
    c.breakIt(host.input.AddJoystick("broken"));
    host.input.AddJoystick("good");
    Start();
    ASSERT_EQ(Input().padCount, c.added ? 2 : 1);
    EXPECT_STREQ(Input().pads[c.added ? 1 : 0].instanceName, "good");
    if (c.line) {
      EXPECT_TRUE(Logged(c.line));
    }
    if (!c.added) {
      // The skipped controller was released with whatever had been made for it.
      EXPECT_FALSE(host.input.joysticks[0].open);
      for (const auto& effect : host.input.joysticks[0].effects) EXPECT_FALSE(effect.live);
    }
    RuntimeEnd();
    EXPECT_EQ(host.input.LiveObjects(), 0);
    ResetRuntimeSettings();
  }
}

TEST_F(JoypadTest, PlainPathCountsJoysticksUpToSixteenAndSetsTheCountToSixteen) {
  host.input.interface7 = host.input.interface8 = false;
  Start();
  EXPECT_TRUE(Logged("パッドの数は 0 個です"));
  EXPECT_EQ(Input().padCount, 16);
  RuntimeEnd();

  ResetRuntimeSettings();
  host.input.plainJoysticks.resize(3);
  host.input.plainJoysticks[1].hasZ = host.input.plainJoysticks[1].hasR = true;
  host.input.plainJoysticks[2].hasZ = true;
  Start();
  EXPECT_TRUE(Logged("パッドの数は 3 個です"));
  EXPECT_EQ(Input().pads[0].hasZAndR, 0);
  EXPECT_EQ(Input().pads[1].hasZAndR, 1);
  EXPECT_EQ(Input().pads[2].hasZAndR, 0);
  RuntimeEnd();

  ResetRuntimeSettings();
  host.input.plainJoysticks.resize(20);
  host.input.plainCapsQueries = 0;
  Start();
  EXPECT_TRUE(Logged("パッドの数は 16 個です"));
  EXPECT_EQ(host.input.plainCapsQueries, 16);
}

TEST_F(JoypadTest, ActivationChangesSwitchTheCooperativeLevel) {
  host.input.AddJoystick("pad");
  Start();
  const HeadlessInput::Joystick& j = host.input.joysticks[0];
  host.input.SetFocus(false);
  host.window.Push({MessageKind::Activate, 0, 0});
  DispatchUntilEmpty();
  EXPECT_EQ(j.level, Cooperation::NonExclusiveBackground);
  EXPECT_TRUE(j.acquired);  // in the background, without the focus

  host.input.SetFocus(true);
  host.window.Push({MessageKind::Activate, 1, 0});
  DispatchUntilEmpty();
  EXPECT_EQ(j.level, Cooperation::ExclusiveForeground);
  EXPECT_TRUE(j.acquired);
}

TEST_F(JoypadTest, VibrationRequestedRunsTheEffectsOnlyWhileActive) {
  host.input.AddJoystick("pad");
  Start();
  const HeadlessInput::Joystick& j = host.input.joysticks[0];
  qr::input::PadRecord& pad = Input().pads[0];
  pad.vibrationOn = 1;
  pad.vibrationStrength = 6000;
  host.window.Push({MessageKind::Activate, 1, 0});
  DispatchUntilEmpty();
  EXPECT_TRUE(j.effects[0].playing);  // sine: strength above 5000
  EXPECT_TRUE(j.effects[1].playing);  // constant

  host.window.Push({MessageKind::Activate, 0, 0});
  host.window.Push({MessageKind::Activate, 1, 0});
  pad.vibrationStrength = 4000;
  DispatchUntilEmpty();
  EXPECT_FALSE(j.effects[0].playing);
  EXPECT_TRUE(j.effects[1].playing);

  qr::core::HandleWindowMessage({MessageKind::Activate, 0, 0});
  EXPECT_FALSE(j.effects[0].playing || j.effects[1].playing);
}

TEST_F(JoypadTest, UnpluggedControllerIsHarmless) {
  host.input.AddJoystick("a");
  host.input.AddJoystick("b");
  Start();
  host.input.Unplug(0);
  Input().pads[0].vibrationOn = 1;
  host.window.Push({MessageKind::Activate, 0, 0});
  host.window.Push({MessageKind::Activate, 1, 0});
  DispatchUntilEmpty();
  EXPECT_FALSE(host.input.joysticks[0].acquired);
  EXPECT_TRUE(host.input.joysticks[1].acquired);
  // Setting the pads up again finds only the one that is still there.
  ASSERT_EQ(qr::input::SetupJoypads(), 0);
  EXPECT_EQ(Input().padCount, 1);
  EXPECT_STREQ(Input().pads[0].instanceName, "b");
  EXPECT_FALSE(host.input.joysticks[0].open);
  RuntimeEnd();
  EXPECT_EQ(host.input.LiveObjects(), 0);
}

TEST_F(JoypadTest, JoypadCallsWithoutTheInterfaceAreRefused) {
  EXPECT_EQ(qr::input::SetupJoypads(), -1);
  EXPECT_EQ(qr::input::EndJoypads(), -1);
  host.input.interface7 = host.input.interface8 = false;
  Start();
  EXPECT_EQ(qr::input::SetupJoypads(), -1);
  EXPECT_EQ(qr::input::EndJoypads(), -1);
  EXPECT_EQ(Input().padCount, 16);
}

}  // namespace
}  // namespace qr::testing
