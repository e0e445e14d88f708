// vortana-sample: writes the analytic sample flows as file pairs, so that a new user has data to
// open. Exit codes: 0 done, 1 a folder or file (standard output included) could not be written
// or memory ran out, 2 a bad command line.

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/program_guard.h"
#include "app/sample_flows.h"
#include "data/base_name.h"
#include "data/flow_file_writer.h"

namespace {

using vortana::SampleFlow;
using vortana::SampleOptions;

constexpr const char* kProgram = "vortana-sample";
constexpr int kExitWriteFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kHelpUsage = R"(Usage: vortana-sample [OPTION]... FLOW OUTDIR
  or:  vortana-sample [OPTION]... --all OUTDIR
  or:  vortana-sample --list
Write analytic 2-D flows as Vortana data sets: OUTDIR/FLOW.gri (the grid) and
OUTDIR/FLOW.00000.dat (velocity, pressure and vorticity). Open the .gri file in
Vortana. OUTDIR is created when it does not exist; existing files are replaced.

)";
constexpr const char* kHelpOptions = R"(
Options:
      --all          write every flow
      --width N      nodes across, 2 to 4096 (default 128)
      --height N     nodes down, 2 to 4096 (default 128)
      --size N       nodes across and down, 2 to 4096
      --extent X,Y   world size of the grid: x runs from 0 to X, y from 0 to Y;
                     positive finite numbers (default 512,512: one world unit
                     per pixel of the 512 x 512 drawing area; streamline steps
                     are world lengths, so a much smaller extent draws broken
                     streamlines)
      --list         print the flow names, one per line, and exit
  -h, --help         print this help and exit

A value may also follow its option after '=' (--width=256). '--' ends the options.
Prints one line per data set written: the grid file and its nodes.

Exit status: 0 on success, 1 when a folder or file cannot be written,
2 when the command line is wrong.
)";

/// A command line that cannot be run; the message names the option or argument at fault.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Action { Write, List, Help };

struct Command {
  Action action = Action::Write;
  std::vector<SampleFlow> flows;
  std::string outDir;
  SampleOptions options;
};

std::string FlowNameList() {
  std::string list;
  for (SampleFlow flow : vortana::AllSampleFlows()) {
    if (!list.empty()) list += ", ";
    list += vortana::SampleFlowName(flow);
  }
  return list;
}

std::string NodeRange() {
  return std::to_string(vortana::kMinSampleNodes) + " to " +
         std::to_string(vortana::kMaxSampleNodes);
}

int ParseNodeCount(std::string_view option, std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, value);
  const bool whole = ec == std::errc() && stop == end && !text.empty();
  if (!whole || value < vortana::kMinSampleNodes || value > vortana::kMaxSampleNodes) {
    throw UsageError(std::string(option) + " must be a whole number from " + NodeRange() +
                     ", not '" + std::string(text) + "'");
  }
  return value;
}

// A positive finite number that stays positive and finite once rounded to a stored float.
std::optional<float> ParseExtentPart(std::string_view text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || stop != end || text.empty()) return std::nullopt;
  const float stored = static_cast<float>(value);
  if (!std::isfinite(value) || !std::isfinite(stored) || !(stored > 0.0f)) return std::nullopt;
  return stored;
}

void ParseExtent(std::string_view text, SampleOptions& options) {
  const std::size_t comma = text.find(',');
  std::optional<float> x, y;
  if (comma != std::string_view::npos) {
    x = ParseExtentPart(text.substr(0, comma));
    y = ParseExtentPart(text.substr(comma + 1));
  }
  if (!x || !y) {
    throw UsageError("--extent must be two positive finite numbers X,Y (such as 2,1), not '" +
                     std::string(text) + "'");
  }
  options.extentX = *x;
  options.extentY = *y;
}

SampleFlow ParseFlow(const std::string& name) {
  if (const auto flow = vortana::SampleFlowByName(name)) return *flow;
  throw UsageError("unknown flow '" + name + "'; the flows are " + FlowNameList());
}

bool TakesValue(std::string_view option) {
  return option == "--width" || option == "--height" || option == "--size" ||
         option == "--extent";
}

void ApplyValue(std::string_view option, std::string_view value, SampleOptions& options) {
  if (option == "--width") {
    options.width = ParseNodeCount(option, value);
  } else if (option == "--height") {
    options.height = ParseNodeCount(option, value);
  } else if (option == "--size") {
    options.width = options.height = ParseNodeCount(option, value);
  } else {
    ParseExtent(value, options);
  }
}

