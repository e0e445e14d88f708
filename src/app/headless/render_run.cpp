#include "render_run.h"

#include <cerrno>
#include <iostream>
#include <new>
#include <sstream>
#include <system_error>
#include <utility>

#include "app/field_warnings.h"
#include "app/settings_exchange.h"
#include "app/visualizer_dialog.h"
#include "data/base_name.h"
#include "data/field_reader.h"
#include "data/output_file.h"
#include "render/view_navigation.h"
#include "headless_platform.h"
#include "json_description.h"
#include "app/picture_writer.h"
#include "frame_series.h"

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

// The step of a step-by-step load, read as the dialog's own load reads step 0 and reported as it
// reports a failure.
LoadResult LoadStep(StepRender& render, const std::string& path, int step) {
  FileStore files;
  LoadResult result = LoadDataSet(path, files, ReaderSet::Standard(), ReadRequest{step});
  render.dialog.UseField(result.TakeField(), path);
  if (!result.Ok()) {
    render.platform.ShowMessage(result.Message(), VisualizerDialog::kTitle, MessageIcon::Stop);
  }
  return result;
}

}  // namespace

std::string RefusedOutput(const RenderOptions& options) {
  const std::string base = BaseNameOfPath(options.dataset);
  const std::pair<std::string, const char*> inputs[] = {{GridFileName(base), "grid file"},
                                                        {DataFileName(base), "data file"}};
  const std::pair<const std::string&, const char*> outputs[] = {
      {options.output, "the PNG file"},
      {options.dump, "the JSON file"},
      {options.animation, "the WebP file"}};
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

std::optional<int> CountSteps(const std::string& dataset) {
  FileStore files;
  const LoadResult loaded = LoadDataSet(dataset, files);
  if (!loaded.Ok()) return std::nullopt;
  return loaded.StepCount();
}

std::string StepBeyondText(const std::string& dataset, int step, int steps) {
  return dataset + " holds " + std::to_string(steps) +
         (steps == 1 ? " time step (step 0)" : " time steps (0 to " + std::to_string(steps - 1) + ")") +
         "; there is no step " + std::to_string(step);
}

void StartHeadless(const RenderOptions& options, StepRender& render) {
  HeadlessPlatform& platform = render.platform;
  VisualizerDialog& dialog = render.dialog;
  // The settings that no control holds are the dialog's before it starts, so that even its first
  // paint (the legend) shows them.
  for (const SettingDescription& setting : kSettingTable) {
    if (!setting.InDialog() && setting.value) {
      dialog.MutableSettings().*setting.value = options.settings.*setting.value;
    }
  }
  dialog.OverrideWindow(options.window);
  dialog.OnInitDialog();
  dialog.Repaint();  // the first paint of a freshly shown window: legend and swatch

  // The line colour is chosen as a user does: a click on the swatch answered by the chooser.
  const PixelPoint swatch = platform.Layout().swatch;
  platform.PresetColour(options.lineColour);
  dialog.OnLeftButtonDown(swatch.x, swatch.y);
}

int DrawStep(const RenderOptions& options, std::optional<int> step, StepRender& render) {
  VisualizerDialog& dialog = render.dialog;
  StartHeadless(options, render);
  // The load shows the settings and so rewrites every control, so the options are written after
  // it, as a user would type them after opening a file.
  const LoadResult loaded = step ? LoadStep(render, options.dataset, *step) : dialog.Load(options.dataset);
  if (!loaded.Ok()) return kExitUnusableData;
  render.stepCount = loaded.StepCount();
  if (const FlowField* field = dialog.Field()) {
    for (const std::string& warning : FieldWarnings(*field)) {
      std::cerr << "vortana-render: warning: " << options.dataset << ": " << warning << '\n';
    }
  }
  const DrawOutcome outcome = DrawLoaded(options, render, loaded.Notice());
  if (!outcome.message.empty()) std::cerr << "vortana-render: " << outcome.message << '\n';
  return outcome.status;
}

DrawOutcome DrawLoaded(const RenderOptions& options, StepRender& render,
                       const std::string& notice) {
  HeadlessPlatform& platform = render.platform;
  VisualizerDialog& dialog = render.dialog;
  WriteControls(options, platform);
  // The slices are known only now; a slice beyond them is a usage error, as a number out of
  // range on the command line is.
  if (const FlowField* field = dialog.Field();
      field && field->Depth() >= 1 && options.settings.slice >= field->Depth()) {
    return {kExitUsage, "--slice: expected an integer between 0 and " +
                            std::to_string(field->Depth() - 1) + ", got '" +
                            std::to_string(options.settings.slice) + "' (" + options.dataset +
                            " has " + std::to_string(field->Depth()) +
                            (field->Depth() == 1 ? " slice)" : " slices)")};
  }

  if (const FlowField* field = dialog.Field(); field && options.window &&
                                              !WindowMeetsData(*options.window, *field)) {
    const WorldWindow& w = *options.window;
    const FieldStatistics& stats = field->Stats();
    std::ostringstream text;
    text << "--window " << w.x0 << ',' << w.y0 << ',' << w.x1 << ',' << w.y1
         << " lies outside the data of " << options.dataset << ", which spans " << stats.minPosition.x
         << ',' << stats.minPosition.y << " to " << stats.maxPosition.x << ','
         << stats.maxPosition.y;
    return {kExitUsage, text.str()};
  }
  // With the data's proportions the area may be narrower than the size the probes were checked
  // against.
  const Surface& area = dialog.DrawingArea();
  platform.SetDrawingAreaSize(area.Width(), area.Height());
  for (const PixelPoint& probe : options.probes) {
    if (probe.x >= area.Width() || probe.y >= area.Height()) {
      return {kExitUsage, "--probe " + std::to_string(probe.x) + ',' + std::to_string(probe.y) +
                              " lies outside the drawing area, which --aspect equal makes " +
                              std::to_string(area.Width()) + " x " +
                              std::to_string(area.Height()) + " pixels for " + options.dataset};
    }
  }

  // The dialog's no-data message names no file and no reason; on a command line the data set
  // and what is wrong with it must be named, so Visualize is not asked to show it.
  const FlowField* field = dialog.Field();
  if (field == nullptr || !field->HasCell()) {
    std::string message = "nothing to draw in " + options.dataset + ": ";
    if (!notice.empty()) {
      message += notice;
    } else {
      message += "it declares " + std::to_string(field ? field->Width() : 0) + " x " +
                 std::to_string(field ? field->Height() : 0) + " x " +
                 std::to_string(field ? field->Depth() : 0) +
                 " nodes, and a picture needs a cell of 2 x 2 nodes in the first slice";
    }
    return {kExitUnusableData, message};
  }
  dialog.FixBackgroundRange(options.colourRange);
  dialog.OnVisualize();
  if (!platform.Messages().empty()) return {kExitUnusableData, {}};
  const PixelPoint origin = platform.DrawingAreaOrigin();
  for (const PixelPoint& probe : options.probes) {
    dialog.OnLeftButtonDown(origin.x + probe.x, origin.y + probe.y);
  }
  if (options.repaint) dialog.Repaint();
  return {};
}

DescriptionKeys KeysOfDescription(const RenderOptions& options, const StepRender& render,
                                  std::optional<int> step) {
  DescriptionKeys keys;
  keys.slice = options.sliceGiven;
  keys.area = options.areaChosen;
  keys.view = options.viewChosen || options.window || !render.dialog.FromFilePair();
  // A description names its step whenever steps were asked for or there are several.
  if (step || render.stepCount > 1) keys.step = StepPosition{step.value_or(0), render.stepCount};
  return keys;
}

int WriteStepOutputs(const RenderOptions& options, const StepOutputs& outputs, StepRender& render,
                     std::ostream& out) {
  VisualizerDialog& dialog = render.dialog;
  bool written = true;
  if (!outputs.picture.empty()) {
    std::string error;
    try {
      PictureOptions picture;
      picture.legend = options.legend;
      picture.lineWidth = options.lineWidth;
      picture.colourBar = options.colourBar;
      picture.axes = options.axes;
      picture.arrowheads = options.arrowheads;
      error = WritePicture(dialog, picture, outputs.picture);
    } catch (const std::bad_alloc&) {
      const std::optional<PictureFormat> format = PictureFormatOfPath(outputs.picture);
      const char* kind = format == PictureFormat::Svg   ? "the SVG file"
                         : format == PictureFormat::Pdf ? "the PDF file"
                                                        : "the PNG file";
      error = std::string("there is not enough memory to write ") + kind + " " + outputs.picture;
    }
    if (!error.empty()) {
      std::cerr << "vortana-render: " << error << '\n';
      written = false;
    }
  }
  if (!outputs.dump.empty()) {
    try {
      written = WriteDump(outputs.dump,
                          DescribeDialog(dialog, options.dataset,
                                         KeysOfDescription(options, render, outputs.step)),
                          out) &&
                written;
    } catch (const std::bad_alloc&) {
      std::cerr << "vortana-render: there is not enough memory to write the JSON description "
                << (outputs.dump == "-" ? "to standard output" : outputs.dump) << '\n';
      written = false;
    }
  }
  return written ? kExitSuccess : kExitUnusableData;
}

int RunRender(const RenderOptions& options, std::ostream& out) {
  if (const std::string refusal = RefusedOutput(options); !refusal.empty()) {
    std::cerr << "vortana-render: " << refusal << '\n';
    return kExitUsage;
  }
  // Checked after the refusals above, whose messages say more about such a name.
  if (!options.output.empty() && !PictureFormatOfPath(options.output)) {
    std::cerr << "vortana-render: --output: expected a file name ending in " << kPictureExtensions
              << ", got '" << options.output << "'\n";
    return kExitUsage;
  }
  if (options.frames) return RunFrames(options, out);
  if (options.step) {
    const std::optional<int> steps = CountSteps(options.dataset);
    // A data set that does not load is left to the render, which says why.
    if (steps && *options.step >= *steps) {
      std::cerr << "vortana-render: --step " << *options.step << ": "
                << StepBeyondText(options.dataset, *options.step, *steps) << '\n';
      return kExitUsage;
    }
  }
  StepRender render(options.settings.drawingSize);
  if (const int status = DrawStep(options, options.step, render); status != kExitSuccess) {
    return status;
  }
  return WriteStepOutputs(options, {options.output, options.dump, options.step}, render, out);
}

}  // namespace vortana
