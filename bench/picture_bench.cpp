// One picture of 1,000 streamlines over a 512 x 512 background, made as each output format makes
// it: the raster drawn and encoded as PNG, or the same drawing as cairo's SVG and PDF, into
// memory (the file is then written whole by the same writer for every format).
#include <benchmark/benchmark.h>

#include <cairo-pdf.h>
#include <cairo-svg.h>

#include <string>
#include <vector>

#include "app/png_writer.h"
#include "app/sample_flows.h"
#include "render/background.h"
#include "render/cairo_canvas.h"
#include "render/streamline.h"
#include "render/surface.h"

namespace vortana {
namespace {

constexpr int kAreaSizePx = 512;
constexpr int kStreamlines = 1000;

struct Picture {
  std::vector<Colour> background;
  std::vector<Streamline> streamlines;
};

// Streamlines of the double gyre from a lattice of seeds, traced as the dialog traces a probe,
// and its speed background.
const Picture& SamplePicture() {
  static const Picture picture = [] {
    Picture p;
    const std::unique_ptr<FlowField> field = MakeSampleField(SampleFlow::DoubleGyre, {128, 128});
    TraceSettings trace;
    trace.map.scaleX = field->Stats().maxPosition.x / kAreaSizePx;
    trace.map.scaleY = field->Stats().maxPosition.y / kAreaSizePx;
    trace.dt = 0.099999994f;
    for (int i = 0; p.streamlines.size() < kStreamlines; ++i) {
      Streamline chain;
      TraceStreamline(*field, trace, (i * 16) % kAreaSizePx + 8, (i * 16 / kAreaSizePx * 16 + 8) % kAreaSizePx,
                      chain);
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
  }();
  return picture;
}

void Draw(Canvas& canvas, const Picture& picture) {
  canvas.Image(picture.background.data(), kAreaSizePx, kAreaSizePx);
  for (const Streamline& line : picture.streamlines) canvas.PixelChain(line, kBlue);
}

void BM_PngPicture(benchmark::State& state) {
  const Picture& picture = SamplePicture();
  std::vector<uint8_t> png;
  for (auto _ : state) {
    Surface area(kAreaSizePx, kAreaSizePx);
    Draw(area, picture);
    benchmark::DoNotOptimize(EncodePng(area, nullptr, png));
  }
  state.counters["bytes"] = static_cast<double>(png.size());
}

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

template <bool kSvg>
void BM_VectorPicture(benchmark::State& state) {
  const Picture& picture = SamplePicture();
  std::string bytes;
  for (auto _ : state) {
    bytes.clear();
    cairo_surface_t* surface =
        kSvg ? cairo_svg_surface_create_for_stream(Append, &bytes, kAreaSizePx, kAreaSizePx)
             : cairo_pdf_surface_create_for_stream(Append, &bytes, kAreaSizePx, kAreaSizePx);
    cairo_t* cairo = cairo_create(surface);
    CairoCanvas canvas(cairo, kAreaSizePx, kAreaSizePx, 1.0);
    canvas.SetArrowheads(state.range(0) != 0);
    Draw(canvas, picture);
    cairo_destroy(cairo);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    benchmark::DoNotOptimize(bytes.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
}

BENCHMARK(BM_PngPicture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VectorPicture<true>)->Name("BM_SvgPicture")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VectorPicture<false>)->Name("BM_PdfPicture")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vortana
