#include "json_description.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vortana {

namespace {

using Json = nlohmann::ordered_json;

Json PointJson(PixelPoint p) { return Json::array({p.x, p.y}); }

Json ArrowJson(const ArrowRecord& arrow, int gridSize) {
  const ArrowGlyph glyph = ArrowGlyphFor(arrow.x, arrow.y, arrow.v, gridSize);
  Json json;
  json["x"] = arrow.x;
  json["y"] = arrow.y;
  json["v"] = Json::array({JsonFloat(arrow.v.x), JsonFloat(arrow.v.y), JsonFloat(arrow.v.z)});
  json["shaft"] = Json::array({glyph.tail.x, glyph.tail.y, glyph.tip.x, glyph.tip.y});
  json["head"] = Json::array();
  for (const PixelPoint& p : glyph.head) json["head"].push_back(PointJson(p));
  return json;
}

// A path is bytes, and JSON text is UTF-8. The invalid bytes of a path read as U+FFFD, the JSON
// library's own replacement; the exact bytes follow in "file_bytes" for a reader that needs to
// open the file. A path that is valid UTF-8 gets no second key.
void PutPath(Json& json, const std::string& path) {
  const std::string quoted = Json(path).dump(-1, ' ', false, Json::error_handler_t::replace);
  const std::string readable = Json::parse(quoted).get<std::string>();
  json["file"] = readable;
  if (readable == path) return;
  Json bytes = Json::array();
  for (const char c : path) bytes.push_back(static_cast<unsigned char>(c));
  json["file_bytes"] = std::move(bytes);
}

}  // namespace

Json JsonFloat(float value) {
  if (!std::isfinite(value)) return nullptr;
  // Nine significant digits identify every float; the double read from them prints in its
  // shortest form, which still reads back as the same float.
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return std::strtod(text, nullptr);
}

Json DescribeDialog(const VisualizerDialog& dialog, const std::string& file) {
  const FlowField* field = dialog.Field();
  const BackgroundLimits& limits = dialog.Limits();
  Json json;
  PutPath(json, file);
  json["size"] = field ? field->NodeCount() : 0;
  json["width"] = field ? field->Width() : 0;
  json["height"] = field ? field->Height() : 0;
  json["depth"] = field ? field->Depth() : 0;
  json["max_x"] = JsonFloat(dialog.MaxX());
  json["max_y"] = JsonFloat(dialog.MaxY());
  json["max_speed"] = JsonFloat(limits.maxSpeed);
  json["min_scalar0"] = JsonFloat(limits.minScalar0);
  json["max_scalar0"] = JsonFloat(limits.maxScalar0);
  json["min_scalar1"] = JsonFloat(limits.minScalar1);
  json["max_scalar1"] = JsonFloat(limits.maxScalar1);
  json["scale_x"] = JsonFloat(dialog.Map().scaleX);
  json["scale_y"] = JsonFloat(dialog.Map().scaleY);
  json["dt"] = JsonFloat(dialog.Dt());
  json["arrows"] = Json::array();
  for (const ArrowRecord& arrow : dialog.StoredArrows()) {
    json["arrows"].push_back(ArrowJson(arrow, dialog.GetSettings().gridSize));
  }
  json["streamlines"] = Json::array();
  for (const Streamline& streamline : dialog.StoredStreamlines()) {
    Json points = Json::array();
    for (const PixelPoint& p : streamline) points.push_back(PointJson(p));
    json["streamlines"].push_back(std::move(points));
  }
  return json;
}

}  // namespace vortana
