// The SDL input host: its key tables against the runtime's conversion table, and real SDL
// joysticks (SDL's virtual ones) through the device interface and through the whole runtime.
#include <SDL.h>
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "input/input_state.h"
#include "platform/sdl/sdl_input.h"
#include "platform/sdl/sdl_key_tables.h"
#include "qr.h"
#include "support/headless_runtime.h"

namespace {

using qr::platform::sdl_keys::KeyCodeForScancode;
using qr::platform::sdl_keys::VirtualKeyFor;

struct Key {
  SDL_Scancode scancode;
  SDL_Keycode keycode;  // what the key gives unshifted in the layout
};

// Every key of a Japanese 109-key keyboard with a Japanese layout.
std::vector<Key> JapaneseKeyboard() {
  std::vector<Key> keys;
  for (int i = 0; i < 26; ++i) keys.push_back({SDL_Scancode(SDL_SCANCODE_A + i), SDLK_a + i});
  for (int i = 0; i < 9; ++i) keys.push_back({SDL_Scancode(SDL_SCANCODE_1 + i), SDLK_1 + i});
  keys.push_back({SDL_SCANCODE_0, SDLK_0});
  for (int i = 0; i < 12; ++i)
    keys.push_back({SDL_Scancode(SDL_SCANCODE_F1 + i), SDL_Keycode(SDLK_F1 + i)});
  for (int i = 0; i < 9; ++i)
    keys.push_back({SDL_Scancode(SDL_SCANCODE_KP_1 + i), SDL_Keycode(SDLK_KP_1 + i)});
  const Key rest[] = {
      {SDL_SCANCODE_KP_0, SDLK_KP_0}, {SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD},
      {SDL_SCANCODE_KP_PLUS, SDLK_KP_PLUS}, {SDL_SCANCODE_KP_MINUS, SDLK_KP_MINUS},
      {SDL_SCANCODE_KP_MULTIPLY, SDLK_KP_MULTIPLY}, {SDL_SCANCODE_KP_DIVIDE, SDLK_KP_DIVIDE},
      {SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER}, {SDL_SCANCODE_NUMLOCKCLEAR, SDLK_NUMLOCKCLEAR},
      {SDL_SCANCODE_MINUS, SDLK_MINUS}, {SDL_SCANCODE_EQUALS, SDLK_CARET},
      {SDL_SCANCODE_INTERNATIONAL3, SDLK_BACKSLASH}, {SDL_SCANCODE_LEFTBRACKET, SDLK_AT},
      {SDL_SCANCODE_RIGHTBRACKET, SDLK_LEFTBRACKET}, {SDL_SCANCODE_SEMICOLON, SDLK_SEMICOLON},
      {SDL_SCANCODE_APOSTROPHE, SDLK_COLON}, {SDL_SCANCODE_BACKSLASH, SDLK_RIGHTBRACKET},
      {SDL_SCANCODE_COMMA, SDLK_COMMA}, {SDL_SCANCODE_PERIOD, SDLK_PERIOD},
      {SDL_SCANCODE_SLASH, SDLK_SLASH}, {SDL_SCANCODE_INTERNATIONAL1, SDLK_BACKSLASH},
      {SDL_SCANCODE_GRAVE, SDLK_UNKNOWN}, {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE},
      {SDL_SCANCODE_TAB, SDLK_TAB}, {SDL_SCANCODE_CAPSLOCK, SDLK_CAPSLOCK},
      {SDL_SCANCODE_LSHIFT, SDLK_LSHIFT}, {SDL_SCANCODE_RSHIFT, SDLK_RSHIFT},
      {SDL_SCANCODE_LCTRL, SDLK_LCTRL}, {SDL_SCANCODE_RCTRL, SDLK_RCTRL},
      {SDL_SCANCODE_LALT, SDLK_LALT}, {SDL_SCANCODE_RALT, SDLK_RALT},
      {SDL_SCANCODE_LGUI, SDLK_LGUI}, {SDL_SCANCODE_RGUI, SDLK_RGUI},
      {SDL_SCANCODE_APPLICATION, SDLK_APPLICATION}, {SDL_SCANCODE_INTERNATIONAL5, SDLK_UNKNOWN},
      {SDL_SCANCODE_INTERNATIONAL4, SDLK_UNKNOWN}, {SDL_SCANCODE_INTERNATIONAL2, SDLK_UNKNOWN},
      {SDL_SCANCODE_SPACE, SDLK_SPACE}, {SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE},
      {SDL_SCANCODE_RETURN, SDLK_RETURN}, {SDL_SCANCODE_INSERT, SDLK_INSERT},
      {SDL_SCANCODE_DELETE, SDLK_DELETE}, {SDL_SCANCODE_HOME, SDLK_HOME},
      {SDL_SCANCODE_END, SDLK_END}, {SDL_SCANCODE_PAGEUP, SDLK_PAGEUP},
      {SDL_SCANCODE_PAGEDOWN, SDLK_PAGEDOWN}, {SDL_SCANCODE_UP, SDLK_UP},
      {SDL_SCANCODE_DOWN, SDLK_DOWN}, {SDL_SCANCODE_LEFT, SDLK_LEFT},
      {SDL_SCANCODE_RIGHT, SDLK_RIGHT}, {SDL_SCANCODE_PRINTSCREEN, SDLK_PRINTSCREEN},
      {SDL_SCANCODE_SCROLLLOCK, SDLK_SCROLLLOCK}, {SDL_SCANCODE_PAUSE, SDLK_PAUSE},
  };
  keys.insert(keys.end(), std::begin(rest), std::end(rest));
  return keys;
}

// Key codes the plain path sets for a virtual key.
std::set<int> CodesOf(int virtualKey) {
  std::set<int> codes;
  for (const auto* row = qr::input::KeyConversionTable; row->virtualKey != 0xFFFF; ++row)
    if (row->virtualKey == virtualKey) codes.insert(row->keyCode);
  return codes;
}

TEST(SdlKeyTables, JapaneseKeyboardReadsTheSameOnBothPathsAndNoTwoKeysShareACode) {
  std::map<int, SDL_Scancode> owner;
  std::set<int> reachedRows;
  for (const Key& key : JapaneseKeyboard()) {
    SCOPED_TRACE(SDL_GetScancodeName(key.scancode));
    int code = KeyCodeForScancode(key.scancode, true);
    ASSERT_NE(code, 0);
    auto [at, fresh] = owner.emplace(code, key.scancode);
    EXPECT_TRUE(fresh) << "code " << code << " also from " << SDL_GetScancodeName(at->second);

    std::set<int> plain = CodesOf(VirtualKeyFor(key.keycode, key.scancode, true));
    if (plain.empty()) continue;  // a key the plain path does not know
    EXPECT_TRUE(plain.count(code)) << "device code " << code;
    reachedRows.insert(plain.begin(), plain.end());
  }
  // Every row of the conversion table is reached from some key of the keyboard.
  int rows = 0;
  for (const auto* row = qr::input::KeyConversionTable; row->virtualKey != 0xFFFF; ++row) {
    ++rows;
    EXPECT_TRUE(reachedRows.count(row->keyCode)) << "row for key code " << int(row->keyCode);
  }
  EXPECT_EQ(rows, 99);
}

TEST(SdlKeyTables, UsKeyboardKeepsItsOwnPunctuationCodes) {
  const std::pair<SDL_Scancode, int> us[] = {
      {SDL_SCANCODE_SEMICOLON, 0x27}, {SDL_SCANCODE_APOSTROPHE, 0x28}, {SDL_SCANCODE_GRAVE, 0x29},
      {SDL_SCANCODE_LEFTBRACKET, 0x1A}, {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
      {SDL_SCANCODE_BACKSLASH, 0x2B}, {SDL_SCANCODE_EQUALS, 0x0D}, {SDL_SCANCODE_MINUS, 0x0C},
      {SDL_SCANCODE_ESCAPE, 0x01}, {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_RETURN, 0x1C}};
  for (auto [scancode, code] : us) EXPECT_EQ(KeyCodeForScancode(scancode, false), code);
  // On a US layout ';' is the virtual key the conversion table reads as the colon.
  EXPECT_EQ(VirtualKeyFor(SDLK_SEMICOLON, SDL_SCANCODE_SEMICOLON, false), 0xBA);
  EXPECT_EQ(VirtualKeyFor(SDLK_EQUALS, SDL_SCANCODE_EQUALS, false), 0xBB);
  // Out-of-range scancodes have no code.
  EXPECT_EQ(KeyCodeForScancode(-1, false), 0);
  EXPECT_EQ(KeyCodeForScancode(SDL_NUM_SCANCODES, true), 0);
}

// SDL's virtual joysticks need only SDL's joystick subsystem, which SdlInput starts itself.
int AttachVirtual(int axes, int buttons, int hats) {
  return SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, axes, buttons, hats);
}
int IndexOf(SDL_JoystickID id) {
  for (int i = 0; i < SDL_NumJoysticks(); ++i)
    if (SDL_JoystickGetDeviceInstanceID(i) == id) return i;
  return -1;
}

TEST(SdlInput, VirtualJoystickReadsInItsRangeAndSurvivesUnplugging) {
  qr::platform::SdlInput input;
  ASSERT_EQ(input.CreateInterface(7), 0u);
  ASSERT_TRUE(input.InitializeInterface(7));
  int index = AttachVirtual(6, 4, 1);
  ASSERT_GE(index, 0) << SDL_GetError();
  SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);

