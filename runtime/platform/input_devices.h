// Keyboard, mouse and joypads as the runtime reads them: a device-style interface (256-byte key
// state, mouse state with eight buttons, joysticks with ranges, dead zones and effects) and the
// plain fallback (the virtual-key keyboard state and joystick capabilities by id).
#pragma once

#include <cstdint>
#include <string>

namespace qr::platform {

struct MouseState {
  int dx = 0, dy = 0, wheel = 0;
  uint8_t buttons[8] = {};  // 0x80 when held
};

struct JoystickState {
  int axes[6] = {};            // x, y, z, rx, ry, rz after range and dead zone
  int pov[4] = {-1, -1, -1, -1};  // hundredths of a degree, -1 centred
  uint8_t buttons[32] = {};   // 0x80 when held
};

struct JoystickCaps {
  int buttonCount = 0;
  int xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

class InputDevices {
 public:
  virtual ~InputDevices() = default;

  // Whether the device interface exists at all; without it the runtime takes the fallback path.
  virtual bool DeviceInterfaceAvailable() = 0;

  // Keyboard device: state indexed by the runtime's key codes.
  virtual bool OpenKeyboard(int bufferSize) = 0;
  virtual void CloseKeyboard() = 0;
  virtual bool AcquireKeyboard() = 0;
  virtual void UnacquireKeyboard() = 0;
  virtual bool ReadKeyboard(uint8_t state[256]) = 0;  // false when the device cannot be read
  virtual bool KeyboardSignalled() = 0;  // a key changed since the last call

  // Mouse device.
  virtual bool OpenMouse() = 0;
  virtual void CloseMouse() = 0;
  virtual bool AcquireMouse() = 0;
  virtual void UnacquireMouse() = 0;
  virtual bool ReadMouse(MouseState& state) = 0;

  // Joysticks, at most 16, numbered from 0 in the order found.
  virtual int JoystickCount() = 0;
  virtual std::string JoystickName(int index) = 0;
  virtual bool OpenJoystick(int index) = 0;
  virtual void CloseJoystick(int index) = 0;
  virtual bool SetJoystickRange(int index, int minimum, int maximum) = 0;
  virtual bool SetJoystickDeadZone(int index, int tenThousandths) = 0;
  virtual bool AcquireJoystick(int index) = 0;
  virtual void UnacquireJoystick(int index) = 0;
  virtual bool ReadJoystick(int index, JoystickState& state) = 0;
  virtual bool HasForceFeedback(int index) = 0;
  virtual bool StartEffect(int index, int effect, int strength) = 0;
  virtual void StopEffect(int index, int effect) = 0;

  // Fallback path: Windows-style virtual-key state (0x80 held) and joystick capabilities by id.
  virtual bool ReadVirtualKeys(uint8_t state[256]) = 0;
  virtual int FallbackJoystickCount() = 0;
  virtual bool FallbackJoystickCaps(int id, JoystickCaps& caps) = 0;
};

}  // namespace qr::platform
