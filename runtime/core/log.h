// The log file: internal parts that start-up and tests use. The writing calls are in qr.h.
#pragma once

#include <string>

namespace qr::core {

struct LogState {
  int disabled = 0;
  int dateStampedName = 0;
  int timeStampsOff = 0;
  std::string fileName;        // without directory
  std::string savedDirectory;  // host path of the directory current at start; empty before
  unsigned startTime = 0;
  int indentation = 0;
  int midLine = 0;
};

LogState& Log();

// Creates the empty log file in the saved directory (start-up).
void CreateLogFile();

}  // namespace qr::core
