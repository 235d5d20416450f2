// Making, losing and ending the graphics device, with every line the log gets on the way.
#include "graphics/device_start.h"

#include "core/lifecycle.h"
#include "core/main_window.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_state.h"
#include "graphics/graphic_handles.h"
#include "graphics/load_graphic.h"
#include "graphics/screen_settings.h"
#include "platform/platform.h"
#include "qr.h"
#include "text/font_record.h"

namespace qr::graphics {

using platform::DeviceResult;
using platform::Succeeded;

GraphicsDevice& Device() {
  static GraphicsDevice device;
  return device;
}

platform::GraphicsDevice* Host() { return platform::Current().graphics; }

int ScreenColourBits() { return Screen().colourBits == 32 ? 32 : 16; }

namespace {

const char* ScreenFormatName(TextureFormat format) {
  switch (format) {
    case TextureFormat::X8R8G8B8: return "D3DFMT_X8R8G8B8";
    case TextureFormat::R5G6B5: return "D3DFMT_R5G6B5";
    case TextureFormat::X1R5G5B5: return "D3DFMT_X1R5G5B5";
    default: return nullptr;
  }
}

void ReleaseObject(platform::Surface*& surface) {
  if (surface && Host()) Host()->Release(surface);
  surface = nullptr;
}

// The stand-in for the vertical-blank object: the window serves that wait, so this only keeps
// the lines that every start writes.
bool CreateDirectDraw() {
  GraphicsDevice& d = Device();
  d.directDraw = false;
  WriteLog("DirectDraw オブジェクトの取得を行います....  ");
  WriteLog("成功\n");
  WriteLog("引き続き初期化処理... ");
  WriteLog("初期化に成功しました\n");
  d.directDraw = true;
  return true;
}

bool CreateDirect3D() {
  WriteLog("IDirect3D9 オブジェクトを取得します.... ");
  if (!Host() || !Host()->Available()) return WriteLog("IDirect3D9 オブジェクトの取得に失敗しました\n"), false;
  WriteLog("成功\n");
  return true;
}

int CreateDirect3DDevice() {
  GraphicsDevice& d = Device();
  platform::GraphicsDevice& host = *Host();
  ScreenSettings& screen = Screen();
  host.ReleaseDevice();
  d.backBuffer = nullptr;
  WriteLog("IDirect3DDevice9 オブジェクトを取得します.... ");

  platform::PresentParameters parameters;
  parameters.backBufferWidth = screen.width;
  parameters.backBufferHeight = screen.height;
  parameters.backBufferCount = 1;
  parameters.lockableBackBuffer = true;
  parameters.presentImmediately = screen.noVSyncWait;
  parameters.windowed = core::MainWindow().settings.windowed != 0;
  if (parameters.windowed) {
    TextureFormat desktop = TextureFormat::Unknown;
    int w = 0, h = 0, rate = 0;
    host.AdapterDisplayMode(desktop, w, h, rate);
    parameters.backBufferFormat = desktop;
    parameters.swapEffect = platform::SwapEffect::Copy;
    if (desktop == TextureFormat::X8R8G8B8) screen.colourBits = 32;
    if (desktop == TextureFormat::R5G6B5 || desktop == TextureFormat::X1R5G5B5 ||
        desktop == TextureFormat::A1R5G5B5)
      screen.colourBits = 16;
  } else {
    if (screen.colourBits == 32) {
      parameters.backBufferFormat = TextureFormat::X8R8G8B8;
    } else if (screen.colourBits == 16) {
      parameters.backBufferFormat = host.AdapterModeCount(TextureFormat::R5G6B5) != 0
                                        ? TextureFormat::R5G6B5
                                        : TextureFormat::X1R5G5B5;
    } else {
      return WriteLog("非対応のバックバッファービット深度が指定されました\n"), -1;
    }
    parameters.refreshRate = screen.refreshRate;
    parameters.swapEffect = screen.emulate320x240 ? platform::SwapEffect::Copy : platform::SwapEffect::Discard;
  }

  platform::DeviceCapabilities adapterCaps = host.Capabilities();
  d.shaderCapable = false;
  bool created = false;
  if (adapterCaps.vertexShaderVersion >= 0x200 && adapterCaps.pixelShaderVersion >= 0x200 &&
      Succeeded(host.CreateDevice(parameters, platform::VertexProcessing::Mixed))) {
    d.shaderCapable = true;
    created = true;
    WriteLog("ハードウエア頂点演算を使用します\n");
  }
  if (!created) {
    if (!Succeeded(host.CreateDevice(parameters, platform::VertexProcessing::Software)))
      return WriteLog("Direct3DDevice9 の作成に失敗しました\n"), -1;
    WriteLog("ソフトウエア頂点演算を使用します\n");
  }

  ForgetShaderBindings();
  host.SetRenderState(platform::RenderState::ZEnable, 1);
  for (int i = 0; i < 3; ++i) {
    host.Clear(platform::clear_flags::kTarget, 0xFF000000u, 1.0f);
    host.Present(nullptr, nullptr);
  }
  if (!Succeeded(host.GetBackBuffer(d.backBuffer))) return WriteLog("Direct3DDevice9 の作成に失敗しました\n"), -1;
  WriteLog("成功\n");

  d.caps = host.Capabilities();
  d.vertexShader20 = d.shaderCapable && d.caps.vertexShaderVersion >= 0x200;
  d.pixelShader20 = d.shaderCapable && d.caps.pixelShaderVersion >= 0x200;
  d.blendOpSupported = d.caps.blendOperation;
  int maxWidth = d.caps.maxTextureWidth ? d.caps.maxTextureWidth : 256;
  int maxHeight = d.caps.maxTextureHeight ? d.caps.maxTextureHeight : 256;
  d.maxTextureSize = maxWidth < maxHeight ? maxWidth : maxHeight;
  d.squareTexturesOnly = d.caps.squareTexturesOnly;

  platform::AdapterIdentifier id = host.Identifier();
  WriteLogFormat("Driver:%s  Description:%s", id.driver.c_str(), id.description.c_str());

  platform::SurfaceDescription description;
  host.GetDescription(d.backBuffer, description);
  d.formats.screen = description.format;
  if (const char* name = ScreenFormatName(description.format))
    WriteLogFormat("画面のフォーマットは %s です", name);
  else
    WriteLogFormat("バックバッファが対応していないフォーマット %d です", int(description.format));
  return ProbeTextureFormats();
}

int CreateDepthBuffer() {
  GraphicsDevice& d = Device();
  if (!Host() || !Host()->DeviceExists()) return -1;
  ReleaseObject(d.depthSurface);
  WriteLog("Ｚバッファを作成します.... ");
  int w = 1, h = 1;
  while (w < Screen().width) w *= 2;
  while (h < Screen().height) h *= 2;
  if (!Succeeded(Host()->CreateDepthStencilSurface(w, h, d.formats.entries[kFormatDepth], true,
                                                   d.depthSurface)))
    return WriteLog("Ｚバッファの作成に失敗しました\n"), -1;
  d.depthWidth = w;
  d.depthHeight = h;
  Host()->SetDepthStencilSurface(d.depthSurface);
  Host()->Clear(platform::clear_flags::kZBuffer, 0, 1.0f);
  WriteLog("成功\n");
  return 0;
}

// Our device has no programmable shaders; the pack is never needed.
void SetupShaders() {
  GraphicsDevice& d = Device();
  d.shadersEnabled = false;
  if (!d.vertexShader20 || !d.pixelShader20) {
    WriteLog("プログラマブルシェーダーを使用しません\n");
    return;
  }
  // A device with shader model 2 would get the pack here; none is carried, so shaders stay off.
  WriteLog("シェーダーコードを展開するメモリ領域の確保に失敗しました\n");
  WriteLog("プログラマブルシェーダーを使用しません\n");
}

void ReadDisplayModes() {
  GraphicsDevice& d = Device();
  if (d.displayModesRead) return;
  d.displayModes.clear();
  for (const platform::DisplayMode& mode : platform::Current().window->DisplayModes())
    if (mode.bitsPerPixel >= 16) d.displayModes.push_back(mode);
  d.displayModesRead = true;
}

}  // namespace

int CreateGraphicsDevice() {
  GraphicsDevice& d = Device();
  if (!Host() || !Host()->Available()) return WriteLog("d3d9.dll の読み込みに失敗しました\n"), -1;
  d.libraryLoaded = true;
  if (!CreateDirectDraw()) {
    d.libraryLoaded = false;
    return -1;
  }
  d.hardware = false;
  if (!Screen().hardwareDisabled && CreateDirect3D() && CreateDirect3DDevice() == 0 &&
      CreateDepthBuffer() == 0) {
    d.hardware = true;
    SetupShaders();
  }
  if (!d.hardware) {
    ReleaseObject(d.depthSurface);
    ReleaseObject(d.backBuffer);
    Host()->ReleaseDevice();
    // The screen kept in main memory is not built yet: without the device there is no screen.
    return -1;
  }
  return 0;
}

void ReleaseDirect3D() {
  GraphicsDevice& d = Device();
  d.shadersEnabled = false;
  ReleaseObject(d.depthSurface);
  ReleaseObject(d.secondBackBuffer);
  ReleaseObject(d.backBuffer);
  if (Host()) Host()->ReleaseDevice();
  d.directDraw = false;
  d.libraryLoaded = false;
  d.displayModes.clear();
  d.displayModesRead = false;
}

int CreateSecondBackBuffer() {
  GraphicsDevice& d = Device();
  if (d.secondBackBuffer) return 0;
  if (!Host() || !Host()->DeviceExists()) return -1;
  FlushVertices();
  CloseScene();
  if (!Succeeded(Host()->CreateRenderTarget(Screen().width, Screen().height, d.formats.screen,
                                            false, d.secondBackBuffer))) {
    d.secondBackBuffer = nullptr;
    return WriteLog("サブバックバッファの作成に失敗しました\n"), -1;
  }
  Host()->StretchRect(d.backBuffer, nullptr, d.secondBackBuffer, nullptr, platform::TextureFilter::Point);
  Host()->SetRenderTarget(d.secondBackBuffer);
  ReapplyClipArea();
  return 0;
}

int InitGraphics() {
  GraphicsDevice& d = Device();
  if (d.ready) return 0;
  GraphicTable().ResetCounts();
  ScreenSettings& s = Screen();
  if (s.width == 0) s.width = 640;
  if (s.height == 0) s.height = 480;
  if (s.colourBits == 0) s.colourBits = 16;
  if (CreateGraphicsDevice() != 0) {
    EndGraphics();
    return -1;
  }
  d.ready = true;
  ResetDrawSettings();
  InitDrawState();
  text::InitFontSystem();
  return 0;
}

int EndGraphics() {
  GraphicsDevice& d = Device();
  text::EndFontSystem();
  if (d.ready) {
    DeleteAllGraphics();
    ForgetDrawState();
    ReleaseDirect3D();
    d.ready = false;
  }
  return 0;
}

int ChangeScreenMode(int width, int height, int colourBits, int force, int refreshRate) {
  ScreenSettings& s = Screen();
  if (width == -1) width = s.width;
  if (height == -1) height = s.height;
  if (colourBits == -1) colourBits = s.colourBits;
  if (refreshRate == -1) refreshRate = s.refreshRate;
  if (!force && width == s.width && height == s.height && colourBits == s.colourBits &&
      refreshRate == s.refreshRate)
    return 0;
  WriteLog("画面モード変更処理を開始します\n");
  AddLogIndent();
  text::DefaultFontSize fontSize = text::RememberDefaultFontSize();
  core::LifecycleState& life = core::Lifecycle();
  if (!life.started && !life.starting) {
    SubLogIndent();
    return 0;
  }
  if (Device().ready) EndGraphics();

  ScreenSettings previous = s;
  auto attempt = [&](int w, int h, int bits, int rate) {
    s.width = w;
    s.height = h;
    s.colourBits = bits;
    s.refreshRate = rate;
    return InitGraphics() == 0;
  };
  bool ok = attempt(width, height, colourBits, refreshRate);
  if (!ok && width == 320 && height == 240) {
    s.emulate320x240 = true;
    ok = attempt(640, 480, colourBits, refreshRate);
    if (!ok) s.emulate320x240 = false;
  }
  if (!ok) ok = attempt(previous.width, previous.height, previous.colourBits, previous.refreshRate);
  if (!ok) ok = attempt(640, 480, 16, 0);
  if (!ok) FatalError("予期せぬ画面モード変更不能現象が起きました2\n");

  SelectDrawTargetAgain();
  if (core::MainWindow().settings.windowed && core::MainWindow().created) core::FitMainWindow();
  text::RestoreDefaultFontSize(fontSize);
  SubLogIndent();
  WriteLog("画面モード変更処理は正常に終了しました\n");
  core::PumpMessagesUnguarded();
  return 0;
}

int RecreateGraphicsDevice() {
  GraphicsDevice& d = Device();
  if (!d.ready) return 0;
  if (d.hardware) ReleaseAllGraphicTextures();
  ForgetDrawState();
  ReleaseDirect3D();
  if (CreateGraphicsDevice() != 0) return 0;
  if (d.hardware) {
    RecreateAllGraphicTextures();
    InitDrawState();
    SelectDrawTargetAgain();
    ClearScreen();
    FlipScreen();
    ClearScreen();
    FlipScreen();
    if (d.restoreCallback)
      d.restoreCallback();
    else
      RestoreGraphicsFromFiles();
    text::RestoreFontHandles();
  }
  return 0;
}

}  // namespace qr::graphics

