// A system whose every answer is a field tests set. Instance locks are shared by all headless
// systems of the process, so a test can play the copy that already runs.
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/system.h"

namespace qr::platform {

class HeadlessSystem final : public System {
 public:
  OsVersion version{OsVersion::Family::WindowsNT, 5, 1, 2600, "Service Pack 3", ""};
  MemoryStatus memory{uint64_t(1) << 31, uint64_t(1) << 30};
  bool hasCpuid = true;
  std::map<uint32_t, CpuidResult> cpuid;  // leaves not listed read as zero
  std::string currentDirectory = "/";
  std::string debugText;  // everything sent to the debugger output
  std::map<int, Resource> resources;  // consulted before the compiled-in ones

  HeadlessSystem();
  ~HeadlessSystem() override;

  // Sets CPUID leaves for a processor with that vendor, features (EDX of leaf 1) and brand.
  void SetProcessor(const std::string& vendor, uint32_t features, const std::string& brand);

  // Marks a name as held by another process, or frees it again.
  static void HoldInstanceElsewhere(const std::string& name, bool held);

  OsVersion Version() override { return version; }
  MemoryStatus Memory() override { return memory; }
  bool HasCpuid() override { return hasCpuid; }
  CpuidResult Cpuid(uint32_t leaf) override;
  std::string CurrentDirectory() override { return currentDirectory; }
  bool SetCurrentDirectory(const std::string& hostPath) override;
  bool ClaimInstance(const std::string& name) override;
  void ReleaseInstance() override;
  void DebugOutput(const char* text) override { debugText += text; }
  Resource FindResource(int id) override;
  [[noreturn]] void ExitProcess(int code) override;

 private:
  std::string claimed_;
};

}  // namespace qr::platform
