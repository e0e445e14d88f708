#include "json_description.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vortana {

namespace {

using Json = nlohmann::ordered_json;

/// The description is written as text, piece by piece, rather than built as a JSON document:
/// a document's destructor allocates, and when memory runs out while one is being built or
/// written, its destruction during the unwinding would end the program instead of letting it
/// say that memory ran out. Each number and string is formatted by the JSON library as a
/// single value, which allocates nothing to destroy, so the text is byte for byte what the
/// library writes for the whole document.
class JsonText {
 public:
  void Open(char bracket) {
    Separate();
    text_ += bracket;
    first_ = true;
  }
  void Close(char bracket) {
    text_ += bracket;
    first_ = false;
  }
  void Key(const char* name) {
    Separate();
    text_ += '"';
    text_ += name;
    text_ += "\":";
    first_ = true;  // the value follows without a comma
  }
  void Value(const Json& scalar) {
    Separate();
    text_ += scalar.dump(-1, ' ', false, Json::error_handler_t::replace);
  }
  void Point(PixelPoint p) {
    Open('[');
    Value(p.x);
    Value(p.y);
    Close(']');
  }
  std::string Take() { return std::move(text_); }

 private:
  void Separate() {
    if (!first_) text_ += ',';
    first_ = false;
  }

  std::string text_;
  bool first_ = true;
};

void PutArrow(JsonText& out, const ArrowRecord& arrow, int gridSize) {
  const ArrowGlyph glyph = ArrowGlyphFor(arrow.x, arrow.y, arrow.v, gridSize);
  out.Open('{');
  out.Key("x");
  out.Value(arrow.x);
  out.Key("y");
  out.Value(arrow.y);
  out.Key("v");
  out.Open('[');
  for (const float c : {arrow.v.x, arrow.v.y, arrow.v.z}) out.Value(JsonFloat(c));
  out.Close(']');
  out.Key("shaft");
  out.Open('[');
  for (const int c : {glyph.tail.x, glyph.tail.y, glyph.tip.x, glyph.tip.y}) out.Value(c);
  out.Close(']');
  out.Key("head");
  out.Open('[');
  for (const PixelPoint& p : glyph.head) out.Point(p);
  out.Close(']');
  out.Close('}');
}

// A path is bytes, and JSON text is UTF-8. The invalid bytes of a path read as U+FFFD, the JSON
// library's own replacement; the exact bytes follow in "file_bytes" for a reader that needs to
// open the file. A path that is valid UTF-8 gets no second key.
void PutPath(JsonText& out, const std::string& path) {
  const std::string quoted = Json(path).dump(-1, ' ', false, Json::error_handler_t::replace);
  const std::string readable = Json::parse(quoted).get<std::string>();
  out.Key("file");
  out.Value(readable);
  if (readable == path) return;
  out.Key("file_bytes");
  out.Open('[');
  for (const char c : path) out.Value(static_cast<unsigned char>(c));
  out.Close(']');
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

std::string DescribeDialog(const VisualizerDialog& dialog, const std::string& file,
                           const DescriptionKeys& keys) {
  const FlowField* field = dialog.Field();
  const BackgroundLimits& limits = dialog.Limits();
  JsonText out;
  out.Open('{');
  PutPath(out, file);
  const std::pair<const char*, int> counts[] = {
      {"size", field ? field->NodeCount() : 0},
      {"width", field ? field->Width() : 0},
      {"height", field ? field->Height() : 0},
      {"depth", field ? field->Depth() : 0},
  };
  for (const auto& [name, value] : counts) {
    out.Key(name);
    out.Value(value);
  }
  if (keys.step) {
    out.Key("step");
    out.Value(keys.step->step);
    out.Key("steps");
    out.Value(keys.step->steps);
  }
  if (keys.slice) {
    out.Key("slice");
    out.Value(field ? field->SampledSlice() : 0);
  }
  const std::pair<const char*, float> numbers[] = {
      {"max_x", dialog.MaxX()},
      {"max_y", dialog.MaxY()},
      {"max_speed", limits.maxSpeed},
      {"min_scalar0", limits.minScalar0},
      {"max_scalar0", limits.maxScalar0},
      {"min_scalar1", limits.minScalar1},
      {"max_scalar1", limits.maxScalar1},
      {"scale_x", dialog.Map().scaleX},
      {"scale_y", dialog.Map().scaleY},
      {"dt", dialog.Dt()},
  };
  for (const auto& [name, value] : numbers) {
    out.Key(name);
    out.Value(JsonFloat(value));
  }
  // Only a chosen map is named, so that every description of the legacy colours stays as it was.
  if (const int map = dialog.GetSettings().colourMap; map != RadioIndex(ColourMap::Legacy)) {
    out.Key("colour_map");
    out.Value(OptionValueText(*FindSettingOption("colour-map"), map));
  }
  // Likewise the step units: named when chosen, or when the source steps in pixels by default.
  if (dialog.GetSettings().stepUnits != RadioIndex(StepUnits::Auto) ||
      (field && !field->FromFilePair())) {
    out.Key("step_units");
    out.Value(OptionValueText(*FindSettingOption("step-units"),
                              RadioIndex(dialog.StepUnitsInForce())));
  }
  if (keys.area) {
    out.Key("area");
    out.Point({dialog.DrawingArea().Width(), dialog.DrawingArea().Height()});
  }
  if (keys.view) {
    const WorldWindow& window = dialog.Window();
    out.Key("view");
    out.Open('{');
    out.Key("window");
    out.Open('[');
    for (const float c : {window.x0, window.y0, window.x1, window.y1}) out.Value(JsonFloat(c));
    out.Close(']');
    out.Key("y");
    out.Value(dialog.Map().yUp ? "up" : "down");
    out.Close('}');
  }
  out.Key("arrows");
  out.Open('[');
  for (const ArrowRecord& arrow : dialog.StoredArrows()) {
    PutArrow(out, arrow, dialog.GetSettings().gridSize);
  }
  out.Close(']');
  out.Key("streamlines");
  out.Open('[');
  for (const Streamline& streamline : dialog.StoredStreamlines()) {
    out.Open('[');
    for (const PixelPoint& p : streamline) out.Point(p);
    out.Close(']');
  }
  out.Close(']');
  out.Close('}');
  return out.Take();
}

}  // namespace vortana
