// Input devices on SDL2: the keyboard and mouse of the program's windows, SDL's joysticks and game
// controllers with their haptic effects, and the plain virtual-key state built from SDL's keys.
#pragma once

#include "platform/input_devices.h"

namespace qr::platform {

class SdlInput final : public InputDevices {
 public:
  ~SdlInput() override;

  uint32_t CreateInterface(int version) override;
  bool InitializeInterface(int version) override;
  void ReleaseInterface() override;
  std::unique_ptr<KeyboardDevice> CreateKeyboard() override;
  std::unique_ptr<MouseDevice> CreateMouse() override;
  std::vector<JoystickInfo> EnumerateJoysticks() override;
  std::unique_ptr<JoystickDevice> CreateJoystick(const JoystickInfo& joystick) override;
  bool ReadVirtualKeys(uint8_t (&state)[256]) override;
  bool JoystickCapabilities(int id, JoystickCaps& caps) override;

 private:
  bool StartJoysticks();
  void StopJoysticks();

  bool eventsStarted_ = false;
  bool interfaceHeld_ = false;
  int joystickStarts_ = 0;  // SDL counts starts of its subsystems; so do we, to stop as often
  bool hapticStarted_ = false;
};

}  // namespace qr::platform
