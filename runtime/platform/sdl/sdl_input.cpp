#include "platform/sdl/sdl_input.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "platform/encoding.h"
#include "platform/sdl/sdl_key_tables.h"
#include "platform/sdl/x11_pointer.h"

namespace qr::platform {

namespace {

constexpr uint32_t kGeneralFailure = 0x80004005u;
constexpr int kWheelStep = 120;  // one notch of the wheel on the z axis

bool VideoUp() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

// Lets SDL take in what the host has for it, as a device would see it arrive.
void PumpHost() {
  if (SDL_WasInit(SDL_INIT_EVENTS)) SDL_PumpEvents();
}

bool ProgramHasFocus() { return VideoUp() && SDL_GetKeyboardFocus() != nullptr; }

bool JapaneseLayout() {
  return SDL_GetKeyFromScancode(SDL_SCANCODE_LEFTBRACKET) == SDLK_AT ||
         SDL_GetKeyFromScancode(SDL_SCANCODE_APOSTROPHE) == SDLK_COLON;
}

// SDL's mouse buttons, left, middle, right, X1, X2, ..., as the bytes left, right, middle, ...
uint32_t MouseButtonMask() {
  uint32_t mask = SDL_GetMouseState(nullptr, nullptr);
  if (!VideoUp()) return mask;
  int x = 0, y = 0;
  uint32_t pointer = 0;
  if (x11::QueryPointer(x, y, pointer)) return mask | pointer;
  return mask | SDL_GetGlobalMouseState(nullptr, nullptr);
}

// Where the pointer is on the desktop.
void PointerPosition(int& x, int& y) {
  uint32_t buttons = 0;
  if (!x11::QueryPointer(x, y, buttons)) SDL_GetGlobalMouseState(&x, &y);
}
int ButtonByteFor(int sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    default: return sdlButton - 1;  // X1 is the fourth button, X2 the fifth, and so on
  }
}

// What every device here shares: format, level, acquisition that the loss of the focus takes
// away, the change event, and an SDL event watch for as long as the device lives.
class DeviceCore {
 public:
  DeviceCore() { SDL_AddEventWatch(&DeviceCore::Watch, this); }
  virtual ~DeviceCore() { StopWatching(); }
  DeviceCore(const DeviceCore&) = delete;
  DeviceCore& operator=(const DeviceCore&) = delete;

 protected:
  // Each device stops the watch first thing in its destructor, so that no event reaches a
  // device that is half gone.
  void StopWatching() {
    if (watching_) SDL_DelEventWatch(&DeviceCore::Watch, this);
    watching_ = false;
  }
  bool CoreAcquire() {
    if (!formatSet_) return false;
    if (level_ == Cooperation::ExclusiveForeground && !ProgramHasFocus()) return false;
    acquired_ = true;
    return true;
  }
  void Signal() {
    if (ChangeEvent* e = event_.load()) e->Set();
  }
  // Called for every event SDL takes in; true when it concerns this device.
  virtual bool Concerns(const SDL_Event& event) = 0;

  std::atomic<bool> acquired_{false};
  std::atomic<ChangeEvent*> event_{nullptr};
  bool formatSet_ = false;
  Cooperation level_ = Cooperation::NonExclusiveBackground;

 private:
  bool watching_ = true;
  static int Watch(void* self, SDL_Event* event) {
    auto* device = static_cast<DeviceCore*>(self);
    if (event->type == SDL_WINDOWEVENT && event->window.event == SDL_WINDOWEVENT_FOCUS_LOST)
      device->acquired_ = false;
    else if (device->Concerns(*event))
      device->Signal();
    return 1;
  }
};

class SdlKeyboard final : public KeyboardDevice, DeviceCore {
 public:
  ~SdlKeyboard() override { StopWatching(); }
  bool SetDataFormat() override { return formatSet_ = true; }
  bool SetCooperativeLevel(Cooperation level) override {
    level_ = level;
    return true;
  }
  bool Acquire() override { return CoreAcquire(); }
  void Unacquire() override { acquired_ = false; }
  NotifyResult SetEventNotification(ChangeEvent* event) override {
    event_ = event;
    return NotifyResult::Accepted;
  }
  bool SetBufferSize(int events) override {
    if (events < 0) return false;
    bufferSize_ = events;
    return true;
  }
  // A key that went down since the previous read counts as held on this read, even when it is
  // up again: a short tap between two reads is not lost.
  bool ReadState(uint8_t (&state)[kKeyStateSize]) override {
    if (!acquired_) return false;
    PumpHost();
    if (!acquired_) return false;  // the focus went while SDL took in its events
    int count = 0;
    const Uint8* keys = SDL_GetKeyboardState(&count);
    bool japanese = JapaneseLayout();
    std::memset(state, 0, sizeof state);
    for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode) {
      bool pressed = pressedSinceRead_[scancode].exchange(false);
      if (!pressed && !(scancode < count && keys[scancode])) continue;
      int code = sdl_keys::KeyCodeForScancode(scancode, japanese);
      if (code != 0) state[code] = 0x80;
    }
    return true;
  }

