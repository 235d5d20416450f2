#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "core/call_guard.h"

namespace {
using namespace qr::core;

TEST(CallGuard, ReentrantForItsOwner) {
  EnterRuntimeCall();
  EnterRuntimeCall();
  LeaveRuntimeCall();
  LeaveRuntimeCall();
  EXPECT_TRUE(RuntimeCallGuardExists());
  CloseRuntimeCallGuard();
  EXPECT_FALSE(RuntimeCallGuardExists());
}

TEST(CallGuard, WaitersGetTheGuardInArrivalOrder) {
  EnterRuntimeCall();
  std::mutex orderLock;
  std::vector<int> order;
  std::vector<std::thread> threads;
  for (int i = 0; i < 6; ++i) {
    threads.emplace_back([&, i] {
      EnterRuntimeCall();
      {
        std::lock_guard<std::mutex> lock(orderLock);
        order.push_back(i);
      }
      LeaveRuntimeCall();
    });
    // Each thread queues up before the next one arrives.
    while (RuntimeCallGuardWaiting() <= i) std::this_thread::yield();
  }
  LeaveRuntimeCall();
  for (auto& t : threads) t.join();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  CloseRuntimeCallGuard();
}

TEST(CallGuard, ClosingWhileHeldKeepsIt) {
  EnterRuntimeCall();
  CloseRuntimeCallGuard();
  EXPECT_TRUE(RuntimeCallGuardExists());
  LeaveRuntimeCall();
  CloseRuntimeCallGuard();
  EXPECT_FALSE(RuntimeCallGuardExists());
}

}  // namespace