  std::vector<qr::platform::JoystickInfo> found = input.EnumerateJoysticks();
  auto info = std::find_if(found.begin(), found.end(), [id](auto& j) { return j.id == id; });
  ASSERT_NE(info, found.end());
  auto device = input.CreateJoystick(*info);
  ASSERT_NE(device, nullptr);
  using qr::platform::JoystickAxis;
  EXPECT_FALSE(device->Acquire());  // no data format yet
  ASSERT_TRUE(device->SetDataFormat());
  ASSERT_TRUE(device->SetCooperativeLevel(qr::platform::Cooperation::NonExclusiveBackground));
  ASSERT_TRUE(device->SetAxisRange(JoystickAxis::X, -1000, 1000));
  ASSERT_TRUE(device->SetAxisRange(JoystickAxis::Y, -1000, 1000));
  ASSERT_TRUE(device->SetAxisDeadZone(JoystickAxis::X, 2500));
  ASSERT_TRUE(device->SetAxisDeadZone(JoystickAxis::Y, 2500));
  EXPECT_FALSE(device->SetAxisRange(JoystickAxis::Z, 5, 5));
  EXPECT_FALSE(device->SetAxisDeadZone(JoystickAxis::Z, 10001));
  qr::platform::JoystickState state;
  EXPECT_FALSE(device->ReadState(state));  // not acquired
  ASSERT_TRUE(device->Acquire());