 private:
  bool Concerns(const SDL_Event& event) override {
    if (event.type == SDL_KEYDOWN && acquired_ && event.key.keysym.scancode >= 0 &&
        event.key.keysym.scancode < SDL_NUM_SCANCODES)
      pressedSinceRead_[event.key.keysym.scancode] = true;
    return event.type == SDL_KEYDOWN || event.type == SDL_KEYUP;
  }
  int bufferSize_ = 0;
  std::atomic<bool> pressedSinceRead_[SDL_NUM_SCANCODES] = {};
};

class SdlMouse final : public MouseDevice, DeviceCore {
 public:
  ~SdlMouse() override { StopWatching(); }
  bool SetDataFormat() override { return formatSet_ = true; }
  bool SetCooperativeLevel(Cooperation level) override {
    level_ = level;
    return true;
  }
  bool Acquire() override {
    if (!CoreAcquire()) return false;
    if (VideoUp()) PointerPosition(lastX_, lastY_);
    return true;
  }
  void Unacquire() override { acquired_ = false; }
  NotifyResult SetEventNotification(ChangeEvent* event) override {
    event_ = event;
    return NotifyResult::Accepted;
  }
  bool ReadState(MouseState& state) override {
    if (!acquired_) return false;
    PumpHost();
    if (!acquired_) return false;
    state = MouseState{};
    if (VideoUp()) {
      int x = 0, y = 0;
      PointerPosition(x, y);
      state.x = x - lastX_;
      state.y = y - lastY_;
      lastX_ = x;
      lastY_ = y;
    }
    state.z = wheel_.exchange(0);
    uint32_t mask = MouseButtonMask();
    for (int button = 1; button <= 32; ++button) {
      int index = ButtonByteFor(button);
      if (index < 8 && (mask & SDL_BUTTON(button))) state.buttons[index] = 0x80;
    }
    // A button that went down since the previous read counts as held once, even when it is up
    // again: a tap, or a click sent as press and release at once, is not lost.
    uint32_t pressed = pressedSinceRead_.exchange(0);
    for (int index = 0; index < 8; ++index)
      if (pressed & (1u << index)) state.buttons[index] = 0x80;
    return true;
  }

 private:
  bool Concerns(const SDL_Event& event) override {
    if (event.type == SDL_MOUSEWHEEL) wheel_ += event.wheel.y * kWheelStep;
    if (event.type == SDL_MOUSEBUTTONDOWN && acquired_) {
      int index = ButtonByteFor(event.button.button);
      if (index >= 0 && index < 8) pressedSinceRead_ |= 1u << index;
    }
    return event.type == SDL_MOUSEMOTION || event.type == SDL_MOUSEBUTTONDOWN ||
           event.type == SDL_MOUSEBUTTONUP || event.type == SDL_MOUSEWHEEL;
  }
  std::atomic<int> wheel_{0};
  std::atomic<uint32_t> pressedSinceRead_{0};  // bit n: button byte n went down
  int lastX_ = 0, lastY_ = 0;
};

// A haptic device stays open while the joystick or one of its effects needs it.
struct Haptic {
  SDL_Haptic* device = nullptr;
  ~Haptic() {
    if (device) SDL_HapticClose(device);
  }
};

Sint16 Level(int tenThousandths) {
  return Sint16(std::clamp(tenThousandths, -10000, 10000) * 32767 / 10000);
}
Uint16 Milliseconds(int microseconds) { return Uint16(std::clamp(microseconds / 1000, 0, 65535)); }

