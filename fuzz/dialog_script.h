#pragma once

#include <string>
#include <string_view>

namespace vortana::fuzz {

/// Runs a script of user actions against a fresh dialog on the scripted platform, one command a
/// line, and checks after every command what must always hold of the stored pictures. Files the
/// script writes or opens live in `workFolder`. Aborts, naming the broken rule, when a check
/// fails. The commands are listed in fuzz/README.md.
void RunDialogScript(std::string_view script, const std::string& workFolder);

}  // namespace vortana::fuzz
