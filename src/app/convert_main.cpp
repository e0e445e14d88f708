// vortana-convert: reads a data set in any format Vortana opens and writes it, every time step,
// as a grid/data file pair, a NumPy .npz archive or a NetCDF file, chosen by the output's name.
// Exit codes: 0 done, 1 the input could not be read or the output written, 2 a bad command line.

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/program_guard.h"
#include "data/base_name.h"
#include "data/array_writers.h"
#include "data/field_reader.h"
#include "data/flow_field.h"
#include "data/flow_steps_writer.h"
#include "data/gridded_steps.h"
#include "data/netcdf_reader.h"
#include "data/output_file.h"

namespace {

constexpr const char* kProgram = "vortana-convert";
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kHelpUsage = R"(Usage: vortana-convert [OPTION]... IN OUT
Convert a Vortana data set, with all its time steps, to the format OUT's name
ends in:
  NAME.gri   a grid/data file pair: NAME.gri and NAME.00000.dat, NAME.00001.dat,
             ... (one data file per time step)
  NAME.npz   a NumPy archive as np.savez writes it: x, y, u, v [, w, pressure,
             vorticity], float32; u and the others are T x H x W when there are
             several steps
  NAME.nc    a NetCDF file (64-bit offset format) with CF attributes
IN is any data set Vortana opens (a .gri or .00000.dat of a pair, .nc, ...).
Float32 values are kept bit for bit. Only rectilinear grids (x along the rows,
y along the columns) can be written to .npz and .nc.

)";
constexpr const char* kHelpFooter =
    R"(A value may also follow its option after '=' (--u=uwnd). '--' ends the options.
Existing output files are replaced.

Exit status: 0 on success, 1 when the input cannot be read or the output
cannot be written, 2 when the command line is wrong.)";

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Target { Pair, Npz, Netcdf };

struct Command {
  bool help = false;
  std::string helpText;
  std::string in;
  std::string out;
  Target target = Target::Pair;
  vortana::NetcdfVariables names;
};

Target TargetOf(const std::string& out) {
  if (out.ends_with(".gri") || out.ends_with(".00000.dat")) return Target::Pair;
  if (out.ends_with(".npz")) return Target::Npz;
  if (out.ends_with(".nc")) return Target::Netcdf;
  throw UsageError("cannot tell the format of '" + out + "': OUT must end in .gri, .npz or .nc");
}

Command ParseCommandLine(const std::vector<std::string>& args) {
  Command command;
  std::vector<std::string> operands;
  const std::unique_ptr<CLI::App> app = vortana::MakeCommandLine(kHelpUsage, kHelpFooter);
  app->set_help_flag("-h,--help", "print this help and exit");
  app->add_option("--u", command.names.u, "NetCDF input: the variable of the x velocity")
      ->type_name("NAME");
  app->add_option("--v", command.names.v, "NetCDF input: the variable of the y velocity")
      ->type_name("NAME");
  app->add_option("--pressure", command.names.pressure,
                  "NetCDF input: the variable shown as pressure")
      ->type_name("NAME");
  app->add_option("--vorticity", command.names.vorticity,
                  "NetCDF input: the variable shown as vorticity")
      ->type_name("NAME");
  app->add_option("OPERANDS", operands);
  try {
    vortana::ParseArguments(*app, args);
  } catch (const CLI::CallForHelp&) {
    command.help = true;
    command.helpText = app->help();
    return command;
  } catch (const CLI::ParseError& error) {
    throw UsageError(vortana::UsageErrorText(*app, error));
  }
  if (const std::string unknown = vortana::UnknownOptionText(*app); !unknown.empty()) {
    throw UsageError(unknown);
  }
  if (operands.empty()) throw UsageError("missing IN and OUT");
  if (operands.size() < 2) throw UsageError("missing OUT after IN '" + operands[0] + "'");
  if (operands.size() > 2) throw UsageError("unexpected argument '" + operands[2] + "'");
  command.in = operands[0];
  command.out = operands[1];
  command.target = TargetOf(command.out);
  return command;
}

/// The files a conversion writes (for a pair: the grid file and one data file per step).
std::vector<std::string> OutputFiles(const Command& command, int steps) {
  if (command.target != Target::Pair) return {command.out};
  const std::string base = vortana::BaseNameOfPath(command.out);
  std::vector<std::string> files = {vortana::GridFileName(base)};
  for (int step = 0; step < steps; ++step) files.push_back(vortana::StepDataFileName(base, step));
  return files;
}

/// The files the input is read from: the path, and for a pair both its files.
std::vector<std::string> InputFiles(const std::string& in) {
  const std::string base = vortana::BaseNameOfPath(in);
  return {in, vortana::GridFileName(base), vortana::DataFileName(base)};
}

int Fail(const std::string& message) {
  std::cerr << kProgram << ": " << message << '\n';
  return kExitFailed;
}

int Convert(const Command& command) {
  const vortana::NetcdfReader netcdf(command.names);
  const vortana::ReaderSet readers = vortana::ReaderSet::Standard().Replacing(netcdf);
  vortana::FileStore files;
  // Step 0 tells how many steps there are; it is converted first.
  vortana::LoadResult first =
      vortana::LoadDataSet(command.in, files, readers, vortana::ReadRequest{0});
  if (!first.Ok()) return Fail(first.Message());
  const int steps = std::max(1, first.StepCount());

  for (const std::string& out : OutputFiles(command, steps)) {
    for (const std::string& in : InputFiles(command.in)) {
      if (vortana::IsSameFile(out, in)) {
        return Fail("cannot write " + out + ": it is the input file " + command.in);
      }
    }
    if (const std::string reason = vortana::NonRegularOutputReason(out); !reason.empty()) {
      return Fail(reason);
    }
  }

  vortana::FlowStepsWriter pair(vortana::BaseNameOfPath(command.out));
  vortana::GriddedSteps arrays;
  int width = 0, height = 0, depth = 0;
  for (int step = 0; step < steps; ++step) {
    vortana::LoadResult loaded =
        step == 0 ? std::move(first)
                  : vortana::LoadDataSet(command.in, files, readers, vortana::ReadRequest{step});
    if (!loaded.Ok()) return Fail(loaded.Message());
    const vortana::FlowField& field = *loaded.Field();
    width = field.Width();
    height = field.Height();
    depth = field.Depth();
    const std::string error = command.target == Target::Pair ? pair.Add(field) : arrays.Add(field);
    if (!error.empty()) {
      return Fail(command.target == Target::Pair
                      ? error
                      : "cannot write " + command.out + ": " + error +
                            "; only rectilinear grids can be written to .npz and .nc");
    }
  }
  std::string error;
  switch (command.target) {
    case Target::Pair:
      error = pair.Commit();
      break;
    case Target::Npz:
      error = vortana::WriteNpzFile(command.out, arrays);
      break;
    case Target::Netcdf:
      error = vortana::WriteNetcdfFile(command.out, arrays);
      break;
  }
  if (!error.empty()) return Fail(error);
  std::cout << command.out << ": " << width << " x " << height << " x " << depth << " nodes, "
            << steps << (steps == 1 ? " time step" : " time steps") << std::endl;
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
  if (command.help) {
    std::cout << command.helpText;
    return EXIT_SUCCESS;
  }
  return Convert(command);
}

int main(int argc, char** argv) {
  return vortana::RunProgram(kProgram, [&] { return Main(argc, argv); });
}
