#include "platform/linux/linux_system.h"

#include <sys/socket.h>
#include <sys/sysinfo.h>
#include <sys/un.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "platform/resources.h"

namespace qr::platform {

LinuxSystem::~LinuxSystem() { ReleaseInstance(); }

OsVersion LinuxSystem::Version() {
  OsVersion version;
  version.family = OsVersion::Family::Other;
  utsname names{};
  uname(&names);
  // The distribution's name when it gives one, else the kernel's.
  version.name = names.sysname;
  std::ifstream release("/etc/os-release");
  for (std::string line; std::getline(release, line);) {
    if (line.rfind("PRETTY_NAME=", 0) == 0) {
      std::string value = line.substr(12);
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
      if (!value.empty()) version.name = value;
    }
  }
  // The kernel's build counter ("#1 SMP ...") stands where Windows puts its build number.
  const char* hash = std::strchr(names.version, '#');
  version.build = hash ? std::atoi(hash + 1) : 0;
  std::sscanf(names.release, "%d.%d", &version.major, &version.minor);
  version.servicePack = std::string(names.sysname) + " " + names.release;
  return version;
}

MemoryStatus LinuxSystem::Memory() {
  MemoryStatus status;
  struct sysinfo info {};
  if (sysinfo(&info) == 0) {
    status.totalPhysical = uint64_t(info.totalram) * info.mem_unit;
    status.availablePhysical = uint64_t(info.freeram) * info.mem_unit;
  }
  // MemAvailable counts reclaimable caches too, which is what "available" means to a user.
  std::ifstream meminfo("/proc/meminfo");
  for (std::string line; std::getline(meminfo, line);) {
    unsigned long long kib = 0;
    if (std::sscanf(line.c_str(), "MemAvailable: %llu kB", &kib) == 1)
      status.availablePhysical = kib * 1024u;
  }
  return status;
}

bool LinuxSystem::HasCpuid() {
#if defined(__x86_64__) || defined(__i386__)
  return __get_cpuid_max(0, nullptr) != 0;
#else
  return false;
#endif
}

CpuidResult LinuxSystem::Cpuid(uint32_t leaf) {
  CpuidResult result;
#if defined(__x86_64__) || defined(__i386__)
  __cpuid(leaf, result.eax, result.ebx, result.ecx, result.edx);
#else
  (void)leaf;
#endif
  return result;
}

std::string LinuxSystem::CurrentDirectory() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

bool LinuxSystem::SetCurrentDirectory(const std::string& hostPath) {
  return chdir(hostPath.c_str()) == 0;
}

bool LinuxSystem::ClaimInstance(const std::string& name) {
  ReleaseInstance();
  // An abstract socket name lives only as long as its socket: a crashed copy never blocks the
  // next start. The name is hashed so that any class name fits.
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  int length = std::snprintf(address.sun_path + 1, sizeof address.sun_path - 1,
                             "qr-instance-%u-%016llx", unsigned(getuid()),
                             static_cast<unsigned long long>(hash));
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return true;  // no lock to be had: do not refuse the start for that
  socklen_t size = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + length);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
    close(fd);
    return false;
  }
  instanceSocket_ = fd;
  return true;
}

void LinuxSystem::ReleaseInstance() {
  if (instanceSocket_ >= 0) close(instanceSocket_);
  instanceSocket_ = -1;
}

void LinuxSystem::DebugOutput(const char* text) {
  if (debuggerAttached_ < 0) {
    debuggerAttached_ = 0;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
      int tracer = 0;
      if (std::sscanf(line.c_str(), "TracerPid: %d", &tracer) == 1) debuggerAttached_ = tracer != 0;
    }
  }
  if (debuggerAttached_) std::fputs(text, stderr);
}

Resource LinuxSystem::FindResource(int id) { return FindCompiledResource(id); }

void LinuxSystem::ExitProcess(int code) {
  std::fflush(nullptr);
  std::_Exit(code);
}

}  // namespace qr::platform
