#include "readout.h"

#include <cmath>
#include <cstdio>

namespace vortana {

Readout ReadoutAt(const FlowField* field, const PixelMap& map, int px, int py) {
  Readout readout;
  if (field == nullptr || !field->HasCell()) return readout;
  readout.px = px;
  readout.py = py;
  readout.wx = map.WorldXOfPixel(px);
  readout.wy = map.WorldYOfPixel(py);
  const FieldStatistics& s = field->Stats();
  // Written so that a NaN coordinate counts as outside, as it does for VelocityAt.
  const bool inside = readout.wx >= s.minPosition.x && readout.wx <= s.maxPosition.x &&
                      readout.wy >= s.minPosition.y && readout.wy <= s.maxPosition.y;
  if (!inside) {
    readout.kind = Readout::Kind::Outside;
    return readout;
  }
  readout.kind = Readout::Kind::Inside;
  readout.velocity = field->VelocityAt(readout.wx, readout.wy);
  const double u = readout.velocity.x;
  const double v = readout.velocity.y;
  const double w = readout.velocity.z;
  readout.speed = std::sqrt(u * u + v * v + w * w);
  const GridPoint& node = field->NodeAt(readout.wx, readout.wy);
  readout.pressure = node.scalar0;
  readout.vorticity = node.scalar1;
  return readout;
}

std::string ReadoutText(const Readout& readout) {
  if (readout.kind == Readout::Kind::None) return {};
  char text[256];
  const int place = std::snprintf(text, sizeof text, "pixel %d, %d   x %.5g  y %.5g   ",
                                  readout.px, readout.py, readout.wx, readout.wy);
  if (readout.kind == Readout::Kind::Outside) return std::string(text, place) + "outside the data";
  std::snprintf(text + place, sizeof text - place,
                "u %.5g  v %.5g  speed %.5g   pressure %.5g  vorticity %.5g", readout.velocity.x,
                readout.velocity.y, readout.speed, readout.pressure, readout.vorticity);
  return text;
}

}  // namespace vortana
