// Drives the dialog with hostile scripts of user actions: data sets small enough to draw fast
// (sample flows, hand-edited grids with any float in any node, files that do not exist), settings
// typed as any text, clicks on every control, spinner steps, probes anywhere, right clicks,
// repaints. The script language is in dialog_script.cpp and fuzz/README.md.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "dialog_script.h"

namespace {

std::filesystem::path workFolder;

void RemoveWorkFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(workFolder, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  std::filesystem::path root = "/dev/shm";
  if (!std::filesystem::is_directory(root)) root = std::filesystem::temp_directory_path();
  workFolder = root / ("vortana-dialog-fuzz-" + std::to_string(::getpid()));
  std::filesystem::create_directories(workFolder);
  std::atexit(RemoveWorkFolder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view script(reinterpret_cast<const char*>(data), size);
  vortana::fuzz::RunDialogScript(script, workFolder.string());
  return 0;
}
