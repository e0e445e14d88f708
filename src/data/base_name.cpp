#include "data/base_name.h"

#include <cstdio>

namespace vortana {

namespace {
constexpr const char* kDataSuffix = ".00000.dat";
}

std::string BaseNameOfPath(const std::string& path) {
  const std::string suffix = kDataSuffix;
  const std::size_t nameStart = path.find_last_of("/\\") == std::string::npos
                                    ? 0
                                    : path.find_last_of("/\\") + 1;
  // The data file's fixed ".00000" is part of its suffix, not of the base name.
  if (path.size() >= suffix.size() && path.size() - suffix.size() >= nameStart &&
      path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
    return path.substr(0, path.size() - suffix.size());
  }
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot < nameStart) return path;
  return path.substr(0, dot);
}

std::string GridFileName(const std::string& baseName) { return baseName + ".gri"; }
std::string DataFileName(const std::string& baseName) { return baseName + kDataSuffix; }

std::string StepDataFileName(const std::string& baseName, int step) {
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%05d.dat", step);
  return baseName + suffix;
}

}  // namespace vortana