class SdlEffect final : public ForceEffect {
 public:
  SdlEffect(std::shared_ptr<Haptic> haptic, int id) : haptic_(std::move(haptic)), id_(id) {}
  ~SdlEffect() override { SDL_HapticDestroyEffect(haptic_->device, id_); }
  bool Start() override {
    playing_ = SDL_HapticRunEffect(haptic_->device, id_, 1) == 0;
    return playing_;
  }
  bool Stop() override {
    playing_ = false;
    return SDL_HapticStopEffect(haptic_->device, id_) == 0;
  }
  bool Playing() override {
    if (SDL_HapticQuery(haptic_->device) & SDL_HAPTIC_STATUS)
      return SDL_HapticGetEffectStatus(haptic_->device, id_) == 1;
    return playing_;
  }

 private:
  std::shared_ptr<Haptic> haptic_;
  int id_;
  bool playing_ = false;
};

class SdlJoystick final : public JoystickDevice, DeviceCore {
 public:
  SdlJoystick(SDL_Joystick* joystick, SDL_GameController* controller)
      : joystick_(joystick), controller_(controller), id_(SDL_JoystickInstanceID(joystick)) {}
  ~SdlJoystick() override {
    StopWatching();
    haptic_.reset();
    if (controller_)
      SDL_GameControllerClose(controller_);
    else
      SDL_JoystickClose(joystick_);
  }

  bool SetDataFormat() override { return formatSet_ = true; }
  bool SetCooperativeLevel(Cooperation level) override {
    level_ = level;
    return true;
  }
  bool Acquire() override { return SDL_JoystickGetAttached(joystick_) && CoreAcquire(); }
  void Unacquire() override { acquired_ = false; }
  NotifyResult SetEventNotification(ChangeEvent* event) override {
    event_ = event;
    return NotifyResult::Accepted;
  }
  bool SetAxisRange(JoystickAxis axis, int minimum, int maximum) override {
    if (minimum >= maximum) return false;
    Setting(axis).minimum = minimum;
    Setting(axis).maximum = maximum;
    return true;
  }
  bool SetAxisDeadZone(JoystickAxis axis, int tenThousandths) override {
    if (tenThousandths < 0 || tenThousandths > 10000) return false;
    Setting(axis).deadZone = tenThousandths;
    return true;
  }
  std::unique_ptr<ForceEffect> CreateEffect(const ForceEffectDescription& wanted) override;
  bool ReadState(JoystickState& state) override;

 private:
  struct AxisSetting {
    int minimum = 0, maximum = 65535, deadZone = 0;
  };
  AxisSetting& Setting(JoystickAxis axis) {
    switch (axis) {
      case JoystickAxis::X: return axes_[0];
      case JoystickAxis::Y: return axes_[1];
      case JoystickAxis::Z: return axes_[2];
      case JoystickAxis::Rz: return axes_[5];
    }
    return axes_[0];
  }
  // An SDL axis value in the range and dead zone of the setting.
  static int32_t Scale(int raw, const AxisSetting& s) {
    double t = std::clamp(raw / 32767.0, -1.0, 1.0);
    double zone = s.deadZone / 10000.0;
    if (std::fabs(t) <= zone)
      t = 0;
    else
      t = (t > 0 ? 1 : -1) * (std::fabs(t) - zone) / (1.0 - zone);
    return int32_t(std::lround(s.minimum + (t + 1.0) / 2.0 * (double(s.maximum) - s.minimum)));
  }
  static uint32_t Pov(Uint8 hat) {
    switch (hat) {
      case SDL_HAT_UP: return 0;
      case SDL_HAT_RIGHTUP: return 4500;
      case SDL_HAT_RIGHT: return 9000;
      case SDL_HAT_RIGHTDOWN: return 13500;
      case SDL_HAT_DOWN: return 18000;
      case SDL_HAT_LEFTDOWN: return 22500;
      case SDL_HAT_LEFT: return 27000;
      case SDL_HAT_LEFTUP: return 31500;
      default: return 0xFFFFFFFFu;
    }
  }
  bool Concerns(const SDL_Event& event) override {
    switch (event.type) {
      case SDL_JOYAXISMOTION: return event.jaxis.which == id_;
      case SDL_JOYBALLMOTION: return event.jball.which == id_;
      case SDL_JOYHATMOTION: return event.jhat.which == id_;
      case SDL_JOYBUTTONDOWN:
      case SDL_JOYBUTTONUP: return event.jbutton.which == id_;
      case SDL_JOYDEVICEREMOVED:
        if (event.jdevice.which == id_) acquired_ = false;
        return false;
      default: return false;
    }
  }

