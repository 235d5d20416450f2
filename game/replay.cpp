#include "replay.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "core/random.h"
#include "core/runtime_observer.h"
#include "platform/headless/headless_platform.h"
#include "potemaru.h"

namespace potemaru {

bool ParseInputScript(const std::string& text, std::vector<InputLine>& lines, std::string& error) {
  std::istringstream in(text);
  std::string raw;
  int number = 0;
  while (std::getline(in, raw)) {
    ++number;
    size_t start = raw.find_first_not_of(" \t\r");
    if (start == std::string::npos || raw[start] == '#') continue;
    std::istringstream fields(raw);
    InputLine line;
    std::string buttons, keys;
    char* end = nullptr;
    bool parsed = bool(fields >> line.frame >> line.x >> line.y >> buttons) && line.frame >= 0;
    if (parsed) {
      bool tap = buttons[0] == '~';
      long mask = std::strtol(buttons.c_str() + (tap ? 1 : 0), &end, 0);
      parsed = *end == '\0' && end != buttons.c_str() + (tap ? 1 : 0) && mask >= 0 && mask <= 255;
      (tap ? line.tapButtons : line.buttons) = int(mask);
    }
    if (!parsed) {
      error = "line " + std::to_string(number) + ": expected FRAME X Y BUTTONS [KEYS]";
      return false;
    }
    if (fields >> keys) {
      std::istringstream list(keys);
      for (std::string key; std::getline(list, key, ',');) {
        bool tap = !key.empty() && key[0] == '~';
        const char* digits = key.c_str() + (tap ? 1 : 0);
        long code = std::strtol(digits, &end, 0);
        if (*digits == '\0' || *end != '\0' || code < 0 || code > 255) {
          error = "line " + std::to_string(number) + ": bad key code '" + key + "'";
          return false;
        }
        (tap ? line.tapKeys : line.keys).push_back(int(code));
      }
    }
    lines.push_back(line);
  }
  std::stable_sort(lines.begin(), lines.end(), [](const InputLine& a, const InputLine& b) { return a.frame < b.frame; });
  return true;
}

namespace {

struct Run {
  const ReplayOptions& options;
  ReplayResult& result;
  qr::platform::HeadlessPlatform& host;
  int frame = 0;  // the frame whose pump comes next
  std::vector<int> heldKeys;
  bool started = false;
  int tappedFrame = -1;

  // The line in force at a frame, or null before the first.
  const InputLine* LineAt(int f) const {
    const InputLine* found = nullptr;
    for (const InputLine& line : options.input)
      if (line.frame <= f) found = &line;
    return found;
  }
  const InputLine* LineStartingAt(int f) const {
    const InputLine* found = nullptr;
    for (const InputLine& line : options.input)
      if (line.frame == f) found = &line;
    return found;
  }

  void PlaceCursor(const InputLine& line) {
    qr::platform::Rect client = host.window.ClientRect();
    host.window.cursorX = client.left + line.x;
    host.window.cursorY = client.top + line.y;
  }
  void PressButtons(const InputLine* line) {
    for (int b = 0; b < 8; ++b) {
      bool down = line && (line->buttons >> b & 1);
      if (down != ((host.input.mouseState.buttons[b] & 0x80) != 0)) host.input.SetMouseButton(b, down);
    }
  }
  // The taps of the coming frame's line, pressed and released while the game sleeps.
  void Tap() {
    if (!started || tappedFrame == frame) return;
    const InputLine* line = LineStartingAt(frame);
    if (!line || (line->tapButtons == 0 && line->tapKeys.empty())) return;
    tappedFrame = frame;
    for (int b = 0; b < 8; ++b)
      if (line->tapButtons >> b & 1) host.input.SetMouseButton(b, true);
    for (int key : line->tapKeys) host.input.SetKey(key, true);
    for (int b = 0; b < 8; ++b)
      if (line->tapButtons >> b & 1) host.input.SetMouseButton(b, (line->buttons >> b & 1) != 0);
    for (int key : line->tapKeys)
      if (std::find(heldKeys.begin(), heldKeys.end(), key) == heldKeys.end()) host.input.SetKey(key, false);
  }
  void HoldKeys(const InputLine* line) {
    std::vector<int> wanted = line ? line->keys : std::vector<int>{};
    for (int key : heldKeys)
      if (std::find(wanted.begin(), wanted.end(), key) == wanted.end()) host.input.SetKey(key, false);
    for (int key : wanted)
      if (std::find(heldKeys.begin(), heldKeys.end(), key) == heldKeys.end()) host.input.SetKey(key, true);
    heldKeys = wanted;
  }

  // The game reads the mouse at the start of a frame and the keys at its end, after its pump.
  void OnStarted() {
    if (options.recordAudio) host.audio.StartRecording();
    started = true;
    if (const InputLine* line = LineAt(0)) PlaceCursor(*line);
    PressButtons(LineAt(0));
    HoldKeys(LineAt(0));
  }
  void OnPumping() {
    int f = frame++;
    result.framesPlayed = frame;
    qr::platform::Rect client = host.window.ClientRect();
    result.cursorAtPump.emplace_back(host.window.cursorX - client.left, host.window.cursorY - client.top);
    if (std::find(options.shotFrames.begin(), options.shotFrames.end(), f) != options.shotFrames.end()) {
      Frame& shot = result.shots[f];
      shot.width = host.window.frameWidth;
      shot.height = host.window.frameHeight;
      shot.pixels = host.window.frame;
    }
    if (options.frames >= 0 && f == options.frames) host.window.Push(qr::platform::Message{qr::platform::MessageKind::Close});
    HoldKeys(LineAt(f));
    if (const InputLine* line = LineStartingAt(f + 1)) PlaceCursor(*line);
    PressButtons(LineAt(f + 1));
  }

  static void Observe(qr::core::RuntimeEvent event, void* context) {
    auto* run = static_cast<Run*>(context);
    if (event == qr::core::RuntimeEvent::Started)
      run->OnStarted();
    else
      run->OnPumping();
  }
};

}  // namespace

ReplayResult RunReplay(const ReplayOptions& options) {
  ReplayResult result;
  std::string previous = std::filesystem::current_path().string();
  auto host = std::make_unique<qr::platform::HeadlessPlatform>();
  if (!options.directory.empty()) {
    std::filesystem::current_path(options.directory);
  }
  host->system.currentDirectory = std::filesystem::current_path().string();
  if (options.seeded) qr::core::SetFixedSeed(options.seed);
  Run run{options, result, *host, 0, {}, false, -1};
  qr::core::SetRuntimeObserver(&Run::Observe, &run);
  host->clock.onSleep = [&run] { run.Tap(); };
  if (options.withoutFonts) host->platform.fonts = nullptr;
  qr::platform::Install(&host->platform);

  result.status = Potemaru();
  if (options.recordAudio) result.audio = std::move(host->audio.recorded);

  qr::platform::Install(nullptr);
  qr::core::SetRuntimeObserver(nullptr, nullptr);
  qr::core::ClearFixedSeed();
  std::filesystem::current_path(previous);
  return result;
}

}  // namespace potemaru
