// Files made in the test's temporary directory, which is the runtime's current directory.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "support/headless_runtime.h"

namespace qr::testing {

class FileTest : public HeadlessRuntimeTest {
 protected:
  // Writes bytes to a file below the test directory (UTF-8 relative path), making folders.
  std::filesystem::path MakeFile(const std::string& relative, const std::string& bytes) {
    std::filesystem::path path = dir / std::filesystem::u8path(relative);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // n bytes that differ from their neighbours: byte i is (i * 7 + i / 251) mod 256.
  static std::string Pattern(size_t n, int salt = 0) {
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i) bytes[i] = char((i * 7 + i / 251 + size_t(salt)) & 0xFF);
    return bytes;
  }
};

}  // namespace qr::testing
