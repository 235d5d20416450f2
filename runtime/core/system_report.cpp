// The system report at start: library version, operating system, processor and its speed.
#include <cstring>

#include "core/lifecycle.h"
#include "core/timing.h"
#include "platform/platform.h"
#include "qr.h"

namespace qr::core {

std::string OsName(int& osCode) {
  using Family = platform::OsVersion::Family;
  platform::OsVersion v = platform::Current().system->Version();
  char sp0 = v.servicePack.empty() ? '\0' : v.servicePack[0];
  switch (v.family) {
    case Family::Win32s:
      osCode = 0;
      return "Windows3.1";
    case Family::Windows9x:
      if (v.minor == 0) {
        osCode = 1;
        return sp0 == 'C' ? "Windows95OSR2" : "Windows95";
      }
      if (v.minor == 10) {
        osCode = 2;
        return sp0 == 'A' ? "Windows98SE" : "Windows98";
      }
      if (v.minor == 90) {
        osCode = 3;
        return "WindowsMe";
      }
      return "Windows";
    case Family::WindowsNT:
      if (v.major == 3) { osCode = 0x104; return "WindowsNT 3.51"; }
      if (v.major == 4) { osCode = 0x105; return "Windows4.0"; }
      if (v.major == 5 && v.minor == 0) { osCode = 0x106; return "Windows2000"; }
      if (v.major == 5 && v.minor == 1) { osCode = 0x107; return "WindowsXP"; }
      if (v.major == 6 && v.minor == 0) { osCode = 0x108; return "WindowsVista"; }
      if (v.major == 6 && v.minor == 1) { osCode = 0x109; return "Windows7"; }
      return "Windows";
    case Family::Other:
      break;
  }
  return v.name;
}

namespace {

void ProbeProcessor(CpuFeatures& cpu) {
  platform::System& system = *platform::Current().system;
  cpu = CpuFeatures{};
  if (!system.HasCpuid()) return;
  platform::CpuidResult leaf0 = system.Cpuid(0);
  std::memcpy(cpu.vendor + 0, &leaf0.ebx, 4);
  std::memcpy(cpu.vendor + 4, &leaf0.edx, 4);
  std::memcpy(cpu.vendor + 8, &leaf0.ecx, 4);
  platform::CpuidResult leaf1 = system.Cpuid(1);
  cpu.timeStampCounter = (leaf1.edx >> 4) & 1;
  if (system.Cpuid(0x80000000u).eax >= 0x80000004u) {
    for (uint32_t i = 0; i < 3; ++i) {
      platform::CpuidResult part = system.Cpuid(0x80000002u + i);
      std::memcpy(cpu.brand + 16 * i + 0, &part.eax, 4);
      std::memcpy(cpu.brand + 16 * i + 4, &part.ebx, 4);
      std::memcpy(cpu.brand + 16 * i + 8, &part.ecx, 4);
      std::memcpy(cpu.brand + 16 * i + 12, &part.edx, 4);
    }
  }
  cpu.level = 1;
  if (leaf1.edx & (1u << 23)) {
    cpu.level = 3;
    if (leaf1.edx & (1u << 25)) {
      cpu.level = 4;
      if (leaf1.edx & (1u << 26)) cpu.level = 5;
    }
  }
}

// Counts time-stamp ticks over 100 ms of the millisecond count.
void MeasureProcessorSpeed(CpuFeatures& cpu) {
  platform::Clock& clock = *platform::Current().clock;
  uint64_t first = clock.TimeStampCounter();
  int start = GetMillisecondCount();
  while (((GetMillisecondCount() - start) & 0x7FFFFFFF) < 100) {
  }
  uint64_t ticks = clock.TimeStampCounter() - first;
  cpu.megahertz = int(ticks / 100000);
  Timing().timeStampTicksPerSecond = ticks * 10;
  Timing().hasTimeStampCounter = 1;
  WriteLogFormat("ＣＰＵ動作速度：大体%.2fGHz", cpu.megahertz / 1000.0);
}

}  // namespace

void WriteSystemReport() {
  LifecycleState& life = Lifecycle();
  WriteLog("システムの情報を出力します\n");
  AddLogIndent();
  WriteLogFormat("ＱＲライブラリ Ver%s", "3.01");

  WriteLog("ＯＳ  ");
  std::string name = OsName(life.osCode);
  platform::OsVersion version = platform::Current().system->Version();
  WriteLogFormat("%s ( Build %d %s )", name.c_str(), version.build, version.servicePack.c_str());

  platform::Clock& clock = *platform::Current().clock;
  Timing().timerPeriod = clock.MinimumTimerPeriod();
  clock.BeginTimerPeriod(Timing().timerPeriod);

  CpuFeatures& cpu = life.cpu;
  ProbeProcessor(cpu);
  Timing().hasTimeStampCounter = 0;
  if (cpu.timeStampCounter) MeasureProcessorSpeed(cpu);

  switch (cpu.level) {
    case 0: WriteLog("ＣＰＵＩＤ命令は使えません\n"); break;
    case 1: WriteLog("ＭＭＸは使えません\n"); break;
    default:
      WriteLog("ＭＭＸ命令を使用します\n");
      if (cpu.level >= 4) WriteLog("ＳＳＥ命令が使用可能です\n");
      if (cpu.level >= 5) WriteLog("ＳＳＥ２命令が使用可能です\n");
      break;
  }
  cpu.mmx = cpu.level >= 3;
  cpu.sse = cpu.level >= 4;
  cpu.sse2 = cpu.level >= 5;
  if (cpu.level > 0) {
    WriteLog("ＣＰＵベンダ：");
    WriteLog(cpu.vendor);
    WriteLog("\n");
    if (cpu.brand[0] != '\0') WriteLogFormat("ＣＰＵ名：%s", cpu.brand);
  }
  SubLogIndent();
}

}  // namespace qr::core
