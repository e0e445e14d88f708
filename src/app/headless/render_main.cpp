// vortana-render: the dialog without a window, from the command line to PNG and JSON.

#include <iostream>
#include <string>
#include <vector>

#include "app/program_guard.h"
#include "render_options.h"
#include "render_run.h"

static int Main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const vortana::ParsedRenderOptions parsed = vortana::ParseRenderOptions(args);
  if (!parsed.error.empty()) {
    std::cerr << "vortana-render: " << parsed.error << "\nTry 'vortana-render --help'.\n";
    return vortana::kExitUsage;
  }
  if (parsed.options.help) {
    std::cout << vortana::RenderUsage();
    return vortana::kExitSuccess;
  }
  return vortana::RunRender(parsed.options, std::cout);
}

int main(int argc, char** argv) {
  return vortana::RunProgram("vortana-render", [&] { return Main(argc, argv); });
}
