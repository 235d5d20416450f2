// Graphics tests run the real runtime and our real device on the headless host; a recording
// wrapper between them shows every device call.
#pragma once

#include <memory>

#include "platform/gpu/recording_device.h"
#include "support/headless_runtime.h"
#include "support/pictures.h"
#include "qr.h"

namespace qr::testing {

class GraphicsTest : public HeadlessRuntimeTest {
 protected:
  void SetUp() override {
    HeadlessRuntimeTest::SetUp();
    recorder = std::make_unique<qr::platform::gpu::RecordingGraphicsDevice>(host.graphics);
    host.platform.graphics = recorder.get();
  }
  void TearDown() override {
    HeadlessRuntimeTest::TearDown();
    recorder.reset();
  }
  void Start() {
    ChangeWindowMode(1);
    ASSERT_EQ(RuntimeInit(), 0);
  }
  // The frame the window shows after FlipScreen.
  Picture Shown() {
    EXPECT_EQ(FlipScreen(), 0);
    Picture p(host.window.frameWidth, host.window.frameHeight);
    p.pixels = host.window.frame;
    return p;
  }
  // Writes a picture file into the test directory and returns its name there.
  std::string Put(const std::string& name, const Picture& picture, bool alpha = false) {
    std::filesystem::create_directories((dir / name).parent_path());
    EXPECT_TRUE(WritePng(dir / name, picture, alpha));
    return name;
  }
  std::unique_ptr<qr::platform::gpu::RecordingGraphicsDevice> recorder;
};

}  // namespace qr::testing
