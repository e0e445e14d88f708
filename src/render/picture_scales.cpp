#include "picture_scales.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace vortana {

ColourBarScale ColourBarScaleFor(int colourBy, const BackgroundLimits& limits) {
  ColourBarScale scale;
  double low = 0.0;
  double high = limits.maxSpeed;
  // The background's own branches: every index other than flow and pressure is vorticity.
  if (colourBy == kColourByFlow) {
    scale.caption = "speed";
  } else if (colourBy == kColourByPressure) {
    scale.caption = "pressure";
    low = limits.minScalar0;
    high = limits.maxScalar0;
  } else {
    scale.caption = "vorticity";
    low = limits.minScalar1;
    high = limits.maxScalar1;
  }
  for (size_t i = 0; i < scale.ticks.size(); ++i) {
    scale.ticks[i] = low + (high - low) * static_cast<double>(i) / 4.0;
  }
  return scale;
}

namespace {

std::string Printed(const char* format, int precision, double value) {
  char text[48];
  std::snprintf(text, sizeof text, format, precision, value);
  return text;
}

// "1.2e+05" -> "1.2e5", "5e-05" -> "5e-5".
std::string TidyExponent(std::string text) {
  const size_t e = text.find('e');
  if (e == std::string::npos) return text;
  std::string mantissa = text.substr(0, e);
  const char sign = text[e + 1];
  size_t digits = e + 2;
  while (digits + 1 < text.size() && text[digits] == '0') ++digits;
  return mantissa + "e" + (sign == '-' ? "-" : "") + text.substr(digits);
}

}  // namespace

std::string ShortNumberText(double value) {
  if (!std::isfinite(value)) return value != value ? "nan" : (value > 0 ? "inf" : "-inf");
  if (value == 0.0) return "0";  // also -0
  const double target = std::strtod(Printed("%.*g", 4, value).c_str(), nullptr);
  std::string best;
  for (int precision = 1; precision <= 4; ++precision) {
    const std::string general = Printed("%.*g", precision, value);
    if (std::strtod(general.c_str(), nullptr) != target) continue;
    best = TidyExponent(general);
    break;
  }
  // %g writes 12000 as 1.2e+04; plain digits are no longer and read better up to 6 of them.
  const std::string fixed = Printed("%.*f", 0, target);
  if (std::abs(target) >= 1.0 && std::abs(target) < 1e6 && std::strtod(fixed.c_str(), nullptr) == target &&
      fixed.size() <= best.size()) {
    best = fixed;
  }
  return best;
}

std::vector<double> RoundTicks(double low, double high, int maxCount) {
  if (low > high) std::swap(low, high);
  if (!std::isfinite(low) || !std::isfinite(high) || !(high > low) || maxCount < 1) return {};
  // Start one decade below the mean spacing, so that the first fitting step is the smallest.
  double decade = std::pow(10.0, std::floor(std::log10((high - low) / maxCount)) - 1);
  double step = 0.0;
  for (int tries = 0; step == 0.0 && tries < 4; ++tries, decade *= 10) {
    for (const double factor : {1.0, 2.0, 5.0}) {
      const double candidate = decade * factor;
      // Counted as they are made below: a multiple a hair outside the range still counts.
      if (std::floor(high / candidate + 1e-9) - std::ceil(low / candidate - 1e-9) + 1 <= maxCount) {
        step = candidate;
        break;
      }
    }
  }
  if (step == 0.0) return {};
  std::vector<double> ticks;
  const double slack = step * 1e-9;
  for (double k = std::ceil((low - slack) / step); k * step <= high + slack; k += 1.0) {
    ticks.push_back(k * step == 0.0 ? 0.0 : k * step);
  }
  return ticks;
}

std::string TickText(double value, double step) {
  const int decimals =
      step > 0 && std::isfinite(step) ? std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9))) : 0;
  std::string text = Printed("%.*f", decimals, value);
  if (text.find_first_not_of("-0.") == std::string::npos) text = decimals ? Printed("%.*f", decimals, 0.0) : "0";
  return text;
}

std::vector<AxisTick> AxisTicks(const PixelMap& map, bool vertical) {
  const int pixels = vertical ? map.height : map.width;
  const auto worldOf = [&](int p) -> double {
    return vertical ? map.WorldYOfPixel(p) : map.WorldXOfPixel(p);
  };
  // Either end may be the larger one: with y up the first row is the top of the data.
  const std::vector<double> values =
      RoundTicks(worldOf(0), worldOf(pixels - 1), std::max(2, pixels / kPixelsPerAxisTick));
  const double step = values.size() > 1 ? values[1] - values[0] : 1.0;
  std::vector<AxisTick> ticks;
  for (const double value : values) {
    const float world = static_cast<float>(value);
    const double at = vertical ? map.PixelYOfWorld(world) : map.PixelXOfWorld(world);
    if (!(at > -0.5 && at < pixels - 0.5)) continue;
    ticks.push_back({at + 0.5, TickText(value, step)});
  }
  return ticks;
}

}  // namespace vortana
