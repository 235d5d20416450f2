// Keyboard, mouse and joypads as the runtime reads them.
//
// Two ways in. The device interface: an interface object that makes devices (the keyboard with its
// 256-byte state indexed by the runtime's key codes, the mouse with three axes and eight buttons,
// one device per game controller with axis ranges, dead zones and force-feedback effects), each
// with a data format, a cooperative level, acquisition and change notification. The plain path,
// for hosts without the device interface: the virtual-key keyboard state and joystick
// capabilities by id.
//
// The implementations only do what they are asked and report success or failure; retries, log
// lines and fallbacks belong to the runtime.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qr::platform {

// The keyboard state: one byte per key code, bit 7 (0x80) set while the key is down.
constexpr int kKeyStateSize = 256;

// The mouse state in the extended mouse format: movement since the last read on three axes, then
// eight button bytes (0x80 while held): left, right, middle, then the fourth to eighth buttons.
struct MouseState {
  int32_t x = 0, y = 0, z = 0;
  uint8_t buttons[8] = {};
};
static_assert(sizeof(MouseState) == 20, "the extended mouse format is 20 bytes");

// The state of a game controller in the standard joystick format: absolute axes in the range set
// for them, two sliders, four hat switches (hundredths of a degree clockwise from up, 0xFFFFFFFF
// centred) and 32 button bytes.
struct JoystickState {
  int32_t x = 0, y = 0, z = 0;
  int32_t rx = 0, ry = 0, rz = 0;
  int32_t sliders[2] = {};
  uint32_t pov[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
  uint8_t buttons[32] = {};
};
static_assert(sizeof(JoystickState) == 80, "the standard joystick format is 80 bytes");

// The two cooperative levels the runtime asks for.
enum class Cooperation {
  NonExclusiveBackground,  // shared with other programs, readable while the window is inactive
  ExclusiveForeground,     // this program only, and only while its window has the focus
};

// Answer to handing a device a change event.
enum class NotifyResult {
  Accepted,
  Polled,  // accepted; the device is polled, so the event is set on reads rather than on changes
  Refused,
};

// A manual-reset event: set by a device on every change of its state, cleared only by Reset.
class ChangeEvent {
 public:
  void Set() { set_.store(true); }
  void Reset() { set_.store(false); }
  bool IsSet() const { return set_.load(); }

 private:
  std::atomic<bool> set_{false};
};

// What every device offers. Destroying the object releases the device.
class InputDevice {
 public:
  virtual ~InputDevice() = default;
  // Selects the standard data format of the device's kind (keyboard 256 bytes, mouse 20 bytes,
  // joystick 80 bytes).
  virtual bool SetDataFormat() = 0;
  virtual bool SetCooperativeLevel(Cooperation level) = 0;
  // A device is read only while acquired; it loses the acquisition when the program loses the
  // focus. Acquiring an exclusive foreground device fails while the program has no focus.
  virtual bool Acquire() = 0;
  virtual void Unacquire() = 0;
  // The event to set on every change; null removes it. The event must outlive its use.
  virtual NotifyResult SetEventNotification(ChangeEvent* event) = 0;
};

class KeyboardDevice : public InputDevice {
 public:
  // Number of key events the device keeps for buffered reads.
  virtual bool SetBufferSize(int events) = 0;
  // False, leaving state as it was, when the device is not acquired.
  virtual bool ReadState(uint8_t (&state)[kKeyStateSize]) = 0;
};

class MouseDevice : public InputDevice {
 public:
  virtual bool ReadState(MouseState& state) = 0;
};

// Axes of the joystick format that take ranges and dead zones.
enum class JoystickAxis { X, Y, Z, Rz };

// A force-feedback effect on X and Y with infinite duration. Times in microseconds, levels and
// gain in ten-thousandths.
struct ForceEffectDescription {
  enum class Kind { Constant, Sine } kind = Kind::Constant;
  bool polarDirection = false;  // Sine uses polar direction 0, Constant Cartesian (0, 0)
  int gain = 10000;
  int magnitude = 10000;
  // Sine only.
  int period = 0, phase = 0, offset = 0;
  bool hasEnvelope = false;
  int attackLevel = 0, attackTime = 0, fadeLevel = 0, fadeTime = 0;
};

// Destroying the object releases the effect.
class ForceEffect {
 public:
  virtual ~ForceEffect() = default;
  virtual bool Start() = 0;
  virtual bool Stop() = 0;
  virtual bool Playing() = 0;
};

class JoystickDevice : public InputDevice {
 public:
  virtual bool SetAxisRange(JoystickAxis axis, int minimum, int maximum) = 0;
  // Ten-thousandths of the range around the centre that read as the centre.
  virtual bool SetAxisDeadZone(JoystickAxis axis, int tenThousandths) = 0;
  // Null when the controller has no force feedback of that kind.
  virtual std::unique_ptr<ForceEffect> CreateEffect(const ForceEffectDescription& effect) = 0;
  // False when not acquired or when the controller was unplugged.
  virtual bool ReadState(JoystickState& state) = 0;
};

// An attached game controller as the enumeration finds it. Names are CP932 bytes.
struct JoystickInfo {
  int id = 0;  // stays with the controller while it is attached
  std::string instanceName;
  std::string productName;
};

// Capabilities of a joystick through the plain path.
struct JoystickCaps {
  std::string productName;  // CP932
  int axisCount = 0, buttonCount = 0;
  bool hasZ = false, hasR = false, hasU = false, hasV = false, hasPov = false;
};

class InputDevices {
 public:
  virtual ~InputDevices() = default;

  // The device interface, in the version asked for (7 or 8): 0 when it was made, else an error
  // code. Initialize prepares it for this program; Release drops it.
  virtual uint32_t CreateInterface(int version) = 0;
  virtual bool InitializeInterface(int version) = 0;
  virtual void ReleaseInterface() = 0;

  // The system keyboard and mouse; null when they cannot be made.
  virtual std::unique_ptr<KeyboardDevice> CreateKeyboard() = 0;
  virtual std::unique_ptr<MouseDevice> CreateMouse() = 0;
  // The attached game controllers, in the order found, and a device for one of them (null when
  // it cannot be made, for example because it was unplugged meanwhile).
  virtual std::vector<JoystickInfo> EnumerateJoysticks() = 0;
  virtual std::unique_ptr<JoystickDevice> CreateJoystick(const JoystickInfo& joystick) = 0;

  // The plain path. The keyboard state by virtual-key code (bit 7 while down, bit 0 toggled for
  // the lock keys), mouse buttons included as virtual keys 1, 2, 4, 5 and 6.
  virtual bool ReadVirtualKeys(uint8_t (&state)[256]) = 0;
  // Capabilities of the joystick with that id (0, 1, 2, ...); false when there is none.
  virtual bool JoystickCapabilities(int id, JoystickCaps& caps) = 0;
};

}  // namespace qr::platform
