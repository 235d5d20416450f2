#include "platform/headless/headless_input.h"

#include <algorithm>
#include <cstring>

namespace qr::platform {

namespace {

// Acquisition shared by the keyboard and mouse records.
bool AcquireRecord(HeadlessInput::Device& d, bool focused) {
  ++d.acquireCalls;
  if (d.acquireFailures > 0) {
    --d.acquireFailures;
    return false;
  }
  if (!d.formatSet) return false;
  if (d.level == Cooperation::ExclusiveForeground && !focused) return false;
  d.acquired = true;
  return true;
}

class KeyboardDouble final : public KeyboardDevice {
 public:
  explicit KeyboardDouble(HeadlessInput& host) : host_(host) { host_.keyboard.open = true; }
  ~KeyboardDouble() override {
    HeadlessInput::Device& d = host_.keyboard;
    d.open = d.formatSet = d.acquired = false;
    d.event = nullptr;
  }
  bool SetDataFormat() override {
    if (host_.keyboard.failFormat) return false;
    host_.keyboard.formatSet = true;
    return true;
  }
  bool SetCooperativeLevel(Cooperation level) override {
    if (host_.keyboard.failCooperation) return false;
    host_.keyboard.level = level;
    return true;
  }
  bool Acquire() override { return AcquireRecord(host_.keyboard, host_.Focused()); }
  void Unacquire() override { host_.keyboard.acquired = false; }
  NotifyResult SetEventNotification(ChangeEvent* event) override {
    if (event && host_.keyboard.notifyResult == NotifyResult::Refused) return NotifyResult::Refused;
    host_.keyboard.event = event;
    return event ? host_.keyboard.notifyResult : NotifyResult::Accepted;
  }
  bool SetBufferSize(int events) override {
    if (host_.keyboard.failBufferSize) return false;
    host_.keyboard.bufferSize = events;
    return true;
  }
  bool ReadState(uint8_t (&state)[kKeyStateSize]) override {
    ++host_.keyboard.reads;
    if (!host_.keyboard.acquired) return false;
    for (int i = 0; i < kKeyStateSize; ++i) state[i] = host_.keys[i] | host_.keysPressedSinceRead[i];
    std::memset(host_.keysPressedSinceRead, 0, sizeof host_.keysPressedSinceRead);
    return true;
  }

 private:
  HeadlessInput& host_;
};

class MouseDouble final : public MouseDevice {
 public:
  explicit MouseDouble(HeadlessInput& host) : host_(host) { host_.mouse.open = true; }
  ~MouseDouble() override {
    HeadlessInput::Device& d = host_.mouse;
    d.open = d.formatSet = d.acquired = false;
    d.event = nullptr;
  }
  bool SetDataFormat() override {
    if (host_.mouse.failFormat) return false;
    host_.mouse.formatSet = true;
    return true;
  }
  bool SetCooperativeLevel(Cooperation level) override {
    if (host_.mouse.failCooperation) return false;
    host_.mouse.level = level;
    return true;
  }
  bool Acquire() override { return AcquireRecord(host_.mouse, host_.Focused()); }
  void Unacquire() override { host_.mouse.acquired = false; }
  NotifyResult SetEventNotification(ChangeEvent* event) override {
    host_.mouse.event = event;
    return NotifyResult::Accepted;
  }
  bool ReadState(MouseState& state) override {
    ++host_.mouse.reads;
    if (!host_.mouse.acquired) return false;
    state = host_.mouseState;
    for (int n = 0; n < 8; ++n)
      if (host_.buttonsPressedSinceRead & (1u << n)) state.buttons[n] = 0x80;
    host_.buttonsPressedSinceRead = 0;
    host_.mouseState.x = host_.mouseState.y = host_.mouseState.z = 0;
    return true;
  }

 private:
  HeadlessInput& host_;
};

HeadlessInput::Joystick* FindJoystick(std::vector<HeadlessInput::Joystick>& list, int id) {
  for (auto& j : list)
    if (j.info.id == id) return &j;
  return nullptr;
}

class EffectDouble final : public ForceEffect {
 public:
  EffectDouble(HeadlessInput& host, int joystickId, size_t index)
      : host_(host), id_(joystickId), index_(index) {}
  ~EffectDouble() override {
    if (auto* e = Record()) e->live = e->playing = false;
  }
  bool Start() override {
    auto* e = Record();
    if (!e || !Attached()) return false;
    e->playing = true;
    return true;
  }
  bool Stop() override {
    auto* e = Record();
    if (!e) return false;
    e->playing = false;
    return Attached();
  }
  bool Playing() override {
    auto* e = Record();
    return e && e->playing;
  }

