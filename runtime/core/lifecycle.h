// Start-up and shut-down of the runtime.
#pragma once

#include <string>

namespace qr::core {

struct CpuFeatures {
  int level = 0;  // 0 no CPUID, 1 CPUID only, 3 MMX, 4 and SSE, 5 and SSE2
  int mmx = 0, sse = 0, sse2 = 0;
  int timeStampCounter = 0;
  int megahertz = 0;
  char vendor[13] = {};
  char brand[49] = {};
};

struct LifecycleState {
  int started = 0;
  int starting = 0;
  int comStarted = 0;
  int osCode = 0;
  CpuFeatures cpu;
  std::string savedDirectory;  // CP932, as the stream functions' GetDirectory gave it
};

LifecycleState& Lifecycle();
bool Started();

// The system report written at start: version, OS, processor.
void WriteSystemReport();
// The OS line's name for a version, and the OS code it implies (unchanged for other systems).
std::string OsName(int& osCode);

}  // namespace qr::core
