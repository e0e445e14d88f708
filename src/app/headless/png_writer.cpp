#include "png_writer.h"

#include <QImage>
#include <QString>
#include <algorithm>
#include <vector>

#include "app/control_ids.h"

namespace vortana {

namespace {

void CopyRows(const Surface& surface, int width, int firstRow, std::vector<Colour>& image) {
  const int columns = std::min(width, surface.Width());
  for (int y = 0; y < surface.Height(); ++y) {
    const Colour* row = surface.Data() + static_cast<size_t>(y) * surface.Width();
    std::copy(row, row + columns,
              image.begin() + static_cast<std::ptrdiff_t>(firstRow + y) * width);
  }
}

}  // namespace

std::string WritePng(const std::string& path, const Surface& area, const Surface* legend) {
  const int width = area.Width();
  const int height = legend ? area.Height() + kLegendGap + legend->Height() : area.Height();
  std::vector<Colour> pixels(static_cast<size_t>(width) * height, kBlack);
  CopyRows(area, width, 0, pixels);
  if (legend) CopyRows(*legend, width, area.Height() + kLegendGap, pixels);

  // A COLORREF is R, G, B, X in memory, which is exactly RGBX8888.
  const QImage image(reinterpret_cast<const uchar*>(pixels.data()), width, height,
                     static_cast<qsizetype>(width) * sizeof(Colour), QImage::Format_RGBX8888);
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  // Qt deflates a PNG at zlib level (100 - quality) * 9 / 91; 85 gives level 1, which writes a
  // picture with a background four times as fast as the default level 6, in a file about half
  // as large again. The pixels are the same at every level.
  constexpr int kFastDeflateQuality = 85;
  if (!rgb.save(QString::fromStdString(path), "PNG", kFastDeflateQuality)) {
    return "cannot write the PNG file " + path;
  }
  return {};
}

}  // namespace vortana
