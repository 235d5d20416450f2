// The runtime on the headless host, started in a window, with helpers to read the log.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "core/main_window.h"
#include "input/input_state.h"
#include "qr.h"
#include "support/headless_runtime.h"

namespace qr::testing {

class InputTest : public HeadlessRuntimeTest {
 protected:
  // Starts the runtime windowed; input starts with it unless withoutInput.
  void Start(bool withoutInput = false) {
    ChangeWindowMode(1);
    qr::core::MainWindow().settings.withoutInput = withoutInput ? 1 : 0;
    ASSERT_EQ(RuntimeInit(), 0);
  }
  // Stops the clock, so that calls in a row fall into the same millisecond.
  void FreezeClock() { host.clock.stepPerReadMicroseconds = 0; }
  void NextMillisecond() { host.clock.Advance(1000); }

  // Runs every queued window message through the window procedure.
  void DispatchUntilEmpty() {
    qr::platform::Message message;
    while (host.window.PeekMessage(message, true)) qr::core::HandleWindowMessage(message);
  }

  // Log lines (time stamps dropped) with their leading tabs removed.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines = LogLines();
    for (std::string& line : lines) line.erase(0, line.find_first_not_of('\t'));
    return lines;
  }
  bool Logged(const std::string& line) const {
    std::vector<std::string> lines = Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  int CountLogged(const std::string& line) const {
    std::vector<std::string> lines = Lines();
    return int(std::count(lines.begin(), lines.end(), line));
  }
  // The lines from the first one equal to `from` on, as many as `count`.
  std::vector<std::string> LinesFrom(const std::string& from, size_t count) const {
    std::vector<std::string> lines = Lines();
    auto at = std::find(lines.begin(), lines.end(), from);
    std::vector<std::string> out;
    for (; at != lines.end() && out.size() < count; ++at) out.push_back(*at);
    return out;
  }
};

}  // namespace qr::testing
