#pragma once

#include <functional>
#include <string_view>

namespace vortana {

/// The status of a program that could not finish: not enough memory, or its standard output
/// could not be written.
inline constexpr int kExitNotFinished = 1;

/// Runs a command-line program's work and returns its exit status. Memory running out anywhere
/// ends it with "PROGRAM: there is not enough memory to go on" and kExitNotFinished instead of an
/// abort. Standard output is the product of --help, --list or --dump -: when it cannot be written
/// whole (a full disk, /dev/full), a run that would have succeeded says so and fails.
int RunProgram(std::string_view program, const std::function<int()>& work);

}  // namespace vortana
