// Prints what the runtime reads from the real keyboard and mouse of an X display, for input.sh.
// Usage: x11_input_probe [plain]   ("plain": read without the device interface)
// Prints "client LEFT TOP" once the window is up, then "mouse X Y", "buttons B" and
// "keys K1,K2,..." (decimal key codes, "-" for none) whenever they change. Takes commands from
// the file "command" in the current directory: "warp X Y" (SetMousePosition, then "warped") and
// "quit". Ends by itself after a minute.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/main_window.h"
#include "input/input_state.h"
#include "qr.h"

namespace {

std::string HeldKeys() {
  std::string keys;
  for (int code = 0; code < 256; ++code) {
    if (!IsKeyPressed(code)) continue;
    if (!keys.empty()) keys += ',';
    keys += std::to_string(code);
  }
  return keys.empty() ? "-" : keys;
}

// Runs one command from the command file, if there is one; false on "quit".
bool RunCommand() {
  std::error_code error;
  if (!std::filesystem::exists("command", error)) return true;
  std::ifstream file("command");
  std::string word;
  file >> word;
  bool keepGoing = true;
  if (word == "warp") {
    int x = 0, y = 0;
    file >> x >> y;
    SetMousePosition(x, y);
    std::printf("warped\n");
  } else if (word == "quit") {
    keepGoing = false;
  }
  file.close();
  std::filesystem::remove("command", error);
  return keepGoing;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "plain") qr::input::Input().noDeviceInterface = 1;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  SetWindowTitleText("input probe");
  ChangeWindowMode(1);
  if (RuntimeInit() == -1) return 1;
  const auto& client = qr::core::MainWindow().clientRect;
  std::printf("client %d %d\n", client.left, client.top);

  int lastX = -99999, lastY = -99999, lastButtons = -1;
  std::string lastKeys;
  int start = GetMillisecondCount();
  while (PumpMessages() == 0 && GetMillisecondCount() - start < 60000) {
    int x = 0, y = 0;
    GetMousePosition(&x, &y);
    if (x != lastX || y != lastY) std::printf("mouse %d %d\n", lastX = x, lastY = y);
    int buttons = GetMouseButtons();
    if (buttons != lastButtons) std::printf("buttons %d\n", lastButtons = buttons);
    std::string keys = HeldKeys();
    if (keys != lastKeys) std::printf("keys %s\n", (lastKeys = keys).c_str());
    if (!RunCommand()) break;
    SleepMilliseconds(10);
  }
  RuntimeEnd();
  return 0;
}
