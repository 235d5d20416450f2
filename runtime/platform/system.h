// The host system: version, processor identification, memory, current directory, the
// single-instance lock, debugger output, resources compiled into the program, process exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qr::platform {

struct OsVersion {
  enum class Family { Win32s, Windows9x, WindowsNT, Other };
  Family family = Family::Other;
  int major = 0, minor = 0, build = 0;
  std::string servicePack;  // free text after the build number
  std::string name;         // for Family::Other: the system's own name
};

struct MemoryStatus {
  uint64_t totalPhysical = 0;
  uint64_t availablePhysical = 0;
};

struct CpuidResult {
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

struct Resource {
  const unsigned char* data = nullptr;
  size_t size = 0;
};

class System {
 public:
  virtual ~System() = default;
  virtual OsVersion Version() = 0;
  virtual MemoryStatus Memory() = 0;
  virtual bool HasCpuid() = 0;
  virtual CpuidResult Cpuid(uint32_t leaf) = 0;
  virtual std::string CurrentDirectory() = 0;  // host path
  virtual bool SetCurrentDirectory(const std::string& hostPath) = 0;
  // Takes the per-user lock of that name; false when another live process holds it.
  virtual bool ClaimInstance(const std::string& name) = 0;
  virtual void ReleaseInstance() = 0;
  virtual void DebugOutput(const char* text) = 0;
  virtual Resource FindResource(int id) = 0;
  [[noreturn]] virtual void ExitProcess(int code) = 0;
};

}  // namespace qr::platform
