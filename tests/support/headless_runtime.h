// A fixture that runs the real runtime on the headless platform, in a fresh temporary directory
// that is the current directory of the run, and reads back the log it wrote.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/headless/headless_platform.h"

namespace qr::testing {

// UTF-8 to the runtime's CP932 and back, so tests can be written in readable text.
std::string Sjis(const std::string& utf8);
std::string Utf8(const std::string& sjis);

// Puts every runtime setting back to its default (tests share one process when run directly).
void ResetRuntimeSettings();

class HeadlessRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Log.txt as UTF-8, or empty when there is none.
  std::string ReadLog() const;
  // The raw bytes of Log.txt.
  std::string ReadLogBytes() const;
  // The log's lines in UTF-8 without their time stamps and line ends.
  std::vector<std::string> LogLines() const;
  bool LogExists() const;

  qr::platform::HeadlessPlatform host;
  std::filesystem::path dir;
};

}  // namespace qr::testing