  SDL_Joystick* joystick_;
  SDL_GameController* controller_;
  SDL_JoystickID id_;
  AxisSetting axes_[6];
  std::shared_ptr<Haptic> haptic_;
  bool hapticTried_ = false;
};

std::unique_ptr<ForceEffect> SdlJoystick::CreateEffect(const ForceEffectDescription& wanted) {
  if (!SDL_JoystickGetAttached(joystick_)) return nullptr;
  if (!hapticTried_) {
    hapticTried_ = true;
    if (SDL_WasInit(SDL_INIT_HAPTIC) && SDL_JoystickIsHaptic(joystick_) == 1) {
      if (SDL_Haptic* device = SDL_HapticOpenFromJoystick(joystick_)) {
        haptic_ = std::make_shared<Haptic>();
        haptic_->device = device;
      }
    }
  }
  if (!haptic_) return nullptr;
  unsigned features = SDL_HapticQuery(haptic_->device);
  SDL_HapticEffect effect;
  std::memset(&effect, 0, sizeof effect);
  if (wanted.kind == ForceEffectDescription::Kind::Sine) {
    if (!(features & SDL_HAPTIC_SINE)) return nullptr;
    SDL_HapticPeriodic& p = effect.periodic;
    p.type = SDL_HAPTIC_SINE;
    p.direction.type = wanted.polarDirection ? SDL_HAPTIC_POLAR : SDL_HAPTIC_CARTESIAN;
    p.length = SDL_HAPTIC_INFINITY;
    p.period = Milliseconds(wanted.period);
    p.magnitude = Level(wanted.magnitude * wanted.gain / 10000);
    p.offset = Level(wanted.offset);
    p.phase = Uint16(std::clamp(wanted.phase, 0, 35999));
    if (wanted.hasEnvelope) {
      p.attack_length = Milliseconds(wanted.attackTime);
      p.attack_level = Uint16(Level(wanted.attackLevel));
      p.fade_length = Milliseconds(wanted.fadeTime);
      p.fade_level = Uint16(Level(wanted.fadeLevel));
    }
  } else {
    if (!(features & SDL_HAPTIC_CONSTANT)) return nullptr;
    SDL_HapticConstant& c = effect.constant;
    c.type = SDL_HAPTIC_CONSTANT;
    c.direction.type = wanted.polarDirection ? SDL_HAPTIC_POLAR : SDL_HAPTIC_CARTESIAN;
    c.length = SDL_HAPTIC_INFINITY;
    c.level = Level(wanted.magnitude * wanted.gain / 10000);
  }
  int id = SDL_HapticNewEffect(haptic_->device, &effect);
  if (id < 0) return nullptr;
  return std::make_unique<SdlEffect>(haptic_, id);
}

