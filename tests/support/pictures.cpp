#include "support/pictures.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qr::testing {

bool WritePng(const std::filesystem::path& path, const Picture& picture, bool withAlpha) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(picture.width);
  image.height = png_uint_32(picture.height);
  image.format = PNG_FORMAT_BGRA;
  if (!withAlpha) {
    // Drop the alpha bytes: BGR rows.
    std::vector<uint8_t> rows;
    rows.reserve(picture.pixels.size() * 3);
    for (uint32_t p : picture.pixels) {
      rows.push_back(uint8_t(p));
      rows.push_back(uint8_t(p >> 8));
      rows.push_back(uint8_t(p >> 16));
    }
    image.format = PNG_FORMAT_BGR;
    return png_image_write_to_file(&image, path.c_str(), 0, rows.data(), 0, nullptr) != 0;
  }
  return png_image_write_to_file(&image, path.c_str(), 0, picture.pixels.data(), 0, nullptr) != 0;
}

bool ReadPng(const std::filesystem::path& path, Picture& picture) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_BGRA;
  picture = Picture(int(image.width), int(image.height));
  return png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr) != 0;
}

std::string CompareWithGolden(const Picture& actual, const std::string& name) {
  std::filesystem::path golden = std::filesystem::path(QR_TEST_DATA) / "golden" / (name + ".png");
  const char* update = std::getenv("QR_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    std::filesystem::create_directories(golden.parent_path());
    WritePng(golden, actual, true);
    return "";
  }
  Picture expected;
  std::string problem;
  if (!ReadPng(golden, expected)) {
    problem = "no golden picture " + golden.string();
  } else if (expected.width != actual.width || expected.height != actual.height) {
    problem = "size " + std::to_string(actual.width) + "x" + std::to_string(actual.height) + ", golden " +
              std::to_string(expected.width) + "x" + std::to_string(expected.height);
  } else {
    for (int y = 0; y < actual.height && problem.empty(); ++y)
      for (int x = 0; x < actual.width && problem.empty(); ++x)
        if (actual.at(x, y) != expected.at(x, y)) {
          char text[128];
          std::snprintf(text, sizeof text, "first difference at (%d, %d): %08X, golden %08X", x, y,
                        actual.at(x, y), expected.at(x, y));
          problem = text;
        }
  }
  if (!problem.empty()) {
    std::filesystem::path out = golden;
    out.replace_extension(".actual.png");
    std::filesystem::create_directories(out.parent_path());
    WritePng(out, actual, true);
    problem += " (actual picture written to " + out.string() + ")";
  }
  return problem;
}

}  // namespace qr::testing
