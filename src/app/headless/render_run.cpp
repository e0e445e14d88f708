#include "render_run.h"

#include <fstream>
#include <iostream>

#include "app/settings_exchange.h"
#include "app/visualizer_dialog.h"
#include "headless_platform.h"
#include "json_description.h"
#include "png_writer.h"

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

bool WriteDump(const std::string& where, const nlohmann::ordered_json& json, std::ostream& out) {
  if (where == "-") {
    out << json.dump() << '\n';
    return static_cast<bool>(out);
  }
  std::ofstream file(where);
  file << json.dump() << '\n';
  file.close();
  if (!file) std::cerr << "vortana-render: cannot write the JSON file " << where << '\n';
  return static_cast<bool>(file);
}

}  // namespace

int RunRender(const RenderOptions& options, std::ostream& out) {
  HeadlessPlatform platform;
  VisualizerDialog dialog(platform);
  dialog.OnInitDialog();
  dialog.Repaint();  // the first paint of a freshly shown window: legend and swatch

  // The line colour is chosen as a user does: a click on the swatch answered by the chooser.
  const PixelPoint swatch = platform.Layout().swatch;
  platform.PresetColour(options.lineColour);
  dialog.OnLeftButtonDown(swatch.x, swatch.y);

  // The load shows the settings and so rewrites every control, so the options are written after
  // it, as a user would type them after opening a file.
  const LoadResult loaded = dialog.Load(options.dataset);
  if (!loaded.Ok()) return kExitUnusableData;
  WriteControls(options, platform);

  // The dialog's no-data message names no file and no reason; on a command line the data set
  // and what is wrong with it must be named, so Visualize is not asked to show it.
  const FlowField* field = dialog.Field();
  if (field == nullptr || !field->HasCell()) {
    std::cerr << "vortana-render: nothing to draw in " << options.dataset << ": ";
    if (!loaded.Notice().empty()) {
      std::cerr << loaded.Notice() << '\n';
    } else {
      std::cerr << "it declares " << (field ? field->Width() : 0) << " x "
                << (field ? field->Height() : 0) << " x " << (field ? field->Depth() : 0)
                << " nodes, and a picture needs a cell of 2 x 2 nodes in the first slice\n";
    }
    return kExitUnusableData;
  }
  dialog.OnVisualize();
  if (!platform.Messages().empty()) return kExitUnusableData;
  const PixelPoint origin = platform.DrawingAreaOrigin();
  for (const PixelPoint& probe : options.probes) {
    dialog.OnLeftButtonDown(origin.x + probe.x, origin.y + probe.y);
  }
  if (options.repaint) dialog.Repaint();

  bool written = true;
  if (!options.output.empty()) {
    const std::string error = WritePng(options.output, dialog.DrawingArea(),
                                       options.legend ? &dialog.LegendStrip() : nullptr);
    if (!error.empty()) {
      std::cerr << "vortana-render: " << error << '\n';
      written = false;
    }
  }
  if (!options.dump.empty()) {
    written = WriteDump(options.dump, DescribeDialog(dialog, options.dataset), out) && written;
  }
  return written ? kExitSuccess : kExitUnusableData;
}

}  // namespace vortana
