#pragma once

#include <optional>
#include <string>

#include "visualizer_dialog.h"

namespace vortana {

enum class PictureFormat { Png, Svg, Pdf };

/// The format a file name asks for by its extension, in any case: PNG for a name without one,
/// none for any other extension.
std::optional<PictureFormat> PictureFormatOfPath(const std::string& path);
/// The extensions PictureFormatOfPath accepts, as a message names them.
inline constexpr const char* kPictureExtensions = ".png, .svg or .pdf";

/// The range of the line width, in drawing-area pixels.
inline constexpr double kMinLineWidth = 0.5;
inline constexpr double kMaxLineWidth = 16.0;

/// How a picture of the drawing area is made, besides its format.
struct PictureOptions {
  bool legend = false;     // the legend strip below the area, as the dialog shows it
  double lineWidth = 1.0;  // vector pictures; a raster one only for whole numbers above 1
  bool colourBar = false;  // needs the background on
  bool axes = false;
  bool arrowheads = false;

  /// Whether the picture is exactly the dialog's surfaces, pixel for pixel.
  bool Plain() const {
    return !colourBar && !axes && !arrowheads && !(lineWidth > 1.0 && lineWidth == static_cast<int>(lineWidth));
  }
};

/// The picture a PNG of these options holds, composed with cairo over the dialog's surfaces
/// (wider lines, colour bar, axes, arrowheads).
Surface RasterPicture(const VisualizerDialog& dialog, const PictureOptions& options);

/// Writes the dialog's drawing area as it now shows (stored pictures and probes) to `path`, in
/// the format of its extension: PNG as the dialog's pixels, SVG and PDF with the background as
/// one image and every line a path over the same pixel centres. The file appears whole or not
/// at all. Returns an empty string, or what went wrong, naming the file.
std::string WritePicture(const VisualizerDialog& dialog, const PictureOptions& options,
                         const std::string& path);

}  // namespace vortana
