// Pictures of some 1,000 streamlines over a 512 x 512 background in each output format.
//
// The picture a user makes with that many lines is an evenly spaced placement: the cylinder
// sample at d_sep 10 and d_test 7 gives 1,036 streamlines of 35,374 points in all, over the flow
// background. BM_WritePicture times the whole path, the dialog's picture through WritePicture
// into a file (PNG, SVG, PDF, each without and with arrowheads); BM_DrawPng, BM_DrawSvg and
// BM_DrawPdf time only the drawing and encoding into memory (the SVG through our own writer,
// the PDF through cairo); BM_DrawOwnPdf is the same PDF through our own PdfPage, as
// WritePicture now writes a picture without text. The "orbits" rows are a stress case no dialog setting makes: 1,000
// probe-style traces on the closed orbits of the double gyre, each going round until the
// trace's bound, about a million points.
#include <benchmark/benchmark.h>

#include <cairo-pdf.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/headless/headless_platform.h"
#include "app/picture_writer.h"
#include "app/png_writer.h"
#include "app/sample_flows.h"
#include "app/visualizer_dialog.h"
#include "render/background.h"
#include "render/cairo_canvas.h"
#include "render/pdf_canvas.h"
#include "render/streamline.h"
#include "render/surface.h"
#include "render/svg_canvas.h"

namespace vortana {
namespace {

constexpr int kAreaSizePx = 512;
constexpr int kOrbits = 1000;

// The dialog after Visualize with evenly spaced streamlines over the flow background, set as a
// user sets them.
struct SpacedDialog {
  HeadlessPlatform platform;
  VisualizerDialog dialog{platform};

