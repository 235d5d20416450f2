// InitSound and EndSound with their log lines, and the sound system's module state.
#include "sound/sound_system.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "qr.h"
#include "sound/sound_state.h"

namespace qr::sound {

SoundSystem& Sound() {
  static SoundSystem state;
  return state;
}

platform::AudioOutput& Output() { return *platform::Current().audio; }

namespace {

const char* OkOrNo(bool flag) { return flag ? "OK" : "NO"; }

// Writes a formatted text exactly (its own line end, if any, included).
void LogText(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogText(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  WriteLog(buffer);
}

void StartSilentBuffer(platform::AudioOutput& out) {
  SoundSystem& s = Sound();
  s.silentBuffer = out.CreateBuffer({2, 44100, 16}, 400);
  if (!s.silentBuffer) {
    WriteLog("無音バッファの作成に失敗しました");
    return;
  }
  void *part1 = nullptr, *part2 = nullptr;
  uint32_t bytes1 = 0, bytes2 = 0;
  if (!out.Lock(s.silentBuffer, 0, 400, &part1, &bytes1, &part2, &bytes2)) {
    WriteLog("無音バッファのロックに失敗しました");
    out.ReleaseBuffer(s.silentBuffer);
    s.silentBuffer = 0;
    return;
  }
  std::memset(part1, 0, bytes1);
  if (part2) std::memset(part2, 0, bytes2);
  out.Unlock(s.silentBuffer, part1, bytes1, part2, bytes2);
  out.Play(s.silentBuffer, true);
}

void LogDevices(platform::AudioOutput& out, const platform::AudioCapabilities& caps) {
  AddLogIndent();
  WriteLog("DirectSound デバイスを列挙します\n");
  AddLogIndent();
  for (const platform::AudioDeviceName& device : out.DeviceNames())
    WriteLogFormat("モジュール名:%15s  ドライバ記述:%s ", device.module.c_str(),
                   device.description.c_str());
  SubLogIndent();
  WriteLogFormat("最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz ",
                 caps.maxSecondaryRate / 1000.0, caps.minSecondaryRate / 1000.0);
  LogText("総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB \n",
          caps.totalHardwareMemory / 1024.0, caps.freeHardwareMemory / 1024.0);
  WriteLog("利用可能サンプリング精度\n");
  WriteLogFormat(" プライマリ １６bit = %s  ８bit = %s ", OkOrNo(caps.primary16Bit),
                 OkOrNo(caps.primary8Bit));
  LogText(" セカンダリ １６bit = %s  ８bit = %s \n", OkOrNo(caps.secondary16Bit),
          OkOrNo(caps.secondary8Bit));
  WriteLog("利用可能チャンネル\n");
  WriteLogFormat(" プライマリ MONO = %s  STEREO = %s ", OkOrNo(caps.primaryMono),
                 OkOrNo(caps.primaryStereo));
  LogText(" セカンダリ MONO = %s  STEREO = %s \n", OkOrNo(caps.secondaryMono),
          OkOrNo(caps.secondaryStereo));
  SubLogIndent();
}

}  // namespace

int InitSound() {
  SoundSystem& s = Sound();
  if (s.started) return -1;
  platform::AudioOutput* out = platform::Current().audio;
  WriteLog("DirectSound の初期化を行います\n");
  WriteLog("DirectSound インターフェースの取得を行います....  ");
  if (!out || !out->Open()) return WriteLog("DirectSoundインターフェースの作成に失敗しました\n");
  WriteLog("成功\n");
  WriteLog("引き続きインターフェースの初期化処理...  ");
  WriteLog("成功\n");

  platform::AudioCapabilities caps = out->Capabilities();
  platform::PcmFormat primary;
  primary.channels = caps.primaryStereo ? 2 : 1;
  primary.bitsPerSample = caps.primary16Bit ? 16 : 8;
  primary.samplesPerSecond = caps.maxSecondaryRate < 44100 ? caps.maxSecondaryRate : 44100;
  if (!out->SetPrimaryFormat(primary))
    WriteLog("DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\n");

  StartSilentBuffer(*out);
  s.dataType = 0;
  core::InitHandleList(s.streamHead, s.streamTail);
  LogDevices(*out, caps);

  WriteLog("DirectSound の初期化は正常に終了しました\n");
  s.started = true;
  DeleteAllSoundHandles();
  return 0;
}

int EndSound() {
  SoundSystem& s = Sound();
  if (!s.started) return -1;
  DeleteAllSoundHandles();
  platform::AudioOutput& out = Output();
  if (s.silentBuffer) {
    out.Stop(s.silentBuffer);
    out.ReleaseBuffer(s.silentBuffer);
    s.silentBuffer = 0;
  }
  out.Close();
  s.started = false;
  WriteLog("DirectSound の終了処理は正常に終了しました\n");
  return 0;
}

}  // namespace qr::sound
