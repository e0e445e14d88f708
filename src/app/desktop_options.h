#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vortana {

/// The desktop program's own command line: `vortana [DATASET]`, --help and --version. Qt's
/// options (-platform, -style, ...) are taken out by Qt before this sees the arguments.
struct DesktopOptions {
  bool help = false;
  bool version = false;
  std::optional<std::string> dataset;
  /// Why the command line cannot be run; empty when it can.
  std::string error;
};

/// Parses the arguments after the program name. "--" ends the options, so a data set whose
/// name begins with '-' can be given.
DesktopOptions ParseDesktopOptions(const std::vector<std::string>& args);

/// Whether --help or --version is asked for anywhere: answered before the window system starts,
/// so that they work without a display (man pages are made from them at build time).
bool AsksForHelpOrVersion(const std::vector<std::string>& args);

std::string DesktopUsage();
std::string DesktopVersion();

}  // namespace vortana
