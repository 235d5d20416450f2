// Plays the game on the headless host from an input script: the same frames every run, at no
// real time per frame. Used by potemaru-replay and by the game's tests.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace potemaru {

// From frame `frame` on: the cursor at client position (x, y) (until the next line or the game
// moves it), the mouse buttons held (bit 0 left, 1 right, 2 middle) and the keys held. Taps are
// pressed and released inside that one frame's sleep, so no read of the game sees them held.
struct InputLine {
  int frame = 0;
  int x = 0, y = 0;
  int buttons = 0;
  std::vector<int> keys;
  int tapButtons = 0;
  std::vector<int> tapKeys = {};
};

// Reads "FRAME X Y BUTTONS [KEYS]" lines (KEYS comma-separated key codes; '#' starts a comment).
// BUTTONS written "~N", or a key code written "~K", is a tap instead of a hold.
// Returns false with a message naming the line on a malformed one.
bool ParseInputScript(const std::string& text, std::vector<InputLine>& lines, std::string& error);

struct Frame {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB as presented
};

struct ReplayOptions {
  std::string directory;       // the run's current directory; empty: the process's
  std::vector<InputLine> input;
  bool seeded = false;
  uint32_t seed = 0;
  int frames = -1;             // close the window after this frame; -1: play to the end
  std::vector<int> shotFrames; // frames to keep as presented
  bool withoutFonts = false;   // a host without fonts: every text call draws nothing (for measuring)
  bool recordAudio = false;    // keep what the headless output mixed
};

struct ReplayResult {
  int status = 0;        // what the game returned
  int framesPlayed = 0;  // passes of the frame loop that reached PumpMessages
  std::map<int, Frame> shots;
  // Where the cursor stood when each frame's pump began, in client coordinates.
  std::vector<std::pair<int, int>> cursorAtPump;
  // With recordAudio: everything the game played, 44,100 Hz stereo (left, right, ...), sample 0
  // at the end of start-up, just before the game loads its files and enters its frame loop.
  std::vector<int16_t> audio;
};

ReplayResult RunReplay(const ReplayOptions& options);

}  // namespace potemaru
