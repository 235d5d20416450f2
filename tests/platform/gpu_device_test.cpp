// The adapter, device creation, presentation, loss, shaders and the recording wrapper.
#include "platform/gpu/recording_device.h"
#include "platform/gpu_fixture.h"

namespace qr::testing {
namespace {

class GpuDevice : public GpuTest {};

TEST_F(GpuDevice, AdapterReportsTheDesktopAndItsModes) {
  TextureFormat format;
  int w = 0, h = 0, refresh = 0;
  ASSERT_EQ(device.AdapterDisplayMode(format, w, h, refresh), DeviceResult::Ok);
  EXPECT_EQ(format, TextureFormat::X8R8G8B8);
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 1024);
  window.desktop.bitsPerPixel = 16;
  device.AdapterDisplayMode(format, w, h, refresh);
  EXPECT_EQ(format, TextureFormat::R5G6B5);
  device.settings.desktopFormat = TextureFormat::X1R5G5B5;
  device.AdapterDisplayMode(format, w, h, refresh);
  EXPECT_EQ(format, TextureFormat::X1R5G5B5);

  // The headless display has one 16-bit mode and four 32-bit ones.
  EXPECT_EQ(device.AdapterModeCount(TextureFormat::R5G6B5), 1);
  EXPECT_EQ(device.AdapterModeCount(TextureFormat::X1R5G5B5), 0);
  EXPECT_EQ(device.AdapterModeCount(TextureFormat::X8R8G8B8), 4);
  device.settings.sixteenBitModes = TextureFormat::X1R5G5B5;
  EXPECT_EQ(device.AdapterModeCount(TextureFormat::R5G6B5), 0);
  EXPECT_EQ(device.AdapterModeCount(TextureFormat::X1R5G5B5), 1);

