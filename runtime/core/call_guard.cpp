#include "core/call_guard.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/platform.h"

namespace qr::core {
namespace {

constexpr size_t kMaxWaiting = 4096;

struct CallGuard {
  std::mutex lock;
  std::condition_variable wake;
  std::thread::id owner;
  bool owned = false;
  int nesting = 0;
  std::deque<std::thread::id> waiting;  // arrival order
};

std::mutex guardCreation;
std::unique_ptr<CallGuard> guard;

CallGuard& Guard() {
  std::lock_guard<std::mutex> lock(guardCreation);
  if (!guard) guard = std::make_unique<CallGuard>();
  return *guard;
}

}  // namespace

void EnterRuntimeCall() {
  CallGuard& g = Guard();
  const std::thread::id me = std::this_thread::get_id();
  std::unique_lock<std::mutex> lock(g.lock);
  bool queued = false;
  for (;;) {
    if (g.owned && g.owner == me) break;
    if (!g.owned && (g.waiting.empty() || g.waiting.front() == me)) {
      if (queued) g.waiting.pop_front();
      break;
    }
    if (!queued) {
      if (g.waiting.size() >= kMaxWaiting) {
        lock.unlock();
        platform::Current().clock->Sleep(1);
        lock.lock();
        continue;
      }
      g.waiting.push_back(me);
      queued = true;
    }
    g.wake.wait(lock);
  }
  g.owned = true;
  g.owner = me;
  ++g.nesting;
}

void LeaveRuntimeCall() {
  CallGuard& g = Guard();
  bool handOver = false;
  {
    std::lock_guard<std::mutex> lock(g.lock);
    if (g.nesting == 1) {
      g.owned = false;
      handOver = !g.waiting.empty();
    }
    if (g.nesting > 0) --g.nesting;
  }
  if (handOver) {
    g.wake.notify_all();
    platform::Current().clock->Sleep(0);
  }
}

void CloseRuntimeCallGuard() {
  std::lock_guard<std::mutex> creation(guardCreation);
  if (!guard) return;
  {
    std::lock_guard<std::mutex> lock(guard->lock);
    if (guard->owned || !guard->waiting.empty()) return;
  }
  guard.reset();
}

int RuntimeCallGuardWaiting() {
  CallGuard& g = Guard();
  std::lock_guard<std::mutex> lock(g.lock);
  return int(g.waiting.size());
}

bool RuntimeCallGuardExists() {
  std::lock_guard<std::mutex> lock(guardCreation);
  return guard != nullptr;
}

}  // namespace qr::core
