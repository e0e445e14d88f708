#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/platform.h"

namespace vortana {

/// Where the headless dialog's frames lie in its client area. Nothing is shown, but clicks are
/// given in client coordinates, so the frames need fixed places: the drawing area near the
/// top-left corner, the legend strip the gap below it, the swatch to the right among the options.
/// A larger drawing area pushes the swatch further right.
struct ClientLayout {
  ClientLayout() = default;
  ClientLayout(int width, int height)
      : areaWidth(width),
        areaHeight(height),
        legend{7, 5 + height + kLegendGap},
        swatch{585 + width - kDrawingWidth, 455} {}

  int areaWidth = kDrawingWidth;
  int areaHeight = kDrawingHeight;
  PixelPoint drawingArea{7, 5};
  PixelPoint legend{7, 5 + kDrawingHeight + kLegendGap};
  PixelPoint swatch{585, 455};

  /// The frame under a client point; Other anywhere else.
  ChildUnderPoint ChildAt(int x, int y) const;
};

/// A message the dialog showed.
struct ShownMessage {
  std::string text;
  std::string caption;
  MessageIcon icon = MessageIcon::Stop;
};

/// The dialog's platform without a window: controls held in memory, messages written to standard
/// error, choosers that cancel unless an answer was given beforehand, timers that do nothing.
class HeadlessPlatform : public Platform {
 public:
  /// `areaSize`: the side of the square the drawing area lies in.
  explicit HeadlessPlatform(int areaSize = kDrawingWidth) : layout_(areaSize, areaSize) {}

  std::string ControlText(int id) const override;
  void SetControlText(int id, const std::string& text) override;
  bool IsChecked(int id) const override;
  void SetChecked(int id, bool checked) override;
  void EnableControl(int id, bool enabled) override;
  bool IsControlEnabled(int id) const override;

  std::optional<std::string> ChooseOpenFile() override;
  std::optional<Colour> ChooseColour() override;
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;

  void StartTimer(int id, int periodMs) override;
  void StopTimer(int id) override;
  bool IsMinimised() const override { return false; }
  ChildUnderPoint ChildAt(int x, int y) const override { return layout_.ChildAt(x, y); }
  PixelPoint DrawingAreaOrigin() const override { return layout_.drawingArea; }
  void SurfacesChanged() override {}

  /// The next open-file or colour chooser answers this instead of cancelling.
  void PresetOpenFile(const std::string& path) { openFiles_.push_back(path); }
  void PresetColour(Colour colour) { colours_.push_back(colour); }

  const ClientLayout& Layout() const { return layout_; }
  /// The drawing area's size once a field has given it; the swatch stays where it is.
  void SetDrawingAreaSize(int width, int height) {
    const PixelPoint swatch = layout_.swatch;
    layout_ = ClientLayout(width, height);
    layout_.swatch = swatch;
  }
  const std::vector<ShownMessage>& Messages() const { return messages_; }

 private:
  struct Control {
    std::string text;
    bool checked = false;
    bool enabled = true;
  };

  ClientLayout layout_;
  std::map<int, Control> controls_;
  std::deque<std::string> openFiles_;
  std::deque<Colour> colours_;
  std::vector<ShownMessage> messages_;
};

}  // namespace vortana
