#include "app/command_guard.h"

#include <new>

#include "app/visualizer_dialog.h"

namespace vortana {

void RunCommand(Platform& platform, const std::string& what, const std::function<void()>& command) {
  try {
    command();
  } catch (const std::bad_alloc&) {
    ReportNotEnoughMemory(platform, what);
  }
}

void ReportNotEnoughMemory(Platform& platform, const std::string& what) {
  platform.ShowMessage("There is not enough memory to " + what + ".", VisualizerDialog::kTitle,
                       MessageIcon::Stop);
}

}  // namespace vortana
