#include "render_run.h"

#include <cerrno>
#include <iostream>
#include <new>
#include <system_error>
#include <utility>

#include "app/field_warnings.h"
#include "app/settings_exchange.h"
#include "app/visualizer_dialog.h"
#include "data/base_name.h"
#include "data/output_file.h"
#include "headless_platform.h"
#include "json_description.h"
#include "app/png_writer.h"

namespace vortana {

namespace {

// The settings of the command line, typed into their controls as a user would. The texts are
// left as the load filled them in; a setting the command line left alone holds its start-up
// value, as its control does.
void WriteControls(const RenderOptions& options, Platform& platform) {
  for (const SettingDescription& setting : kSettingTable) {
    if (setting.InDialog() && setting.kind != SettingKind::Text) {
      ShowSetting(platform, setting, options.settings);
    }
  }
}

std::string ReasonText(int error) {
  return error ? " (" + std::generic_category().message(error) + ")" : std::string();
}

bool WriteDump(const std::string& where, std::string text, std::ostream& out) {
  text += '\n';
  if (where == "-") {
    errno = 0;
    if (out << text && out.flush()) return true;
    std::cerr << "vortana-render: cannot write the JSON description to standard output"
              << ReasonText(errno) << '\n';
    return false;
  }
  const std::string error = WriteWholeFile(where, "the JSON file", text);
  if (!error.empty()) std::cerr << "vortana-render: " << error << '\n';
  return error.empty();
}

}  // namespace

std::string RefusedOutput(const RenderOptions& options) {
  const std::string base = BaseNameOfPath(options.dataset);
  const std::pair<std::string, const char*> inputs[] = {{GridFileName(base), "grid file"},
                                                        {DataFileName(base), "data file"}};
  const std::pair<const std::string&, const char*> outputs[] = {{options.output, "the PNG file"},
                                                                {options.dump, "the JSON file"}};
  for (const auto& [output, kind] : outputs) {
    if (output.empty() || (&output == &options.dump && output == "-")) continue;
    for (const auto& [input, inputKind] : inputs) {
      if (IsSameFile(output, input)) {
        return std::string(kind) + " " + output + " is the data set's " + inputKind + " " + input +
               "; writing it would destroy the data";
      }
    }
    if (const std::string reason = NonRegularOutputReason(output); !reason.empty()) {
      return "cannot write " + std::string(kind) + " " + output + " (" + reason + ")";
    }
  }
  return {};
}

int RunRender(const RenderOptions& options, std::ostream& out) {
  if (const std::string refusal = RefusedOutput(options); !refusal.empty()) {
    std::cerr << "vortana-render: " << refusal << '\n';
    return kExitUsage;
  }
  HeadlessDialog headless(options);
  VisualizerDialog& dialog = headless.Dialog();

  // The load shows the settings and so rewrites every control, so the options are written after
  // it, as a user would type them after opening a file.
  const LoadResult loaded = dialog.Load(options.dataset);
  if (!loaded.Ok()) return kExitUnusableData;
  if (const FlowField* field = dialog.Field()) {
    for (const std::string& warning : FieldWarnings(*field)) {
      std::cerr << "vortana-render: warning: " << options.dataset << ": " << warning << '\n';
    }
  }

  // The dialog's no-data message names no file and no reason; on a command line the data set
  // and what is wrong with it must be named, so Visualize is not asked to show it.
  if (const std::string nothing = headless.NothingToDraw(options.dataset, loaded.Notice());
      !nothing.empty()) {
    std::cerr << "vortana-render: " << nothing << '\n';
    return kExitUnusableData;
  }
  if (!headless.Draw(options)) return kExitUnusableData;
  return headless.WriteOutputs(options, out) ? kExitSuccess : kExitUnusableData;
}

HeadlessDialog::HeadlessDialog(const RenderOptions& options) {
  // The settings that no control holds are the dialog's before it starts, so that even its first
  // paint (the legend) shows them.
  for (const SettingDescription& setting : kSettingTable) {
    if (!setting.InDialog() && setting.value) {
      dialog_.MutableSettings().*setting.value = options.settings.*setting.value;
    }
  }
  dialog_.OnInitDialog();
  dialog_.Repaint();  // the first paint of a freshly shown window: legend and swatch

  // The line colour is chosen as a user does: a click on the swatch answered by the chooser.
  const PixelPoint swatch = platform_.Layout().swatch;
  platform_.PresetColour(options.lineColour);
  dialog_.OnLeftButtonDown(swatch.x, swatch.y);
}

std::string HeadlessDialog::NothingToDraw(const std::string& dataset,
                                          const std::string& notice) const {
  const FlowField* field = dialog_.Field();
  if (field != nullptr && field->HasCell()) return {};
  std::string text = "nothing to draw in " + dataset + ": ";
  if (!notice.empty()) return text + notice;
  return text + "it declares " + std::to_string(field ? field->Width() : 0) + " x " +
         std::to_string(field ? field->Height() : 0) + " x " +
         std::to_string(field ? field->Depth() : 0) +
         " nodes, and a picture needs a cell of 2 x 2 nodes in the first slice";
}

bool HeadlessDialog::Draw(const RenderOptions& options) {
  WriteControls(options, platform_);
  dialog_.OnVisualize();
  if (!platform_.Messages().empty()) return false;
  const PixelPoint origin = platform_.DrawingAreaOrigin();
  for (const PixelPoint& probe : options.probes) {
    dialog_.OnLeftButtonDown(origin.x + probe.x, origin.y + probe.y);
  }
  if (options.repaint) dialog_.Repaint();
  return true;
}

bool HeadlessDialog::WriteOutputs(const RenderOptions& options, std::ostream& out) {
  VisualizerDialog& dialog = dialog_;
  bool written = true;
  if (!options.output.empty()) {
    std::string error;
    try {
      error = WritePng(options.output, dialog.DrawingArea(),
                       options.legend ? &dialog.LegendStrip() : nullptr);
    } catch (const std::bad_alloc&) {
      error = "there is not enough memory to write the PNG file " + options.output;
    }
    if (!error.empty()) {
      std::cerr << "vortana-render: " << error << '\n';
      written = false;
    }
  }
  if (!options.dump.empty()) {
    try {
      written = WriteDump(options.dump, DescribeDialog(dialog, options.dataset), out) && written;
    } catch (const std::bad_alloc&) {
      std::cerr << "vortana-render: there is not enough memory to write the JSON description "
                << (options.dump == "-" ? "to standard output" : options.dump) << '\n';
      written = false;
    }
  }
  return written;
}

}  // namespace vortana
