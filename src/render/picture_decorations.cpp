#include "picture_decorations.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace vortana {

namespace {

// Margins in picture pixels, wide enough for labels of about seven characters at kFontSize.
constexpr double kFontSize = 11.0;
constexpr int kAxisLeft = 64;
constexpr int kPageMargin = 12;  // white round a picture on a page
constexpr int kAxisBottom = 34;
constexpr int kAxisRight = 24;
constexpr int kTickLength = 5;
constexpr int kBarGap = 16;
constexpr int kBarWidth = 16;
constexpr int kBarLabels = 64;  // tick labels and the caption right of the bar

void UseFont(cairo_t* cairo) {
  cairo_select_font_face(cairo, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cairo, kFontSize);
  // Every option spelled out: left to the surface, the options of the first surface that used the
  // font stay in cairo's font cache, and a PNG's labels would depend on what the process drew
  // before (a vector picture hints differently).
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_subpixel_order(options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
  cairo_set_font_options(cairo, options);
  cairo_font_options_destroy(options);
}

enum class Anchor { Left, Centre, Right };

// Text whose vertical middle is at y, its left, centre or right at x.
void Label(cairo_t* cairo, const std::string& text, double x, double y, Anchor anchor) {
  cairo_text_extents_t extents;
  cairo_text_extents(cairo, text.c_str(), &extents);
  double left = x - extents.x_bearing;
  if (anchor == Anchor::Centre) left -= extents.width / 2;
  if (anchor == Anchor::Right) left -= extents.width;
  cairo_move_to(cairo, left, y - extents.y_bearing - extents.height / 2);
  cairo_show_text(cairo, text.c_str());
}

void BlackHairline(cairo_t* cairo) {
  cairo_set_source_rgb(cairo, 0, 0, 0);
  cairo_set_line_width(cairo, 1.0);
  cairo_set_line_cap(cairo, CAIRO_LINE_CAP_SQUARE);
}

}  // namespace

PictureLayout LayoutPicture(int areaWidth, int areaHeight, int legendWidth, int legendHeight,
                            int legendGap, const DecorationChoice& choice) {
  PictureLayout layout;
  layout.onPage = choice.axes || choice.colourBar;
  const int margin = layout.onPage ? kPageMargin : 0;
  layout.areaWidth = areaWidth;
  layout.areaHeight = areaHeight;
  layout.area = {choice.axes ? kAxisLeft : margin, margin};
  int bottom = layout.area.y + areaHeight + (choice.axes ? kAxisBottom : 0);
  if (choice.legend) {
    layout.legend = {layout.area.x, bottom + legendGap};
    bottom = layout.legend.y + legendHeight + margin;
  } else if (!choice.axes) {
    bottom += margin;
  }
  int right = layout.area.x + std::max(areaWidth, choice.legend ? legendWidth : 0);
  if (choice.colourBar) {
    layout.bar = {right + kBarGap, layout.area.y};
    layout.barWidth = kBarWidth;
    layout.barHeight = areaHeight;
    right = layout.bar.x + kBarWidth + kBarLabels;
  } else if (choice.axes) {
    right += kAxisRight;  // room for half the last x label
  }
  layout.width = right;
  layout.height = bottom;
  return layout;
}

void DrawColourBar(cairo_t* cairo, const PictureLayout& layout, const ColourRamp& ramp,
                   const ColourBarScale& scale) {
  const double x = layout.bar.x;
  const double top = layout.bar.y;
  const double height = layout.barHeight;
  cairo_save(cairo);
  // One rectangle per ramp entry, entry 0 at the bottom; each overlaps the next by a little so
  // that no seam shows between them in a viewer that smooths edges.
  const double band = height / static_cast<double>(ramp.size());
  for (size_t i = 0; i < ramp.size(); ++i) {
    const double y = top + height - band * static_cast<double>(i + 1);
    cairo_rectangle(cairo, x, y, layout.barWidth, band + (i + 1 < ramp.size() ? 0.5 : 0.0));
    cairo_set_source_rgb(cairo, RedOf(ramp[i]) / 255.0, GreenOf(ramp[i]) / 255.0,
                         BlueOf(ramp[i]) / 255.0);
    cairo_fill(cairo);
  }
  BlackHairline(cairo);
  cairo_rectangle(cairo, x - 0.5, top - 0.5, layout.barWidth + 1, height + 1);
  cairo_stroke(cairo);
  UseFont(cairo);
  const double right = x + layout.barWidth;
  double widest = 0;
  for (size_t i = 0; i < scale.ticks.size(); ++i) {
    // Pixel rows from the bottom edge to the top edge, the ticks at centres of rows.
    const double y = std::floor(top + height - 1 - (height - 1) * static_cast<double>(i) / 4.0) + 0.5;
    cairo_move_to(cairo, right, y);
    cairo_line_to(cairo, right + kTickLength - 1, y);
    cairo_stroke(cairo);
    const std::string text = ShortNumberText(scale.ticks[i]);
    cairo_text_extents_t extents;
    cairo_text_extents(cairo, text.c_str(), &extents);
    widest = std::max(widest, extents.x_advance);
    Label(cairo, text, right + kTickLength + 3, y, Anchor::Left);
  }
  // The caption reads upward beside the labels, as plotting libraries set a colour bar's label.
  cairo_save(cairo);
  cairo_translate(cairo, std::min(right + kTickLength + 3 + widest + 10, layout.width - 6.0),
                  top + height / 2);
  cairo_rotate(cairo, -std::numbers::pi / 2);
  Label(cairo, scale.caption, 0, 0, Anchor::Centre);
  cairo_restore(cairo);
  cairo_restore(cairo);
}

void DrawAxes(cairo_t* cairo, const PictureLayout& layout, const PixelMap& map) {
  const double left = layout.area.x;
  const double top = layout.area.y;
  const double width = layout.areaWidth;
  const double height = layout.areaHeight;
  cairo_save(cairo);
  BlackHairline(cairo);
  // The frame lies just outside the area, so that none of its pixels is covered.
  cairo_rectangle(cairo, left - 0.5, top - 0.5, width + 1, height + 1);
  cairo_stroke(cairo);
  UseFont(cairo);

  for (const AxisTick& tick : AxisTicks(map, false)) {
    const double x = left + tick.at;
    cairo_move_to(cairo, x, top + height + 0.5);
    cairo_line_to(cairo, x, top + height + kTickLength);
    cairo_stroke(cairo);
    Label(cairo, tick.text, x, top + height + kTickLength + 10, Anchor::Centre);
  }
  for (const AxisTick& tick : AxisTicks(map, true)) {
    const double y = top + tick.at;
    cairo_move_to(cairo, left - 0.5, y);
    cairo_line_to(cairo, left - kTickLength, y);
    cairo_stroke(cairo);
    Label(cairo, tick.text, left - kTickLength - 3, y, Anchor::Right);
  }
  cairo_restore(cairo);
}

}  // namespace vortana
