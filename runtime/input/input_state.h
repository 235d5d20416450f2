// The state of keyboard, mouse and joypad input: one record for the process, and the internal
// calls of start-up, shut-down and the window procedure.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/input_devices.h"

namespace qr::input {

constexpr int kMaxPads = 16;

struct PadRecord {
  std::unique_ptr<platform::JoystickDevice> device;
  std::unique_ptr<platform::ForceEffect> constantEffect;
  std::unique_ptr<platform::ForceEffect> sineEffect;
  std::unique_ptr<platform::ChangeEvent> event;
  platform::JoystickState state;
  int hasZAndR = 0;  // plain path: the joystick reports both a Z and an R axis
  // Requested vibration (strength 0..10000) and whether each effect plays. Nothing in the runtime
  // requests vibration yet, so both effects stay stopped.
  int vibrationOn = 0;
  int vibrationStrength = 0;
  int constantPlaying = 0;
  int sinePlaying = 0;
  char instanceName[260] = {};
  char productName[260] = {};
};

// Where the runtime stands with input.
enum class InputMode {
  NotStarted,
  Devices,  // the device interface is in use
  Plain,    // started without it: the virtual-key state and the plain joystick count
};

struct InputState {
  int noDeviceInterface = 0;  // kept across InitInput: once set, the plain path for good
  int version8 = 0;
  InputMode mode = InputMode::NotStarted;
  bool interfaceHeld = false;  // the platform's interface object exists
  std::unique_ptr<platform::MouseDevice> mouseDevice;
  std::unique_ptr<platform::KeyboardDevice> keyboardDevice;
  std::unique_ptr<platform::ChangeEvent> keyboardEvent;
  uint32_t lastKeyRefresh = 0;
  uint8_t keyState[platform::kKeyStateSize] = {};
  int padCount = 0;
  PadRecord pads[kMaxPads];
};

InputState& Input();

// Start-up and shut-down of input. InitInput: 0 up (or already up), 1 when the keyboard's change
// notification could not be set up; a device that cannot be made at all ends the program.
int InitInput();
int EndInput();
// Reads the keyboard anew, at most once per millisecond unless the keyboard signalled a change:
// 1 when keyState was read, 0 when it was left as it was.
int RefreshKeyState();
// The window's activation changed: acquire the keyboard and the joypads again.
int ReacquireInputDevices();

// Joypads through the device interface: set up every attached controller (at most 16), release
// them. -1 when the device interface is not in use.
int SetupJoypads();
int EndJoypads();
// Plain path: counts the joysticks by id; returns the number found.
int CountPlainJoysticks();
// Starts or stops each pad's effects after an activation change.
void RefreshPadEffects();

// Key code of each virtual key for the plain path, in the order read.
struct KeyConversion {
  uint16_t virtualKey;
  uint8_t keyCode;
};
extern const KeyConversion KeyConversionTable[];

}  // namespace qr::input