bool SdlJoystick::ReadState(JoystickState& state) {
  if (!acquired_ || !SDL_JoystickGetAttached(joystick_)) return false;
  PumpHost();
  if (!acquired_ || !SDL_JoystickGetAttached(joystick_)) return false;
  state = JoystickState{};
  int32_t* axes[6] = {&state.x, &state.y, &state.z, &state.rx, &state.ry, &state.rz};
  if (controller_) {
    // A game controller in the usual layout: left stick X/Y, triggers on Z, right stick Rx/Ry.
    auto axis = [this](SDL_GameControllerAxis a) { return SDL_GameControllerGetAxis(controller_, a); };
    int raw[6] = {axis(SDL_CONTROLLER_AXIS_LEFTX), axis(SDL_CONTROLLER_AXIS_LEFTY),
                  (axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT) - axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT)),
                  axis(SDL_CONTROLLER_AXIS_RIGHTX), axis(SDL_CONTROLLER_AXIS_RIGHTY), 0};
    for (int i = 0; i < 6; ++i) *axes[i] = Scale(raw[i], axes_[i]);
    const SDL_GameControllerButton order[] = {
        SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_X,
        SDL_CONTROLLER_BUTTON_Y, SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
        SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, SDL_CONTROLLER_BUTTON_BACK,
        SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_LEFTSTICK,
        SDL_CONTROLLER_BUTTON_RIGHTSTICK, SDL_CONTROLLER_BUTTON_GUIDE};
    for (size_t i = 0; i < std::size(order); ++i)
      if (SDL_GameControllerGetButton(controller_, order[i])) state.buttons[i] = 0x80;
    Uint8 hat = 0;
    if (SDL_GameControllerGetButton(controller_, SDL_CONTROLLER_BUTTON_DPAD_UP)) hat |= SDL_HAT_UP;
    if (SDL_GameControllerGetButton(controller_, SDL_CONTROLLER_BUTTON_DPAD_DOWN)) hat |= SDL_HAT_DOWN;
    if (SDL_GameControllerGetButton(controller_, SDL_CONTROLLER_BUTTON_DPAD_LEFT)) hat |= SDL_HAT_LEFT;
    if (SDL_GameControllerGetButton(controller_, SDL_CONTROLLER_BUTTON_DPAD_RIGHT)) hat |= SDL_HAT_RIGHT;
    state.pov[0] = Pov(hat);
    return true;
  }
  int axisCount = std::max(0, SDL_JoystickNumAxes(joystick_));
  for (int i = 0; i < 6; ++i) *axes[i] = Scale(i < axisCount ? SDL_JoystickGetAxis(joystick_, i) : 0, axes_[i]);
  for (int i = 6; i < 8 && i < axisCount; ++i)
    state.sliders[i - 6] = Scale(SDL_JoystickGetAxis(joystick_, i), AxisSetting{});
  int hats = std::min(4, std::max(0, SDL_JoystickNumHats(joystick_)));
  for (int i = 0; i < hats; ++i) state.pov[i] = Pov(SDL_JoystickGetHat(joystick_, i));
  int buttons = std::min(32, std::max(0, SDL_JoystickNumButtons(joystick_)));
  for (int i = 0; i < buttons; ++i)
    if (SDL_JoystickGetButton(joystick_, i)) state.buttons[i] = 0x80;
  return true;
}

// The device index of a joystick instance, or -1 when it is no longer attached.
int DeviceIndexOf(SDL_JoystickID id) {
  int count = SDL_NumJoysticks();
  for (int i = 0; i < count; ++i)
    if (SDL_JoystickGetDeviceInstanceID(i) == id) return i;
  return -1;
}

std::string NameOr(const char* utf8) { return Utf8ToCp932(utf8 ? utf8 : ""); }

}  // namespace

