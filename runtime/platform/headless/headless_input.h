// Input devices that tests script: the keys, buttons and controllers the host has, the focus,
// and a failure switch for each step the runtime takes. What the runtime did to each device
// (format, level, acquisition, ranges, effects) is kept for the test to read back.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "platform/input_devices.h"

namespace qr::platform {

class HeadlessInput final : public InputDevices {
 public:
  // A keyboard or mouse as the runtime left it, and the failures it is to meet.
  struct Device {
    bool failCreate = false, failFormat = false, failCooperation = false, failBufferSize = false;
    NotifyResult notifyResult = NotifyResult::Accepted;
    int acquireFailures = 0;  // this many Acquire calls fail before they succeed again

    bool open = false, formatSet = false, acquired = false;
    std::optional<Cooperation> level;
    std::optional<int> bufferSize;
    ChangeEvent* event = nullptr;
    int reads = 0, acquireCalls = 0;
  };

  struct Effect {
    ForceEffectDescription description;
    bool live = true, playing = false;
  };

  // A game controller: its names and failure switches, then what the runtime did.
  struct Joystick {
    JoystickInfo info;
    bool attached = true;
    bool forceFeedback = true;
    bool failCreate = false, failFormat = false, failCooperation = false;
    std::optional<JoystickAxis> failRange, failDeadZone;
    NotifyResult notifyResult = NotifyResult::Accepted;
    JoystickState state;

    bool open = false, formatSet = false, acquired = false;
    std::optional<Cooperation> level;
    std::array<std::optional<std::pair<int, int>>, 4> ranges;  // by JoystickAxis
    std::array<std::optional<int>, 4> deadZones;
    ChangeEvent* event = nullptr;
    std::vector<Effect> effects;  // every effect made, in order
    int acquireCalls = 0, unacquireCalls = 0;
  };

  // The device interface: which versions exist, and whether preparing it fails.
  bool interface7 = true, interface8 = true;
  bool failInitialize7 = false, failInitialize8 = false;
  uint32_t createError = 0x80040154u;
  bool interfaceHeld = false;
  int interfaceCreates = 0;

  Device keyboard, mouse;
  uint8_t keys[kKeyStateSize] = {};  // by key code, 0x80 held
  uint8_t virtualKeys[256] = {};     // by virtual key, for the plain path
  MouseState mouseState;
  bool failVirtualKeys = false;
  int virtualKeyReads = 0;

  std::vector<Joystick> joysticks;         // the device interface's controllers
  std::vector<JoystickCaps> plainJoysticks;  // the plain path's ids 0, 1, ...
  int plainCapsQueries = 0;

  // Presses or releases a key (by key code), setting the keyboard's event as a real key does.
  // Like a real device, an acquired keyboard reports a key pressed since its previous read as
  // held once, even when it was released again before that read.
  void SetKey(int keyCode, bool down);
  // Presses or releases mouse button byte n (0 left, 1 right, 2 middle, ...); a press seen by
  // the acquired mouse is reported by its next read even when released before it. Writing
  // mouseState.buttons directly sets the held state alone.
  void SetMouseButton(int index, bool down);
  // What went down since the devices' previous reads (bit 7 per key code, bit n per button).
  uint8_t keysPressedSinceRead[kKeyStateSize] = {};
  uint8_t buttonsPressedSinceRead = 0;
  // Losing the focus takes the acquisition from every device.
  void SetFocus(bool focused);
  bool Focused() const { return focused_; }
  // Unplugs a controller: its device, if open, reads nothing from now on.
  void Unplug(size_t index);
  // Adds a controller with these names (CP932) and an id of its own.
  Joystick& AddJoystick(const std::string& name);
  // Devices and effects the runtime has not released.
  int LiveObjects() const;

  uint32_t CreateInterface(int version) override;
  bool InitializeInterface(int version) override;
  void ReleaseInterface() override { interfaceHeld = false; }
  std::unique_ptr<KeyboardDevice> CreateKeyboard() override;
  std::unique_ptr<MouseDevice> CreateMouse() override;
  std::vector<JoystickInfo> EnumerateJoysticks() override;
  std::unique_ptr<JoystickDevice> CreateJoystick(const JoystickInfo& joystick) override;
  bool ReadVirtualKeys(uint8_t (&state)[256]) override;
  bool JoystickCapabilities(int id, JoystickCaps& caps) override;

 private:
  bool focused_ = true;
  int nextJoystickId_ = 0;
};

}  // namespace qr::platform