  SpacedDialog() {
    dialog.OnInitDialog();
    dialog.UseField(MakeSampleField(SampleFlow::Cylinder, {128, 128}), "cylinder.gri");
    platform.SetChecked(kIdStreamlines, true);
    platform.SetChecked(kIdEvenlySpaced, true);
    platform.SetControlText(kIdDSep, "10");
    platform.SetControlText(kIdDTest, "7");
    platform.SetChecked(kIdBackground, true);
    dialog.OnVisualize();
  }
};

const SpacedDialog& Spaced() {
  static const SpacedDialog spaced;
  return spaced;
}

struct Picture {
  std::vector<Colour> background;
  std::vector<Streamline> streamlines;
};

Picture SpacedPicture() {
  const VisualizerDialog& dialog = Spaced().dialog;
  return {dialog.BackgroundBuffer(), dialog.StoredStreamlines()};
}

// Streamlines of the double gyre from a lattice of seeds, traced as the dialog traces a probe,
// and its speed background.
Picture OrbitPicture() {
  Picture p;
  const std::unique_ptr<FlowField> field = MakeSampleField(SampleFlow::DoubleGyre, {128, 128});
  TraceSettings trace;
  trace.map.scaleX = field->Stats().maxPosition.x / kAreaSizePx;
  trace.map.scaleY = field->Stats().maxPosition.y / kAreaSizePx;
  trace.dt = 0.099999994f;
  for (int i = 0; p.streamlines.size() < kOrbits; ++i) {
    Streamline chain;
    TraceStreamline(*field, trace, (i * 16) % kAreaSizePx + 8,
                    (i * 16 / kAreaSizePx * 16 + 8) % kAreaSizePx, chain);
    p.streamlines.push_back(std::move(chain));
  }
  const FieldStatistics& s = field->Stats();
  const BackgroundLimits limits{s.maxSpeed, s.minScalar0, s.maxScalar0, s.minScalar1, s.maxScalar1};
  p.background.assign(static_cast<size_t>(kAreaSizePx) * kAreaSizePx, kBlack);
  bool valid = false;
  Surface scratch(kAreaSizePx, kAreaSizePx);
  DrawBackground(*field, trace.map, kColourByFlow, limits, BuildColourRamp(), valid, p.background,
                 scratch);
  return p;
}

const Picture& PictureOf(int which) {
  static const Picture spaced = SpacedPicture();
  static const Picture orbits = OrbitPicture();
  return which == 0 ? spaced : orbits;
}

void CountLines(benchmark::State& state, const Picture& picture) {
  size_t points = 0;
  for (const Streamline& line : picture.streamlines) points += line.size();
  state.counters["lines"] = static_cast<double>(picture.streamlines.size());
  state.counters["points"] = static_cast<double>(points);
}

void Draw(Canvas& canvas, const Picture& picture) {
  canvas.Image(picture.background.data(), kAreaSizePx, kAreaSizePx);
  for (const Streamline& line : picture.streamlines) canvas.PixelChain(line, kBlue);
}

// Arguments: the picture (0 evenly spaced, 1 orbits).
void BM_DrawPng(benchmark::State& state) {
  const Picture& picture = PictureOf(static_cast<int>(state.range(0)));
  std::vector<uint8_t> png;
  for (auto _ : state) {
    Surface area(kAreaSizePx, kAreaSizePx);
    Draw(area, picture);
    benchmark::DoNotOptimize(EncodePng(area, nullptr, png));
  }
  state.counters["bytes"] = static_cast<double>(png.size());
  CountLines(state, picture);
}

std::string PngOfImage(const Colour* pixels, int width, int height, std::vector<uint8_t>& png) {
  Surface image(width, height);
  image.Image(pixels, width, height);
  return EncodePng(image, nullptr, png);
}

// Arguments: the picture (0 evenly spaced, 1 orbits), arrowheads (0 or 1).
void BM_DrawSvg(benchmark::State& state) {
  const Picture& picture = PictureOf(static_cast<int>(state.range(0)));
  std::string svg;
  for (auto _ : state) {
    svg.clear();
    SvgCanvas canvas(svg, kAreaSizePx, kAreaSizePx, 1.0, PngOfImage);
    canvas.SetArrowheads(state.range(1) != 0);
    Draw(canvas, picture);
    benchmark::DoNotOptimize(svg.data());
  }
  state.counters["bytes"] = static_cast<double>(svg.size());
  CountLines(state, picture);
}

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// Arguments: the picture (0 evenly spaced, 1 orbits), arrowheads (0 or 1).
void BM_DrawPdf(benchmark::State& state) {
  const Picture& picture = PictureOf(static_cast<int>(state.range(0)));
  std::string bytes;
  for (auto _ : state) {
    bytes.clear();
    cairo_surface_t* surface =
        cairo_pdf_surface_create_for_stream(Append, &bytes, kAreaSizePx, kAreaSizePx);
    cairo_t* cairo = cairo_create(surface);
    {
      CairoCanvas canvas(cairo, kAreaSizePx, kAreaSizePx, 1.0);
      canvas.SetArrowheads(state.range(1) != 0);
      Draw(canvas, picture);
    }
    cairo_destroy(cairo);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    benchmark::DoNotOptimize(bytes.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
  CountLines(state, picture);
}

// Arguments: the picture (0 evenly spaced, 1 orbits), arrowheads (0 or 1).
void BM_DrawOwnPdf(benchmark::State& state) {
  const Picture& picture = PictureOf(static_cast<int>(state.range(0)));
  std::string bytes;
  for (auto _ : state) {
    PdfPage page(kAreaSizePx, kAreaSizePx);
    {
      PdfCanvas canvas(page, {0, 0}, kAreaSizePx, kAreaSizePx, 1.0, PngOfImage);
      canvas.SetArrowheads(state.range(1) != 0);
      Draw(canvas, picture);
    }
    bytes = page.Document();
    benchmark::DoNotOptimize(bytes.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
  CountLines(state, picture);
}

// Arguments: the format (0 PNG, 1 SVG, 2 PDF), arrowheads (0 or 1).
void BM_WritePicture(benchmark::State& state) {
  const VisualizerDialog& dialog = Spaced().dialog;
  static const char* const kExtensions[] = {".png", ".svg", ".pdf"};
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("vortana-picture-bench-" + std::to_string(::getpid()) +
                             kExtensions[state.range(0)]))
                               .string();
  PictureOptions options;
  options.arrowheads = state.range(1) != 0;
  for (auto _ : state) {
    const std::string error = WritePicture(dialog, options, path);
    if (!error.empty()) {
      state.SkipWithError(error.c_str());
      return;
    }
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
  std::filesystem::remove(path);
  CountLines(state, SpacedPicture());
}

BENCHMARK(BM_WritePicture)
    ->ArgNames({"format", "heads"})
    ->Args({0, 0})->Args({1, 0})->Args({2, 0})->Args({0, 1})->Args({1, 1})->Args({2, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawPng)->ArgName("orbits")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawSvg)
    ->ArgNames({"orbits", "heads"})
    ->Args({0, 0})->Args({0, 1})->Args({1, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawPdf)
    ->ArgNames({"orbits", "heads"})
    ->Args({0, 0})->Args({0, 1})->Args({1, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawOwnPdf)
    ->ArgNames({"orbits", "heads"})
    ->Args({0, 0})->Args({0, 1})->Args({1, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vortana
