#include "desktop_options.h"

namespace vortana {

DesktopOptions ParseDesktopOptions(const std::vector<std::string>& args) {
  DesktopOptions options;
  bool optionsEnded = false;
  for (const std::string& arg : args) {
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && (arg == "-h" || arg == "--help")) {
      options.help = true;
    } else if (!optionsEnded && arg == "--version") {
      options.version = true;
    } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      if (options.error.empty()) options.error = "unknown option '" + arg + "'";
    } else if (options.dataset) {
      if (options.error.empty()) {
        options.error = "one data set at a time; unexpected '" + arg + "'";
      }
    } else {
      options.dataset = arg;
    }
  }
  return options;
}

bool AsksForHelpOrVersion(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--") return false;
    if (arg == "-h" || arg == "--help" || arg == "--version") return true;
  }
  return false;
}

std::string DesktopUsage() {
  return "Usage: vortana [OPTION]... [DATASET]\n"
         "Show a two-dimensional flow field as arrows or streamlines over a colour background,\n"
         "in a window. With DATASET (either file of a grid/data file pair), open it at start-up.\n"
         "\n"
         "Options:\n"
         "  -h, --help                            print this help and exit\n"
         "      --version                         print the version and exit\n"
         "\n"
         "Qt's own options (for example -platform offscreen) are accepted too.\n"
         "Data sets are also opened with File > Open, the \"...\" button, the Filename field and\n"
         "Enter, or by dropping a file on the window.\n";
}

std::string DesktopVersion() { return std::string("vortana ") + VORTANA_VERSION + "\n"; }

}  // namespace vortana