  int quality = 0;
  EXPECT_EQ(device.CheckMultiSample(TextureFormat::X8R8G8B8, true, 0, quality), DeviceResult::Ok);
  EXPECT_EQ(quality, 1);
  EXPECT_EQ(device.CheckMultiSample(TextureFormat::X8R8G8B8, true, 4, quality), DeviceResult::NotAvailable);
  EXPECT_FALSE(device.Identifier().driver.empty());
  // A capable device without shaders by default.
  DeviceCapabilities caps = device.Capabilities();
  EXPECT_TRUE(caps.dxt);
  EXPECT_TRUE(caps.blendOperation);
  EXPECT_FALSE(caps.squareTexturesOnly);
  EXPECT_EQ(caps.vertexShaderVersion, 0);
  EXPECT_EQ(caps.pixelShaderVersion, 0);
}

TEST_F(GpuDevice, CreationFollowsTheSettingsAndTheDisplay) {
  PresentParameters p;
  p.windowed = false;
  p.backBufferFormat = TextureFormat::X8R8G8B8;
  p.backBufferWidth = 640;
  p.backBufferHeight = 480;
  EXPECT_EQ(device.CreateDevice(p, VertexProcessing::Software), DeviceResult::Ok);
  p.backBufferWidth = 700;  // no such mode, but full screen scales it to the 1280 x 1024 desktop
  EXPECT_EQ(device.CreateDevice(p, VertexProcessing::Software), DeviceResult::Ok);
  p.backBufferWidth = 1400;  // wider than the desktop, and no such full-screen mode
  EXPECT_EQ(device.CreateDevice(p, VertexProcessing::Software), DeviceResult::NotAvailable);
  EXPECT_FALSE(device.DeviceExists());
  p.windowed = true;
  p.backBufferFormat = TextureFormat::A4R4G4B4;
  EXPECT_EQ(device.CreateDevice(p, VertexProcessing::Software), DeviceResult::InvalidCall);
  p.backBufferFormat = TextureFormat::R5G6B5;
  device.settings.failMixedProcessing = true;
  EXPECT_EQ(device.CreateDevice(p, VertexProcessing::Mixed), DeviceResult::Failed);
  EXPECT_EQ(device.CreateDevice(p, VertexProcessing::Software), DeviceResult::Ok);
  device.settings.failCreateDevice = true;
  EXPECT_EQ(device.CreateDevice(p, VertexProcessing::Software), DeviceResult::Failed);
  device.settings.failCreateDevice = false;
  device.settings.available = false;
  EXPECT_FALSE(device.Available());
  EXPECT_EQ(device.CreateDevice(p, VertexProcessing::Software), DeviceResult::Failed);
  // Nothing works without a device.
  Texture* t = nullptr;
  EXPECT_EQ(device.CreateTexture(8, 8, 1, ResourceUsage::Plain, TextureFormat::A8R8G8B8, MemoryPool::Managed, t), DeviceResult::InvalidCall);
  EXPECT_EQ(device.BeginScene(), DeviceResult::InvalidCall);
  EXPECT_EQ(device.Present(nullptr, nullptr), DeviceResult::InvalidCall);
}

TEST_F(GpuDevice, PresentHandsTheBackBufferToTheWindow) {
  Create(64, 48, TextureFormat::R5G6B5);
  Fill(0xFF0000FF);
  Rect corner{0, 0, 8, 8};
  device.ColorFill(backBuffer, &corner, 0xFFFF0000);
  ASSERT_EQ(device.Present(nullptr, nullptr), DeviceResult::Ok);
  EXPECT_EQ(window.presentCount, 1);
  ASSERT_EQ(window.frameWidth, 64);
  EXPECT_EQ(window.frame[0], 0xFFFF0000u);
  EXPECT_EQ(window.frame[63], 0xFF0000FFu);
  Rect source{4, 4, 12, 10};
  Rect destination{0, 0, 16, 12};
  ASSERT_EQ(device.Present(&source, &destination), DeviceResult::Ok);
  EXPECT_EQ(window.frameWidth, 8);
  EXPECT_EQ(window.frameHeight, 6);
  EXPECT_EQ(window.frame[0], 0xFFFF0000u);
  EXPECT_EQ(window.frame[7], 0xFF0000FFu);
  Rect outside{60, 40, 70, 48};
  EXPECT_EQ(device.Present(&outside, nullptr), DeviceResult::InvalidCall);
}

TEST_F(GpuDevice, AFailedPresentLosesTheDeviceUntilItIsMadeAgain) {
  Create();
  window.failPresent = true;
  EXPECT_EQ(device.Present(nullptr, nullptr), DeviceResult::DeviceLost);
  window.failPresent = false;
  EXPECT_EQ(device.Present(nullptr, nullptr), DeviceResult::DeviceLost);
  EXPECT_TRUE(device.Lost());
  Create();
  EXPECT_EQ(device.Present(nullptr, nullptr), DeviceResult::Ok);
  device.Lose();
  EXPECT_EQ(device.Present(nullptr, nullptr), DeviceResult::DeviceLost);
}

TEST_F(GpuDevice, NamedCallsCanBeMadeToFail) {
  Create();
  device.settings.failingCalls = {"LockRect", "CreateRenderTarget", "SetViewport", "Present"};
  Texture* t = nullptr;
  ASSERT_EQ(device.CreateTexture(8, 8, 1, ResourceUsage::Plain, TextureFormat::A8R8G8B8, MemoryPool::Managed, t), DeviceResult::Ok);
  textures.push_back(t);
  LockedRect locked;
  EXPECT_EQ(device.LockRect(t, 0, nullptr, locked), DeviceResult::Failed);
  EXPECT_EQ(locked.bits, nullptr);
  Surface* target = reinterpret_cast<Surface*>(1);
  EXPECT_EQ(device.CreateRenderTarget(8, 8, TextureFormat::X8R8G8B8, false, target), DeviceResult::Failed);
  EXPECT_EQ(target, nullptr);
  EXPECT_EQ(device.SetViewport({0, 0, 8, 8, 0, 1}), DeviceResult::Failed);
  EXPECT_EQ(device.Present(nullptr, nullptr), DeviceResult::DeviceLost);
  device.settings.failingCalls.clear();
  EXPECT_EQ(device.LockRect(t, 0, nullptr, locked), DeviceResult::Ok);
  EXPECT_EQ(device.UnlockRect(t, 0), DeviceResult::Ok);
}

TEST_F(GpuDevice, ShadersAreRefused) {
  Create();
  Shader* shader = reinterpret_cast<Shader*>(1);
  const uint32_t code[4] = {};
  EXPECT_EQ(device.CreateVertexShader(code, sizeof code, shader), DeviceResult::NotSupported);
  EXPECT_EQ(shader, nullptr);
  EXPECT_EQ(device.CreatePixelShader(code, sizeof code, shader), DeviceResult::NotSupported);
  const float constant[4] = {0, 1, 0, 0};
  EXPECT_EQ(device.SetVertexShaderConstant(0, constant, 1), DeviceResult::NotSupported);
  EXPECT_EQ(device.SetPixelShaderConstant(5, constant, 1), DeviceResult::NotSupported);
  // Unbinding is what the runtime does before every draw; it succeeds.
  EXPECT_EQ(device.SetVertexShader(nullptr), DeviceResult::Ok);
  EXPECT_EQ(device.SetPixelShader(nullptr), DeviceResult::Ok);
}

TEST_F(GpuDevice, RecordingWrapperSeesEveryCallAndForwardsIt) {
  platform::gpu::RecordingGraphicsDevice recorder(device);
  PresentParameters p;
  p.backBufferWidth = 64;
  p.backBufferHeight = 48;
  ASSERT_EQ(recorder.CreateDevice(p, VertexProcessing::Software), DeviceResult::Ok);
  Surface* back = nullptr;
  recorder.GetBackBuffer(back);
  Texture* t = nullptr;
  ASSERT_EQ(recorder.CreateTexture(8, 8, 1, ResourceUsage::Plain, TextureFormat::A8R8G8B8, MemoryPool::Managed, t), DeviceResult::Ok);
  recorder.SetTexture(0, t);
  recorder.SetRenderState(RenderState::AlphaReference, 16);
  recorder.SetRenderState(RenderState::SourceBlend, 99);  // refused, and recorded as such
  recorder.SetVertexFormat(kSpriteFormat);
  std::vector<SpriteVertex> quad;
  SpriteQuad(quad, 0.5f, 0.5f, 8.5f, 8.5f, 0, 0, 1, 1);
  recorder.BeginScene();
  ASSERT_EQ(recorder.DrawPrimitiveUP(PrimitiveType::TriangleList, 2, quad.data(), sizeof(SpriteVertex)), DeviceResult::Ok);
  recorder.EndScene();
  recorder.ColorFill(back, nullptr, 0xFF102030);
  recorder.Present(nullptr, nullptr);
  recorder.SetTexture(0, nullptr);
  recorder.Release(t);
  recorder.Release(back);

  EXPECT_EQ(recorder.Count("DrawPrimitiveUP"), 1);
  const auto* draw = recorder.Named("DrawPrimitiveUP")[0];
  EXPECT_EQ(draw->arguments, "TriangleList, 2, stride 28");
  ASSERT_EQ(draw->vertices.size(), 6 * sizeof(SpriteVertex));
  SpriteVertex fourth;
  std::memcpy(&fourth, draw->vertices.data() + 3 * sizeof(SpriteVertex), sizeof fourth);
  EXPECT_EQ(fourth.x, 8.5f);
  const auto states = recorder.Named("SetRenderState");
  ASSERT_EQ(states.size(), 2u);
  EXPECT_EQ(states[0]->arguments, "AlphaReference, 16");
  EXPECT_EQ(states[0]->values, (std::vector<int64_t>{int64_t(RenderState::AlphaReference), 16}));
  EXPECT_EQ(states[1]->result, DeviceResult::InvalidCall);
  EXPECT_EQ(recorder.Named("CreateTexture")[0]->arguments, "8x8, 1, Plain, A8R8G8B8, Managed, #2");
  EXPECT_EQ(recorder.Named("SetTexture")[0]->arguments, "0, #2");
  EXPECT_EQ(recorder.Named("ColorFill")[0]->arguments, "#1, null, 0xFF102030");
  EXPECT_EQ(recorder.Count("Present"), 1);
  EXPECT_NE(recorder.Text().find("BeginScene()\n"), std::string::npos);
  // The inner device did the work.
  EXPECT_EQ(window.presentCount, 1);
  EXPECT_EQ(window.frame[0], 0xFF102030u);
  recorder.ReleaseDevice();
}

}  // namespace
}  // namespace qr::testing
