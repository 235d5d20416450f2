// Window timers as both windows keep them: each fires a Timer message once its interval has
// passed, and only when no other message waits, as on the desktop.
#pragma once

#include <cstdint>
#include <map>

#include "platform/window.h"

namespace qr::platform {

class WindowTimers {
 public:
  void Set(int id, int intervalMs, uint32_t now) { timers_[id] = Timer{intervalMs, now + uint32_t(intervalMs)}; }
  void Kill(int id) { timers_.erase(id); }
  void Clear() { timers_.clear(); }

  // The next timer due at `now`, as a message; taking it (remove) starts its next interval.
  bool Due(uint32_t now, bool remove, Message& out) {
    for (auto& [id, timer] : timers_) {
      if (int32_t(now - timer.next) >= 0) {
        out = Message{MessageKind::Timer, id, 0};
        if (remove) timer.next = now + uint32_t(timer.interval);
        return true;
      }
    }
    return false;
  }

 private:
  struct Timer {
    int interval;
    uint32_t next;
  };
  std::map<int, Timer> timers_;
};

}  // namespace qr::platform
