#include "app/program_guard.h"

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <new>
#include <system_error>

namespace vortana {

int RunProgram(std::string_view program, const std::function<int()>& work) {
  int status = kExitNotFinished;
  try {
    status = work();
  } catch (const std::bad_alloc&) {
    std::cerr << program << ": there is not enough memory to go on\n";
    return kExitNotFinished;
  }
  // What the stream buffered but could not write is tried once more, which tells the reason. A
  // text longer than the buffer failed while it was written, and the stream does not try again:
  // the reason is then the one that write left.
  const bool failedAlready = std::ferror(stdout) || std::cout.fail();
  const int earlierReason = errno;
  errno = 0;
  const bool streamFailed = !std::cout.flush();
  if (std::fflush(stdout) == 0 && !std::ferror(stdout) && !streamFailed) return status;
  if (status != 0) return status;  // the run has reported its own failure
  const int reason = errno != 0 ? errno : failedAlready ? earlierReason : 0;
  std::cerr << program << ": cannot write to standard output"
            << (reason ? " (" + std::generic_category().message(reason) + ")" : std::string())
            << '\n';
  return kExitNotFinished;
}

}  // namespace vortana