using namespace qr::graphics;

int SetScreenMode(int width, int height, int colourBits, int refreshRate) {
  if (width == 0 || height == 0 || (colourBits != 8 && colourBits != 16 && colourBits != 32)) return -1;
  ScreenSettings& s = Screen();
  if (!qr::core::Started()) {
    s.width = width;
    s.height = height;
    s.colourBits = colourBits;
    s.refreshRate = refreshRate;
    return 0;
  }
  ScreenSettings before = s;
  ChangeScreenMode(width, height, colourBits, 0, refreshRate);
  if (s.width == width && s.height == height && s.colourBits == colourBits && s.refreshRate == refreshRate)
    return 0;
  bool fellBack = s.width == 640 && s.height == 480 && s.colourBits == 16 && s.refreshRate == 0;
  bool wasOther = !(before.width == 640 && before.height == 480 && before.colourBits == 16 &&
                    before.refreshRate == 0);
  return fellBack && wasOther ? -2 : -1;
}

int SetHardwareRendering(int enabled) {
  if (qr::core::Started()) return -1;
  Screen().hardwareDisabled = enabled == 0;
  return 0;
}

int SetVerticalSyncWait(int enabled) {
  Screen().noVSyncWait = enabled == 0;
  return 0;
}

int GetVerticalSyncWait() { return Screen().noVSyncWait ? 0 : 1; }

int SetRestoreCallback(void (*routine)()) {
  Device().restoreCallback = routine;
  return 0;
}

int GetDisplayModeCount() {
  ReadDisplayModes();
  return int(Device().displayModes.size());
}

int GetDisplayMode(int index, int* width, int* height, int* colourBits, int* refreshRate) {
  ReadDisplayModes();
  const auto& modes = Device().displayModes;
  bool valid = index >= 0 && size_t(index) < modes.size();
  if (width) *width = valid ? modes[size_t(index)].width : -1;
  if (height) *height = valid ? modes[size_t(index)].height : -1;
  if (colourBits) *colourBits = valid ? modes[size_t(index)].bitsPerPixel : -1;
  if (refreshRate) *refreshRate = valid ? modes[size_t(index)].refreshRate : -1;
  return valid ? 0 : -1;
}