 private:
  bool Attached() {
    auto* j = FindJoystick(host_.joysticks, id_);
    return j && j->attached;
  }
  HeadlessInput::Effect* Record() {
    auto* j = FindJoystick(host_.joysticks, id_);
    return j && index_ < j->effects.size() ? &j->effects[index_] : nullptr;
  }
  HeadlessInput& host_;
  int id_;
  size_t index_;
};

class JoystickDouble final : public JoystickDevice {
 public:
  JoystickDouble(HeadlessInput& host, int id) : host_(host), id_(id) {
    if (auto* j = Record()) j->open = true;
  }
  ~JoystickDouble() override {
    if (auto* j = Record()) {
      j->open = j->formatSet = j->acquired = false;
      j->event = nullptr;
    }
  }
  bool SetDataFormat() override {
    auto* j = Record();
    if (!j || j->failFormat) return false;
    j->formatSet = true;
    return true;
  }
  bool SetCooperativeLevel(Cooperation level) override {
    auto* j = Record();
    if (!j || j->failCooperation) return false;
    j->level = level;
    return true;
  }
  bool Acquire() override {
    auto* j = Record();
    if (!j) return false;
    ++j->acquireCalls;
    if (!j->attached || !j->formatSet) return false;
    if (j->level == Cooperation::ExclusiveForeground && !host_.Focused()) return false;
    j->acquired = true;
    return true;
  }
  void Unacquire() override {
    if (auto* j = Record()) {
      ++j->unacquireCalls;
      j->acquired = false;
    }
  }
  NotifyResult SetEventNotification(ChangeEvent* event) override {
    auto* j = Record();
    if (!j) return NotifyResult::Refused;
    if (event && j->notifyResult == NotifyResult::Refused) return NotifyResult::Refused;
    j->event = event;
    return event ? j->notifyResult : NotifyResult::Accepted;
  }
  bool SetAxisRange(JoystickAxis axis, int minimum, int maximum) override {
    auto* j = Record();
    if (!j || j->failRange == axis) return false;
    j->ranges[size_t(axis)] = std::make_pair(minimum, maximum);
    return true;
  }
  bool SetAxisDeadZone(JoystickAxis axis, int tenThousandths) override {
    auto* j = Record();
    if (!j || j->failDeadZone == axis) return false;
    j->deadZones[size_t(axis)] = tenThousandths;
    return true;
  }
  std::unique_ptr<ForceEffect> CreateEffect(const ForceEffectDescription& effect) override {
    auto* j = Record();
    if (!j || !j->forceFeedback || !j->attached) return nullptr;
    j->effects.push_back(HeadlessInput::Effect{effect});
    return std::make_unique<EffectDouble>(host_, id_, j->effects.size() - 1);
  }
  bool ReadState(JoystickState& state) override {
    auto* j = Record();
    if (!j || !j->attached || !j->acquired) return false;
    state = j->state;
    return true;
  }

 private:
  HeadlessInput::Joystick* Record() { return FindJoystick(host_.joysticks, id_); }
  HeadlessInput& host_;
  int id_;
};

}  // namespace

void HeadlessInput::SetKey(int keyCode, bool down) {
  if (keyCode < 0 || keyCode >= kKeyStateSize) return;
  keys[keyCode] = down ? 0x80 : 0;
  if (down && keyboard.acquired) keysPressedSinceRead[keyCode] = 0x80;
  if (keyboard.event) keyboard.event->Set();
}

void HeadlessInput::SetMouseButton(int index, bool down) {
  if (index < 0 || index >= 8) return;
  mouseState.buttons[index] = down ? 0x80 : 0;
  if (down && mouse.acquired) buttonsPressedSinceRead |= uint8_t(1u << index);
}

void HeadlessInput::SetFocus(bool focused) {
  focused_ = focused;
  if (focused) return;
  keyboard.acquired = false;
  mouse.acquired = false;
  for (Joystick& j : joysticks) j.acquired = false;
}

void HeadlessInput::Unplug(size_t index) {
  if (index >= joysticks.size()) return;
  Joystick& j = joysticks[index];
  j.attached = false;
  j.acquired = false;
  for (Effect& e : j.effects) e.playing = false;
}

HeadlessInput::Joystick& HeadlessInput::AddJoystick(const std::string& name) {
  Joystick j;
  j.info.id = nextJoystickId_++;
  j.info.instanceName = name;
  j.info.productName = name;
  joysticks.push_back(j);
  return joysticks.back();
}

int HeadlessInput::LiveObjects() const {
  int live = (keyboard.open ? 1 : 0) + (mouse.open ? 1 : 0);
  for (const Joystick& j : joysticks) {
    if (j.open) ++live;
    for (const Effect& e : j.effects)
      if (e.live) ++live;
  }
  return live;
}

uint32_t HeadlessInput::CreateInterface(int version) {
  bool offered = version == 7 ? interface7 : version == 8 ? interface8 : false;
  if (!offered) return createError;
  ++interfaceCreates;
  interfaceHeld = true;
  return 0;
}

bool HeadlessInput::InitializeInterface(int version) {
  return interfaceHeld && !(version == 7 ? failInitialize7 : failInitialize8);
}

std::unique_ptr<KeyboardDevice> HeadlessInput::CreateKeyboard() {
  if (!interfaceHeld || keyboard.failCreate || keyboard.open) return nullptr;
  return std::make_unique<KeyboardDouble>(*this);
}

std::unique_ptr<MouseDevice> HeadlessInput::CreateMouse() {
  if (!interfaceHeld || mouse.failCreate || mouse.open) return nullptr;
  return std::make_unique<MouseDouble>(*this);
}

std::vector<JoystickInfo> HeadlessInput::EnumerateJoysticks() {
  std::vector<JoystickInfo> found;
  for (const Joystick& j : joysticks)
    if (j.attached) found.push_back(j.info);
  return found;
}

std::unique_ptr<JoystickDevice> HeadlessInput::CreateJoystick(const JoystickInfo& joystick) {
  Joystick* j = FindJoystick(joysticks, joystick.id);
  if (!interfaceHeld || !j || !j->attached || j->failCreate || j->open) return nullptr;
  return std::make_unique<JoystickDouble>(*this, joystick.id);
}

bool HeadlessInput::ReadVirtualKeys(uint8_t (&state)[256]) {
  ++virtualKeyReads;
  if (failVirtualKeys) return false;
  std::memcpy(state, virtualKeys, sizeof state);
  return true;
}

bool HeadlessInput::JoystickCapabilities(int id, JoystickCaps& caps) {
  ++plainCapsQueries;
  if (id < 0 || size_t(id) >= plainJoysticks.size()) return false;
  caps = plainJoysticks[size_t(id)];
  return true;
}

}  // namespace qr::platform
