#pragma once

#include <functional>
#include <string>

#include "app/platform.h"

namespace vortana {

/// Runs one command of the window. When memory runs out during it, the user is told what could
/// not be done ("There is not enough memory to WHAT.") and the window goes on: an exception must
/// not reach the toolkit's event loop, which cannot pass it on.
void RunCommand(Platform& platform, const std::string& what, const std::function<void()>& command);

/// The message RunCommand shows, for a caller that must show it later (not inside a paint).
void ReportNotEnoughMemory(Platform& platform, const std::string& what);

}  // namespace vortana
