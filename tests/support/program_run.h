#pragma once

#include <string>
#include <vector>

namespace vortana::testing {

/// What a program run left: its exit status (-1 when it did not exit normally) and its output.
struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

/// Runs the built vortana-render with `args`. Sanitizer reports get exit codes of their own
/// (86, 87), so that they never pass for "unusable data" (1); a hang ends as status 124 after
/// two minutes instead of a stuck test.
ProgramRun RunRender(const std::vector<std::string>& args);

/// The whole content of a text file; empty when it cannot be read.
std::string ReadText(const std::string& path);

}  // namespace vortana::testing
