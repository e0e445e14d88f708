#include "headless_platform.h"

#include <iostream>

namespace vortana {

namespace {

bool Contains(PixelPoint origin, int width, int height, int x, int y) {
  return x >= origin.x && x < origin.x + width && y >= origin.y && y < origin.y + height;
}

}  // namespace

ChildUnderPoint ClientLayout::ChildAt(int x, int y) const {
  if (Contains(drawingArea, areaWidth, areaHeight, x, y)) {
    return ChildUnderPoint::DrawingArea;
  }
  if (Contains(legend, areaWidth, kLegendHeight, x, y)) return ChildUnderPoint::Legend;
  if (Contains(swatch, kSwatchSize, kSwatchSize, x, y)) return ChildUnderPoint::Swatch;
  return ChildUnderPoint::Other;
}

std::string HeadlessPlatform::ControlText(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? std::string() : found->second.text;
}

void HeadlessPlatform::SetControlText(int id, const std::string& text) {
  controls_[id].text = text;
}

bool HeadlessPlatform::IsChecked(int id) const {
  const auto found = controls_.find(id);
  return found != controls_.end() && found->second.checked;
}

void HeadlessPlatform::SetChecked(int id, bool checked) { controls_[id].checked = checked; }

void HeadlessPlatform::EnableControl(int id, bool enabled) { controls_[id].enabled = enabled; }

bool HeadlessPlatform::IsControlEnabled(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() || found->second.enabled;
}

std::optional<std::string> HeadlessPlatform::ChooseOpenFile() {
  if (openFiles_.empty()) return std::nullopt;
  std::string path = openFiles_.front();
  openFiles_.pop_front();
  return path;
}

std::optional<Colour> HeadlessPlatform::ChooseColour() {
  if (colours_.empty()) return std::nullopt;
  const Colour colour = colours_.front();
  colours_.pop_front();
  return colour;
}

void HeadlessPlatform::ShowMessage(const std::string& text, const std::string& caption,
                                   MessageIcon icon) {
  std::cerr << caption << ": " << text << '\n';
  messages_.push_back({text, caption, icon});
}

// Nothing is shown, so the hover timer would have nothing to do.
void HeadlessPlatform::StartTimer(int /*id*/, int /*periodMs*/) {}
void HeadlessPlatform::StopTimer(int /*id*/) {}

}  // namespace vortana
