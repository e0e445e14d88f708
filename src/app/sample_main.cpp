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

#include "app/command_line.h"
#include "app/program_guard.h"
#include "app/sample_flows.h"
#include "data/base_name.h"
#include "data/flow_file_writer.h"
#include "data/flow_steps_writer.h"

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
constexpr const char* kHelpFooter =
    R"(A value may also follow its option after '=' (--width=256). '--' ends the options.
Prints one line per data set written: the grid file and its nodes.

Exit status: 0 on success, 1 when a folder or file cannot be written,
2 when the command line is wrong.)";

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
  std::string helpText;
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

// A wrong value ends the parse at once; its message is the whole usage error.
int ParseNodeCount(std::string_view option, std::string_view text) {
  const std::optional<int> value = vortana::StrictInteger(text);
  if (!value || *value < vortana::kMinSampleNodes || *value > vortana::kMaxSampleNodes) {
    throw CLI::ValidationError(std::string(option) + " must be a whole number from " + NodeRange() +
                               ", not '" + std::string(text) + "'");
  }
  return *value;
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
    throw CLI::ValidationError(
        "--extent must be two positive finite numbers X,Y (such as 2,1), not '" +
        std::string(text) + "'");
  }
  options.extentX = *x;
  options.extentY = *y;
}

SampleFlow ParseFlow(const std::string& name) {
  if (const auto flow = vortana::SampleFlowByName(name)) return *flow;
  throw UsageError("unknown flow '" + name + "'; the flows are " + FlowNameList());
}

// A node count option that sets `first` and, for --size, `second` too.
void AddNodeCount(CLI::App& app, const std::string& name, const std::string& help, int& first,
                  int* second = nullptr) {
  app.add_option_function<std::string>(
         name,
         [name, &first, second](const std::string& text) {
           first = ParseNodeCount(name, text);
           if (second) *second = first;
         },
         help)
      ->type_name("N")
      ->trigger_on_parse();
}

// GNU style: options and operands in any order, "--name value" or "--name=value", "--" ends the
// options. The first wrong value ends the parse; past that, -h/--help wins over every fault.
Command ParseCommandLine(const std::vector<std::string>& args) {
  Command command;
  SampleOptions& options = command.options;
  const std::string defaultText = "(default " + std::to_string(SampleOptions{}.width) + ")";
  bool all = false;
  bool list = false;
  std::vector<std::string> operands;
  const std::unique_ptr<CLI::App> app =
      vortana::MakeCommandLine(kHelpUsage + ("Flows: " + FlowNameList() + ".\n"), kHelpFooter);
  app->set_help_flag("-h,--help", "print this help and exit");
  app->add_flag("--all", all, "write every flow");
  AddNodeCount(*app, "--width", "nodes across, " + NodeRange() + " " + defaultText, options.width);
  AddNodeCount(*app, "--height", "nodes down, " + NodeRange() + " " + defaultText, options.height);
  AddNodeCount(*app, "--size", "nodes across and down, " + NodeRange(), options.width,
               &options.height);
  app->add_option_function<std::string>(
         "--extent", [&options](const std::string& text) { ParseExtent(text, options); },
         "world size of the grid: x runs from 0 to X, y from 0 to Y;\n"
         "positive finite numbers (default 512,512: one world unit\n"
         "per pixel of the 512 x 512 drawing area). vortana-render\n"
         "--step-units pixels measures streamline steps in pixels,\n"
         "so any extent draws as 512,512 does")
      ->type_name("X,Y")
      ->trigger_on_parse();
  app->add_option_function<std::string>(
         "--steps",
         [&options](const std::string& text) {
           const std::optional<int> value = vortana::StrictInteger(text);
           if (!value || *value < 1 || *value > vortana::kMaxSampleSteps) {
             throw CLI::ValidationError("--steps must be a whole number from 1 to " +
                                        std::to_string(vortana::kMaxSampleSteps) + ", not '" +
                                        text + "'");
           }
           options.steps = *value;
         },
         "time steps, 1 to 1000 (default 1), written as\n"
         "FLOW.00000.dat, FLOW.00001.dat, ... beside FLOW.gri; with\n"
         "more than one, the double gyre is the time-dependent one\n"
         "(A 0.1, epsilon 0.25, omega 2 pi / 10 at t = 0, 1, ...)\n"
         "and the vortex street moves downstream; the steady flows\n"
         "repeat their field")
      ->type_name("N")
      ->trigger_on_parse();
  app->add_flag("--list", list, "print the flow names, one per line, and exit");
  app->add_option("OPERANDS", operands);

  try {
    vortana::ParseArguments(*app, args);
  } catch (const CLI::CallForHelp&) {
    command.action = Action::Help;
    command.helpText = app->help();
    return command;
  } catch (const CLI::ParseError& error) {
    throw UsageError(vortana::UsageErrorText(*app, error));
  }
  if (const std::string unknown = vortana::UnknownOptionText(*app); !unknown.empty()) {
    throw UsageError(unknown);
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

// One step's field at a time is held; the files appear together once all are written.
std::string WriteSampleSteps(SampleFlow flow, const SampleOptions& options,
                             const std::string& baseName) {
  vortana::FlowStepsWriter writer(baseName);
  for (int step = 0; step < options.steps; ++step) {
    if (std::string error = writer.Add(*vortana::MakeSampleField(flow, options, step));
        !error.empty()) {
      return error;
    }
  }
  return writer.Commit();
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
    std::string error;
    try {
      error = options.steps > 1
                  ? WriteSampleSteps(flow, options, baseName)
                  : vortana::WriteFlowFiles(baseName, options.width, options.height, 1,
                                            vortana::kSampleScalarCount,
                                            vortana::MakeSampleNodes(flow, options));
    } catch (const std::bad_alloc&) {
      std::cerr << kProgram << ": not enough memory for " << options.width << " x "
                << options.height << " nodes\n";
      return kExitWriteFailed;
    }
    if (!error.empty()) {
      std::cerr << kProgram << ": " << error << '\n';
      return kExitWriteFailed;
    }
    errno = 0;
    std::cout << vortana::GridFileName(baseName) << ": " << options.width << " x "
              << options.height << " nodes";
    if (options.steps > 1) std::cout << ", " << options.steps << " steps";
    std::cout << std::endl;
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
      std::cout << command.helpText;
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