SdlInput::~SdlInput() {
  while (joystickStarts_ > 0) StopJoysticks();
  if (eventsStarted_) SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

bool SdlInput::StartJoysticks() {
  // Controllers are read while the window is in the background, as the background level asks.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return false;
  ++joystickStarts_;
  if (!hapticStarted_) hapticStarted_ = SDL_InitSubSystem(SDL_INIT_HAPTIC) == 0;
  return true;
}

void SdlInput::StopJoysticks() {
  if (joystickStarts_ == 0) return;
  SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  --joystickStarts_;
  if (joystickStarts_ == 0 && hapticStarted_) {
    SDL_QuitSubSystem(SDL_INIT_HAPTIC);
    hapticStarted_ = false;
  }
}

uint32_t SdlInput::CreateInterface(int version) {
  if (version != 7 && version != 8) return kGeneralFailure;
  if (!eventsStarted_) eventsStarted_ = SDL_InitSubSystem(SDL_INIT_EVENTS) == 0;
  if (!eventsStarted_) return kGeneralFailure;
  interfaceHeld_ = true;
  return 0;
}

bool SdlInput::InitializeInterface(int) {
  if (!interfaceHeld_) return false;
  StartJoysticks();  // without controllers the keyboard and mouse still work
  return true;
}

void SdlInput::ReleaseInterface() {
  if (!interfaceHeld_) return;
  interfaceHeld_ = false;
  StopJoysticks();
}

std::unique_ptr<KeyboardDevice> SdlInput::CreateKeyboard() {
  if (!interfaceHeld_) return nullptr;
  return std::make_unique<SdlKeyboard>();
}

std::unique_ptr<MouseDevice> SdlInput::CreateMouse() {
  if (!interfaceHeld_) return nullptr;
  return std::make_unique<SdlMouse>();
}

std::vector<JoystickInfo> SdlInput::EnumerateJoysticks() {
  std::vector<JoystickInfo> found;
  if (!interfaceHeld_ || joystickStarts_ == 0) return found;
  PumpHost();
  int count = SDL_NumJoysticks();
  for (int i = 0; i < count; ++i) {
    JoystickInfo info;
    info.id = SDL_JoystickGetDeviceInstanceID(i);
    if (info.id < 0) continue;
    info.instanceName = NameOr(SDL_JoystickNameForIndex(i));
    info.productName = SDL_IsGameController(i) ? NameOr(SDL_GameControllerNameForIndex(i))
                                               : info.instanceName;
    found.push_back(info);
  }
  return found;
}

std::unique_ptr<JoystickDevice> SdlInput::CreateJoystick(const JoystickInfo& joystick) {
  if (!interfaceHeld_ || joystickStarts_ == 0) return nullptr;
  int index = DeviceIndexOf(joystick.id);
  if (index < 0) return nullptr;
  if (SDL_IsGameController(index)) {
    if (SDL_GameController* controller = SDL_GameControllerOpen(index))
      return std::make_unique<SdlJoystick>(SDL_GameControllerGetJoystick(controller), controller);
  }
  if (SDL_Joystick* stick = SDL_JoystickOpen(index))
    return std::make_unique<SdlJoystick>(stick, nullptr);
  return nullptr;
}

bool SdlInput::ReadVirtualKeys(uint8_t (&state)[256]) {
  if (VideoUp()) SDL_PumpEvents();
  std::memset(state, 0, sizeof state);
  int count = 0;
  const Uint8* keys = SDL_GetKeyboardState(&count);
  bool japanese = JapaneseLayout();
  for (int scancode = 0; scancode < count; ++scancode) {
    if (!keys[scancode]) continue;
    int vk = sdl_keys::VirtualKeyFor(SDL_GetKeyFromScancode(SDL_Scancode(scancode)), scancode,
                                     japanese);
    if (vk > 0 && vk < 256) state[vk] = 0x80;
  }
  // Either Shift, Control or Alt also sets the key that stands for both.
  state[0x10] = state[0xA0] | state[0xA1];
  state[0x11] = state[0xA2] | state[0xA3];
  state[0x12] = state[0xA4] | state[0xA5];
  SDL_Keymod mods = SDL_GetModState();
  if (mods & KMOD_CAPS) state[0x14] |= 0x01;
  if (mods & KMOD_NUM) state[0x90] |= 0x01;
  if (mods & KMOD_SCROLL) state[0x91] |= 0x01;
  uint32_t mask = MouseButtonMask();
  const int buttonKeys[5] = {0x01, 0x04, 0x02, 0x05, 0x06};  // SDL's left, middle, right, X1, X2
  for (int i = 0; i < 5; ++i)
    if (mask & SDL_BUTTON(i + 1)) state[buttonKeys[i]] = 0x80;
  return true;
}

bool SdlInput::JoystickCapabilities(int id, JoystickCaps& caps) {
  if (id < 0) return false;
  if (joystickStarts_ == 0 && !StartJoysticks()) return false;
  if (id >= SDL_NumJoysticks()) return false;
  caps = JoystickCaps{};
  caps.productName = NameOr(SDL_JoystickNameForIndex(id));
  if (SDL_Joystick* stick = SDL_JoystickOpen(id)) {
    caps.axisCount = std::max(0, SDL_JoystickNumAxes(stick));
    caps.buttonCount = std::max(0, SDL_JoystickNumButtons(stick));
    caps.hasZ = caps.axisCount >= 3;
    caps.hasR = caps.axisCount >= 4;
    caps.hasU = caps.axisCount >= 5;
    caps.hasV = caps.axisCount >= 6;
    caps.hasPov = SDL_JoystickNumHats(stick) > 0;
    SDL_JoystickClose(stick);
  }
  return true;
}

}  // namespace qr::platform