// GNU style: options and operands in any order, "--name value" or "--name=value", "--" ends the
// options. The first fault ends the parse; -h/--help wins when it comes before any fault.
Command ParseCommandLine(const std::vector<std::string>& args) {
  Command command;
  bool all = false;
  bool list = false;
  std::vector<std::string> operands;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      operands.insert(operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                      args.end());
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      operands.push_back(arg);
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      command.action = Action::Help;
      return command;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = std::string_view(arg).substr(0, equals);
    if (name == "--all" || name == "--list") {
      if (equals != std::string::npos) throw UsageError(std::string(name) + " takes no value");
      (name == "--all" ? all : list) = true;
    } else if (TakesValue(name)) {
      if (equals != std::string::npos) {
        ApplyValue(name, std::string_view(arg).substr(equals + 1), command.options);
      } else if (i + 1 < args.size()) {
        ApplyValue(name, args[++i], command.options);
      } else {
        throw UsageError(std::string(name) + " needs a value");
      }
    } else {
      throw UsageError("unknown option '" + arg + "'");
    }
  }

  if (list) {
    if (!operands.empty()) throw UsageError("--list takes no arguments, not '" + operands[0] + "'");
    command.action = Action::List;
    return command;
  }
  if (all) {
    if (operands.empty()) throw UsageError("--all needs OUTDIR");
    if (operands.size() > 1) {
      throw UsageError("--all writes every flow and takes only OUTDIR; unexpected '" +
                       operands[1] + "'");
    }
    command.flows = vortana::AllSampleFlows();
    command.outDir = operands[0];
    return command;
  }
  if (operands.empty()) throw UsageError("missing FLOW and OUTDIR");
  command.flows.push_back(ParseFlow(operands[0]));
  if (operands.size() < 2) throw UsageError("missing OUTDIR after FLOW '" + operands[0] + "'");
  if (operands.size() > 2) throw UsageError("unexpected argument '" + operands[2] + "'");
  command.outDir = operands[1];
  return command;
}

int WriteSamples(const Command& command) {
  std::error_code ec;
  std::filesystem::create_directories(command.outDir, ec);
  if (ec) {
    std::cerr << kProgram << ": cannot create folder '" << command.outDir << "': " << ec.message()
              << '\n';
    return kExitWriteFailed;
  }
  const SampleOptions& options = command.options;
  for (SampleFlow flow : command.flows) {
    const std::string baseName =
        (std::filesystem::path(command.outDir) / vortana::SampleFlowName(flow)).string();
    std::vector<vortana::GridPoint> nodes;
    try {
      nodes = vortana::MakeSampleNodes(flow, options);
    } catch (const std::bad_alloc&) {
      std::cerr << kProgram << ": not enough memory for " << options.width << " x "
                << options.height << " nodes\n";
      return kExitWriteFailed;
    }
    const std::string error = vortana::WriteFlowFiles(baseName, options.width, options.height, 1,
                                                      vortana::kSampleScalarCount, nodes);
    if (!error.empty()) {
      std::cerr << kProgram << ": " << error << '\n';
      return kExitWriteFailed;
    }
    errno = 0;
    std::cout << vortana::GridFileName(baseName) << ": " << options.width << " x "
              << options.height << " nodes" << std::endl;
    if (!std::cout) {
      const int reason = errno;
      std::cerr << kProgram << ": cannot write to standard output ("
                << std::generic_category().message(reason ? reason : EIO) << ")\n";
      return kExitWriteFailed;
    }
  }
  return EXIT_SUCCESS;
}

}  // namespace

static int Main(int argc, char** argv) {
  Command command;
  try {
    command = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    std::cerr << kProgram << ": " << error.what() << '\n'
              << "Try '" << kProgram << " --help' for more information.\n";
    return kExitUsage;
  }
  switch (command.action) {
    case Action::Help:
      std::cout << kHelpUsage << "Flows: " << FlowNameList() << ".\n" << kHelpOptions;
      return EXIT_SUCCESS;
    case Action::List:
      for (SampleFlow flow : vortana::AllSampleFlows())
        std::cout << vortana::SampleFlowName(flow) << '\n';
      return EXIT_SUCCESS;
    case Action::Write:
      return WriteSamples(command);
  }
  return EXIT_SUCCESS;
}

int main(int argc, char** argv) {
  return vortana::RunProgram(kProgram, [&] { return Main(argc, argv); });
}
