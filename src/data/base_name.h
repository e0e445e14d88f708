#pragma once

#include <string>

namespace vortana {

/// The base name of a chosen path: the file name loses everything from its last '.', a folder
/// name is never cut, and ".00000.dat" goes as a whole so that either file of a pair opens it.
std::string BaseNameOfPath(const std::string& path);

/// The two files of a data set.
std::string GridFileName(const std::string& baseName);  // base + ".gri"
std::string DataFileName(const std::string& baseName);  // base + ".00000.dat"
/// The data file of time step `step`: baseName + ".00000.dat", ".00001.dat", ...
std::string StepDataFileName(const std::string& baseName, int step);

}  // namespace vortana