  qr::platform::ChangeEvent event;
  EXPECT_NE(device->SetEventNotification(&event), qr::platform::NotifyResult::Refused);
  SDL_Joystick* stick = SDL_JoystickFromInstanceID(id);
  ASSERT_NE(stick, nullptr);
  SDL_JoystickSetVirtualAxis(stick, 0, 32767);
  SDL_JoystickSetVirtualAxis(stick, 1, -6000);  // inside the dead zone
  SDL_JoystickSetVirtualButton(stick, 2, 1);
  SDL_JoystickSetVirtualHat(stick, 0, SDL_HAT_RIGHT);
  ASSERT_TRUE(device->ReadState(state));
  EXPECT_EQ(state.x, 1000);
  EXPECT_EQ(state.y, 0);
  EXPECT_EQ(state.buttons[2], 0x80);
  EXPECT_EQ(state.buttons[0], 0);
  EXPECT_EQ(state.pov[0], 9000u);
  EXPECT_EQ(state.pov[1], 0xFFFFFFFFu);
  EXPECT_TRUE(event.IsSet());
  // A virtual joystick has no force feedback.
  EXPECT_EQ(device->CreateEffect({}), nullptr);

  ASSERT_EQ(SDL_JoystickDetachVirtual(IndexOf(id)), 0);
  EXPECT_FALSE(device->ReadState(state));
  EXPECT_FALSE(device->Acquire());
  EXPECT_EQ(device->CreateEffect({}), nullptr);
  device.reset();
  EXPECT_EQ(input.CreateJoystick(*info), nullptr);
  input.ReleaseInterface();
}

// The runtime on SDL's input host: seventeen controllers, none with force feedback, one pulled
// out while running.
class SdlInputRuntimeTest : public qr::testing::HeadlessRuntimeTest {};

TEST_F(SdlInputRuntimeTest, SeventeenVirtualControllersOneUnpluggedWhileRunning) {
  qr::platform::SdlInput input;
  host.platform.input = &input;
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);  // to attach before the runtime starts
  std::vector<SDL_JoystickID> ids;
  for (int i = 0; i < 17; ++i) {
    int index = AttachVirtual(2, 2, 0);
    ASSERT_GE(index, 0);
    ids.push_back(SDL_JoystickGetDeviceInstanceID(index));
  }
  ChangeWindowMode(1);
  ASSERT_EQ(RuntimeInit(), 0);
  auto& state = qr::input::Input();
  EXPECT_EQ(state.mode, qr::input::InputMode::Devices);
  EXPECT_EQ(state.padCount, 16);
  EXPECT_EQ(state.pads[0].constantEffect, nullptr);
  std::string log = ReadLog();
  EXPECT_NE(log.find("周期的エフェクトの作成に失敗しました。"), std::string::npos);

  SDL_JoystickDetachVirtual(IndexOf(ids[3]));
  state.pads[3].vibrationOn = 1;
  host.window.Push({qr::platform::MessageKind::Activate, 0, 0});
  host.window.Push({qr::platform::MessageKind::Activate, 1, 0});
  EXPECT_EQ(PumpMessages(), 0);
  EXPECT_EQ(IsKeyPressed(1), 0);
  EXPECT_EQ(GetMouseButtons(), 0);
  EXPECT_EQ(RuntimeEnd(), 0);
  EXPECT_EQ(state.padCount, 0);

  for (SDL_JoystickID id : ids)
    if (int index = IndexOf(id); index >= 0) SDL_JoystickDetachVirtual(index);
  SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

}  // namespace
