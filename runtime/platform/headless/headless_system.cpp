#include "platform/headless/headless_system.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/resources.h"

namespace qr::platform {
namespace {
std::mutex instancesLock;
std::set<std::string>& HeldInstances() {
  static std::set<std::string> held;
  return held;
}

uint32_t Pack4(const std::string& text, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) {
    unsigned char c = at + i < text.size() ? text[at + i] : 0;
    value |= uint32_t(c) << (8 * i);
  }
  return value;
}
}  // namespace

HeadlessSystem::HeadlessSystem() {
  // A Pentium 4 class processor with MMX, SSE and SSE2 and a time-stamp counter.
  SetProcessor("GenuineIntel", (1u << 4) | (1u << 23) | (1u << 25) | (1u << 26),
               "Headless Test CPU");
}

HeadlessSystem::~HeadlessSystem() { ReleaseInstance(); }

void HeadlessSystem::SetProcessor(const std::string& vendor, uint32_t features,
                                  const std::string& brand) {
  cpuid.clear();
  cpuid[0] = {1, Pack4(vendor, 0), Pack4(vendor, 8), Pack4(vendor, 4)};
  cpuid[1] = {0, 0, 0, features};
  if (!brand.empty()) {
    cpuid[0x80000000u] = {0x80000004u, 0, 0, 0};
    for (uint32_t leaf = 0; leaf < 3; ++leaf) {
      size_t at = leaf * 16;
      cpuid[0x80000002u + leaf] = {Pack4(brand, at), Pack4(brand, at + 4), Pack4(brand, at + 8),
                                   Pack4(brand, at + 12)};
    }
  }
}

void HeadlessSystem::HoldInstanceElsewhere(const std::string& name, bool held) {
  std::lock_guard<std::mutex> lock(instancesLock);
  if (held)
    HeldInstances().insert(name);
  else
    HeldInstances().erase(name);
}

CpuidResult HeadlessSystem::Cpuid(uint32_t leaf) {
  auto it = cpuid.find(leaf);
  return it == cpuid.end() ? CpuidResult{} : it->second;
}

bool HeadlessSystem::SetCurrentDirectory(const std::string& hostPath) {
  currentDirectory = hostPath;
  return true;
}

bool HeadlessSystem::ClaimInstance(const std::string& name) {
  std::lock_guard<std::mutex> lock(instancesLock);
  if (claimed_ == name) return true;
  if (!HeldInstances().insert(name).second) return false;
  if (!claimed_.empty()) HeldInstances().erase(claimed_);
  claimed_ = name;
  return true;
}

void HeadlessSystem::ReleaseInstance() {
  std::lock_guard<std::mutex> lock(instancesLock);
  if (!claimed_.empty()) HeldInstances().erase(claimed_);
  claimed_.clear();
}

Resource HeadlessSystem::FindResource(int id) {
  auto it = resources.find(id);
  return it != resources.end() ? it->second : FindCompiledResource(id);
}

void HeadlessSystem::ExitProcess(int code) {
  std::fflush(nullptr);
  std::_Exit(code);
}

}  // namespace qr::platform
