// The host system through Linux calls: uname and os-release, CPUID, sysinfo, the current
// directory, an abstract Unix socket as the single-instance lock, stderr as debugger output
// (only while a debugger is attached), and the resources compiled into the program.
#pragma once

#include "platform/system.h"

namespace qr::platform {

class LinuxSystem final : public System {
 public:
  ~LinuxSystem() override;
  OsVersion Version() override;
  MemoryStatus Memory() override;
  bool HasCpuid() override;
  CpuidResult Cpuid(uint32_t leaf) override;
  std::string CurrentDirectory() override;
  bool SetCurrentDirectory(const std::string& hostPath) override;
  bool ClaimInstance(const std::string& name) override;
  void ReleaseInstance() override;
  void DebugOutput(const char* text) override;
  Resource FindResource(int id) override;
  [[noreturn]] void ExitProcess(int code) override;

 private:
  int instanceSocket_ = -1;
  int debuggerAttached_ = -1;  // -1 not yet looked up
};

}  // namespace qr::platform
