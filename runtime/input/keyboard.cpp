// The keyboard state: read from the keyboard device when there is one, else built from the
// virtual-key state through KeyConversionTable; read anew at most once per millisecond.
#include <cstring>

#include "core/lifecycle.h"
#include "core/main_window.h"
#include "input/input_state.h"
#include "platform/platform.h"
#include "qr.h"

namespace qr::input {

namespace {

constexpr int kOsVista = 0x108;
constexpr int kOsWindows7 = 0x109;
constexpr int kVirtualKeyRightShift = 0xA1;
constexpr int kKeyRightShift = 0x36;

bool UseKeyboardDevice() {
  const InputState& s = Input();
  int os = core::Lifecycle().osCode;
  return !s.noDeviceInterface && s.keyboardDevice && os != kOsVista && os != kOsWindows7;
}

int RefreshFromDevice(uint32_t now) {
  InputState& s = Input();
  bool signalled = s.keyboardEvent && s.keyboardEvent->IsSet();
  if (now == s.lastKeyRefresh && !signalled) return 0;
  if (core::PumpMessagesUnguarded() != 0) return 0;
  // The window procedure may have shut input down while the pump ran.
  if (s.mode != InputMode::Devices || !s.keyboardDevice) return 0;

  platform::KeyboardDevice& keyboard = *s.keyboardDevice;
  uint8_t fresh[platform::kKeyStateSize];
  if (!keyboard.ReadState(fresh)) {
    if (!keyboard.Acquire() || !keyboard.ReadState(fresh)) return 0;
  }
  std::memcpy(s.keyState, fresh, sizeof fresh);
  s.lastKeyRefresh = now;
  if (s.keyboardEvent && s.keyboardEvent->IsSet()) s.keyboardEvent->Reset();

  // Right Shift is taken from the virtual-key state.
  uint8_t virtualKeys[256];
  if (platform::InputDevices* devices = platform::Current().input;
      devices && devices->ReadVirtualKeys(virtualKeys))
    s.keyState[kKeyRightShift] = virtualKeys[kVirtualKeyRightShift];
  return 1;
}

int RefreshFromVirtualKeys(uint32_t now) {
  InputState& s = Input();
  if (now == s.lastKeyRefresh) return 0;
  s.lastKeyRefresh = now;
  if (core::PumpMessagesUnguarded() != 0) return 0;

  uint8_t virtualKeys[256];
  platform::InputDevices* devices = platform::Current().input;
  if (!devices || !devices->ReadVirtualKeys(virtualKeys)) return 0;
  std::memset(s.keyState, 0, sizeof s.keyState);
  for (const KeyConversion* row = KeyConversionTable; row->virtualKey != 0xFFFF; ++row)
    s.keyState[row->keyCode] = virtualKeys[row->virtualKey];
  return 1;
}

}  // namespace

int RefreshKeyState() {
  uint32_t now = platform::Current().clock->Milliseconds();
  return UseKeyboardDevice() ? RefreshFromDevice(now) : RefreshFromVirtualKeys(now);
}

}  // namespace qr::input

int IsKeyPressed(int keyCode) {
  using namespace qr::input;
  qr::core::WaitWhileInactive();
  if (Input().mode == InputMode::NotStarted) {
    if (qr::core::MainWindow().endRequested) return 0;
    // Input starts on this call; the key is read from the next one on.
    return InitInput();
  }
  RefreshKeyState();
  if (keyCode < 0 || keyCode >= qr::platform::kKeyStateSize) return 0;
  return (Input().keyState[keyCode] & 0x80) ? 1 : 0;
}
