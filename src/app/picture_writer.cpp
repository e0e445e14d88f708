#include "picture_writer.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "data/output_file.h"
#include "png_writer.h"
#include "render/cairo_canvas.h"
#include "render/pdf_canvas.h"
#include "render/picture_decorations.h"
#include "render/svg_canvas.h"

namespace vortana {

namespace {

struct CairoFree {
  void operator()(cairo_t* cairo) const { cairo_destroy(cairo); }
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using CairoPtr = std::unique_ptr<cairo_t, CairoFree>;
using CairoSurfacePtr = std::unique_ptr<cairo_surface_t, CairoFree>;

// cairo reports running out of memory as a status like any other; the program's answer to it is
// the same as everywhere else.
void ThrowIfOutOfMemory(cairo_status_t status) {
  if (status == CAIRO_STATUS_NO_MEMORY) throw std::bad_alloc();
}

bool WholeAbove1(double width) { return width > 1.0 && width == static_cast<int>(width); }

PictureLayout LayoutFor(const VisualizerDialog& dialog, const PictureOptions& options) {
  const Surface& area = dialog.DrawingArea();
  const Surface& legend = dialog.LegendStrip();
  return LayoutPicture(area.Width(), area.Height(), legend.Width(), legend.Height(), kLegendGap,
                       {options.legend, options.colourBar, options.axes});
}

void PaintSurface(cairo_t* cairo, const Surface& surface) {
  CairoCanvas(cairo, surface.Width(), surface.Height(), 1.0)
      .Image(surface.Data(), surface.Width(), surface.Height());
}

// The drawing area, clipped to its rectangle, and the legend strip when asked for.
void DrawSurfaces(cairo_t* cairo, const VisualizerDialog& dialog, const PictureOptions& options,
                  const PictureLayout& layout, bool raster) {
  cairo_save(cairo);
  cairo_translate(cairo, layout.area.x, layout.area.y);
  cairo_rectangle(cairo, 0, 0, layout.areaWidth, layout.areaHeight);
  cairo_clip(cairo);
  if (raster) {
    PaintSurface(cairo, dialog.DrawingArea());
    // The raster's lines are the dialog's one-pixel lines; wider ones are drawn over them
    // without smoothing, so that the picture keeps the raster's hard edges.
    const bool wide = WholeAbove1(options.lineWidth);
    if (wide || options.arrowheads) {
      cairo_set_antialias(cairo, CAIRO_ANTIALIAS_NONE);
      CairoCanvas canvas(cairo, layout.areaWidth, layout.areaHeight, wide ? options.lineWidth : 1.0,
                         wide ? CairoCanvas::Contents::Lines : CairoCanvas::Contents::Arrowheads);
      canvas.SetArrowheads(options.arrowheads);
      dialog.PaintDrawingArea(canvas);
      dialog.PaintProbes(canvas);
    }
  } else {
    CairoCanvas canvas(cairo, layout.areaWidth, layout.areaHeight, options.lineWidth);
    canvas.SetArrowheads(options.arrowheads);
    dialog.PaintDrawingArea(canvas);
    dialog.PaintProbes(canvas);
  }
  cairo_restore(cairo);

  if (options.legend) {
    cairo_save(cairo);
    cairo_translate(cairo, layout.legend.x, layout.legend.y);
    if (raster) {
      PaintSurface(cairo, dialog.LegendStrip());
    } else {
      const Surface& strip = dialog.LegendStrip();
      CairoCanvas canvas(cairo, strip.Width(), strip.Height(), options.lineWidth);
      DrawLegend(dialog.Ramp(), canvas);
    }
    cairo_restore(cairo);
  }
}

// The picture onto `cairo`, whose user space is the picture's pixels. A raster picture starts
// from the dialog's own surfaces, so that every pixel a plain picture has is kept; a vector one
// draws the same things as paths. Without `surfaces` the drawing area and the legend strip are
// left for the caller to draw.
void ComposePicture(cairo_t* cairo, const VisualizerDialog& dialog, const PictureOptions& options,
                    const PictureLayout& layout, bool raster, bool surfaces = true) {
  const double white = layout.onPage ? 1.0 : 0.0;
  cairo_set_source_rgb(cairo, white, white, white);
  cairo_paint(cairo);
  if (surfaces) DrawSurfaces(cairo, dialog, options, layout, raster);
  if (options.colourBar) {
    DrawColourBar(cairo, layout, dialog.Ramp(),
                  ColourBarScaleFor(dialog.GetSettings().colourBy, dialog.Limits()));
  }
  if (options.axes) DrawAxes(cairo, layout, dialog.Map());
}

std::string WriteRaster(const VisualizerDialog& dialog, const PictureOptions& options,
                        const std::string& path) {
  if (options.Plain()) {
    return WritePng(path, dialog.DrawingArea(), options.legend ? &dialog.LegendStrip() : nullptr);
  }
  return WritePng(path, RasterPicture(dialog, options), nullptr);
}

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  try {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  } catch (const std::bad_alloc&) {
    return CAIRO_STATUS_NO_MEMORY;
  }
  return CAIRO_STATUS_SUCCESS;
}

std::string PngOfImage(const Colour* pixels, int width, int height, std::vector<uint8_t>& png) {
  Surface image(width, height);
  image.Image(pixels, width, height);
  return EncodePng(image, nullptr, png);
}

// The drawing area and the legend strip as SVG elements of our own, placed as the layout says.
// cairo draws the rest of an SVG (the page, the colour bar and the axes, whose text needs its
// fonts) but not these: its SVG writer formats every number through printf and encodes the
// background with its own PNG writer, which made a picture of a thousand streamlines take some
// seven times as long as the PNG (see SvgCanvas). Returns an empty string or what went wrong.
std::string SvgSurfaces(const VisualizerDialog& dialog, const PictureOptions& options,
                        const PictureLayout& layout, std::string& svg) {
  const auto place = [&svg](PixelPoint at) {
    svg += "<g transform=\"translate(" + std::to_string(at.x) + "," + std::to_string(at.y) + ")\"";
  };
  svg += "<clipPath id=\"vortana-drawing-area\"><rect width=\"" + std::to_string(layout.areaWidth) +
         "\" height=\"" + std::to_string(layout.areaHeight) + "\"/></clipPath>\n";
  place(layout.area);
  svg += " clip-path=\"url(#vortana-drawing-area)\">\n";
  SvgCanvas area(svg, layout.areaWidth, layout.areaHeight, options.lineWidth, PngOfImage);
  area.SetArrowheads(options.arrowheads);
  dialog.PaintDrawingArea(area);
  dialog.PaintProbes(area);
  svg += "</g>\n";
  if (options.legend) {
    place(layout.legend);
    svg += ">\n";
    const Surface& strip = dialog.LegendStrip();
    SvgCanvas legend(svg, strip.Width(), strip.Height(), options.lineWidth, PngOfImage);
    DrawLegend(dialog.Ramp(), legend);
    svg += "</g>\n";
  }
  return area.Error();
}

// A picture without text as a PDF of our own: cairo's PDF writer took some seven times as long
// as the PNG for a thousand streamlines (see PdfPage). The page, the area and the legend strip
// are drawn as the raster picture has them, the strip as the image the dialog shows.
std::string WritePlainPdf(const VisualizerDialog& dialog, const PictureOptions& options,
                          const PictureLayout& layout, const std::string& path) {
  PdfPage page(layout.width, layout.height);
  std::string error;
  {
    PdfCanvas whole(page, {0, 0}, layout.width, layout.height, options.lineWidth, PngOfImage);
    const Colour paper = layout.onPage ? MakeColour(255, 255, 255) : kBlack;
    whole.FillSolidRect(0, 0, layout.width, layout.height, paper);
  }
  {
    PdfCanvas area(page, layout.area, layout.areaWidth, layout.areaHeight, options.lineWidth,
                   PngOfImage);
    area.SetArrowheads(options.arrowheads);
    dialog.PaintDrawingArea(area);
    dialog.PaintProbes(area);
    error = area.Error();
  }
  if (options.legend && error.empty()) {
    const Surface& strip = dialog.LegendStrip();
    PdfCanvas legend(page, layout.legend, strip.Width(), strip.Height(), options.lineWidth,
                     PngOfImage);
    legend.Image(strip.Data(), strip.Width(), strip.Height());
    error = legend.Error();
  }
  if (!error.empty()) return "cannot write the PDF file " + path + ": " + error;
  return WriteWholeFile(path, "the PDF file", page.Document());
}

std::string WriteVector(const VisualizerDialog& dialog, const PictureOptions& options,
                        const std::string& path, PictureFormat format) {
  const PictureLayout layout = LayoutFor(dialog, options);
  // Text needs cairo's fonts; everything else it would draw is ours.
  if (format == PictureFormat::Pdf && !options.colourBar && !options.axes) {
    return WritePlainPdf(dialog, options, layout, path);
  }
  const char* kind = format == PictureFormat::Svg ? "the SVG file" : "the PDF file";
  // The whole file is made in memory first: cairo writes as it goes, and a failure half way
  // must not leave half a file behind.
  std::string bytes;
  // One picture pixel is one point of the page, so that the page is as many points as the PNG
  // is pixels.
  const CairoSurfacePtr surface(
      format == PictureFormat::Svg
          ? cairo_svg_surface_create_for_stream(AppendBytes, &bytes, layout.width, layout.height)
          : cairo_pdf_surface_create_for_stream(AppendBytes, &bytes, layout.width, layout.height));
  ThrowIfOutOfMemory(cairo_surface_status(surface.get()));
  if (format == PictureFormat::Svg) {
    // Lengths in pixels rather than points: the picture is exactly as many pixels as the PNG.
    cairo_svg_surface_set_document_unit(surface.get(), CAIRO_SVG_UNIT_PX);
  }
  {
    const CairoPtr cairo(cairo_create(surface.get()));
    ComposePicture(cairo.get(), dialog, options, layout, false, format == PictureFormat::Pdf);
    ThrowIfOutOfMemory(cairo_status(cairo.get()));
  }
  cairo_surface_finish(surface.get());
  const cairo_status_t status = cairo_surface_status(surface.get());
  ThrowIfOutOfMemory(status);
  if (status != CAIRO_STATUS_SUCCESS) {
    return "cannot write " + std::string(kind) + " " + path + ": " + cairo_status_to_string(status);
  }
  if (format == PictureFormat::Svg) {
    // Over everything cairo drew, which lies beside the area rather than on it.
    std::string surfaces;
    const std::string error = SvgSurfaces(dialog, options, layout, surfaces);
    if (!error.empty()) return "cannot write " + std::string(kind) + " " + path + ": " + error;
    const size_t end = bytes.rfind("</svg>");
    if (end == std::string::npos) return "cannot write " + std::string(kind) + " " + path;
    bytes.insert(end, surfaces);
  }
  return WriteWholeFile(path, kind, bytes);
}

}  // namespace

std::optional<PictureFormat> PictureFormatOfPath(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  // A name without an extension (/dev/null, say) gets the PNG it always got.
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return PictureFormat::Png;
  }
  std::string extension = path.substr(dot + 1);
  std::ranges::transform(extension, extension.begin(),
                         [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == "png") return PictureFormat::Png;
  if (extension == "svg") return PictureFormat::Svg;
  if (extension == "pdf") return PictureFormat::Pdf;
  return std::nullopt;
}

Surface RasterPicture(const VisualizerDialog& dialog, const PictureOptions& options) {
  const PictureLayout layout = LayoutFor(dialog, options);
  const CairoSurfacePtr image(
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, layout.width, layout.height));
  ThrowIfOutOfMemory(cairo_surface_status(image.get()));
  {
    const CairoPtr cairo(cairo_create(image.get()));
    ComposePicture(cairo.get(), dialog, options, layout, true);
    ThrowIfOutOfMemory(cairo_status(cairo.get()));
  }
  cairo_surface_flush(image.get());
  Surface picture(layout.width, layout.height);
  const unsigned char* data = cairo_image_surface_get_data(image.get());
  const int stride = cairo_image_surface_get_stride(image.get());
  Colour* out = picture.Data();
  for (int y = 0; y < layout.height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < layout.width; ++x) {
      *out++ = MakeColour(static_cast<int>(row[x] >> 16), static_cast<int>(row[x] >> 8),
                          static_cast<int>(row[x]));
    }
  }
  return picture;
}

std::string WritePicture(const VisualizerDialog& dialog, const PictureOptions& options,
                         const std::string& path) {
  const std::optional<PictureFormat> format = PictureFormatOfPath(path);
  if (!format) {
    return "cannot write the picture " + path + ": its name must end in " + kPictureExtensions;
  }
  if (*format == PictureFormat::Png) return WriteRaster(dialog, options, path);
  return WriteVector(dialog, options, path, *format);
}

}  // namespace vortana
