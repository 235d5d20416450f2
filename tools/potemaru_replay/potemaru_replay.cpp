// potemaru-replay: plays ぽてまる on the headless host from an input script, for tests and for
// anyone who wants the same run twice.
#include "../wave_file.h"
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "replay.h"

namespace {

const char* kUsage =
    "usage: potemaru-replay [--dir DIR] [--input FILE] [--seed S] [--frames N] [--shot F:PATH]...\n"
    "\n"
    "Plays the game on a headless window with a clock that moves only as the game sleeps, so a\n"
    "run of thousands of frames takes no real time per frame. Exits with the game's status.\n"
    "\n"
    "  --dir DIR      the run's current directory: it holds pote/; save.save is read and written there\n"
    "  --input FILE   the input script: one line per change, FRAME X Y BUTTONS [KEYS]: from frame\n"
    "                 FRAME on the cursor stands at client position X, Y (until the next line or\n"
    "                 the game moves it), BUTTONS is the mouse button mask (1 left, 2 right,\n"
    "                 4 middle) and KEYS a comma-separated list of key codes held (1 is Escape).\n"
    "                 Frame 0 is the first pass of the frame loop; lines starting with # are comments.\n"
    "  --seed S       seed the random generator with S instead of the clock\n"
    "  --frames N     close the window after frame N (otherwise play until the game ends)\n"
    "  --shot F:PATH  write frame F as presented to PATH as PNG (repeatable)\n"
    "  --audio PATH   write everything the game played to PATH as a 44,100 Hz 16-bit stereo WAVE\n"
    "                 file, sample 0 at the end of start-up\n";

bool WritePng(const std::string& path, const potemaru::Frame& frame) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(frame.width);
  image.height = png_uint_32(frame.height);
  image.format = PNG_FORMAT_BGRA;
  return png_image_write_to_file(&image, path.c_str(), 0, frame.pixels.data(), 0, nullptr) != 0;
}

bool WriteWave(const std::string& path, const std::vector<int16_t>& audio) {
  return qr::tools::WriteWaveFile(path, 2, 44100, 16, audio.data(), audio.size() * 2);
}

bool ParseInt(const char* text, long long low, long long high, long long& out) {
  char* end = nullptr;
  out = std::strtoll(text, &end, 10);
  return *text != '\0' && *end == '\0' && out >= low && out <= high;
}

}  // namespace

int main(int argc, char** argv) {
  potemaru::ReplayOptions options;
  std::vector<std::pair<int, std::string>> shots;
  std::string audioPath;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "potemaru-replay: %s needs a value\n", arg.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    long long number = 0;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--dir") {
      options.directory = value();
    } else if (arg == "--input") {
      const char* path = value();
      std::ifstream file(path);
      if (!file) {
        std::fprintf(stderr, "potemaru-replay: cannot read %s\n", path);
        return 2;
      }
      std::stringstream text;
      text << file.rdbuf();
      std::string error;
      if (!potemaru::ParseInputScript(text.str(), options.input, error)) {
        std::fprintf(stderr, "potemaru-replay: %s: %s\n", path, error.c_str());
        return 2;
      }
    } else if (arg == "--seed" && ParseInt(value(), 0, 0xFFFFFFFFll, number)) {
      options.seeded = true;
      options.seed = uint32_t(number);
    } else if (arg == "--frames" && ParseInt(value(), 0, 1ll << 30, number)) {
      options.frames = int(number);
    } else if (arg == "--shot") {
      std::string shot = value();
      size_t colon = shot.find(':');
      if (colon == std::string::npos || !ParseInt(shot.substr(0, colon).c_str(), 0, 1ll << 30, number)) {
        std::fprintf(stderr, "potemaru-replay: --shot wants F:PATH, not %s\n", shot.c_str());
        return 2;
      }
      shots.emplace_back(int(number), shot.substr(colon + 1));
      options.shotFrames.push_back(int(number));
    } else if (arg == "--audio") {
      audioPath = value();
      options.recordAudio = true;
    } else {
      std::fprintf(stderr, "potemaru-replay: bad argument %s (see --help)\n", arg.c_str());
      return 2;
    }
  }

  potemaru::ReplayResult result = potemaru::RunReplay(options);
  for (const auto& [frame, path] : shots) {
    auto it = result.shots.find(frame);
    if (it == result.shots.end()) {
      std::fprintf(stderr, "potemaru-replay: frame %d was not played\n", frame);
      continue;
    }
    if (!WritePng(path, it->second)) std::fprintf(stderr, "potemaru-replay: cannot write %s\n", path.c_str());
  }
  if (options.recordAudio && !WriteWave(audioPath, result.audio))
    std::fprintf(stderr, "potemaru-replay: cannot write %s\n", audioPath.c_str());
  return result.status;
}
