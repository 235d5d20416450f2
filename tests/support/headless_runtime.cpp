#include "support/headless_runtime.h"

#include <iconv.h>

#include <fstream>
#include <sstream>

#include "core/lifecycle.h"
#include "core/log.h"
#include "core/main_window.h"
#include "core/memory.h"
#include "core/random.h"
#include "file/archive_layer.h"
#include "file/archive_table.h"
#include "file/stream_functions.h"
#include "graphics/draw_settings.h"
#include "graphics/device_start.h"
#include "graphics/screen_settings.h"
#include "input/input_state.h"
#include "platform/encoding.h"
#include "qr.h"

namespace qr::testing {

std::string Sjis(const std::string& utf8) { return qr::platform::Utf8ToCp932(utf8); }
std::string Utf8(const std::string& sjis) { return qr::platform::Cp932ToUtf8(sjis); }

void ResetRuntimeSettings() {
  qr::core::MainWindow() = qr::core::WindowState{};
  qr::core::Log() = qr::core::LogState{};
  qr::core::Memory() = qr::core::MemorySettings{};
  qr::graphics::Screen() = qr::graphics::ScreenSettings{};
  qr::graphics::Device() = qr::graphics::GraphicsDevice{};
  qr::graphics::ResetDrawSettings();
  qr::input::Input() = qr::input::InputState{};
  qr::core::ClearFixedSeed();
  qr::file::FileLayerSettings() = qr::file::FileSettings{};
  qr::file::InstallArchiveLayer(nullptr);
  qr::file::InstallStreamFunctions(nullptr);
  qr::file::ArchiveLayerSettings() = qr::file::ArchiveSettings{};
  qr::file::ClearArchiveTable();
}

void HeadlessRuntimeTest::SetUp() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qr-test-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  dir = pattern;
  host.system.currentDirectory = dir.string();
  qr::platform::Install(&host.platform);
  ResetRuntimeSettings();
}

void HeadlessRuntimeTest::TearDown() {
  RuntimeEnd();
  qr::input::EndInput();  // input started without the runtime holds devices of this host
  qr::platform::Install(nullptr);
  ResetRuntimeSettings();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}

std::string HeadlessRuntimeTest::ReadLogBytes() const {
  std::ifstream file(dir / "Log.txt", std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::string HeadlessRuntimeTest::ReadLog() const { return Utf8(ReadLogBytes()); }

bool HeadlessRuntimeTest::LogExists() const { return std::filesystem::exists(dir / "Log.txt"); }

std::vector<std::string> HeadlessRuntimeTest::LogLines() const {
  std::vector<std::string> lines;
  std::string text = ReadLog();
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    size_t colon = line.find(':');
    if (colon != std::string::npos && colon > 0 &&
        line.find_first_not_of("0123456789") == colon)
      line = line.substr(colon + 1);
    lines.push_back(line);
    at = end + 2;
  }
  return lines;
}

}  // namespace qr::testing
