#pragma once

#include <optional>
#include <string>

#include "../render/colour.h"
#include "../render/pixel_point.h"

namespace vortana {

/// Which child of the dialog lies under a point: the topmost one in sibling order, which puts
/// the three frames above the group boxes around them.
enum class ChildUnderPoint { None, DrawingArea, Legend, Swatch, Other };

enum class MessageIcon { Stop, Warning, Information };

/// Everything the dialog needs of its window system, and nothing more. The desktop window, the
/// headless renderer and the tests' scripted fake each realise it.
class Platform {
 public:
  virtual ~Platform() = default;

  // Controls by id. Radio buttons and check boxes are both "checked" or not.
  virtual std::string ControlText(int id) const = 0;
  virtual void SetControlText(int id, const std::string& text) = 0;
  virtual bool IsChecked(int id) const = 0;
  virtual void SetChecked(int id, bool checked) = 0;
  virtual void EnableControl(int id, bool enabled) = 0;
  virtual bool IsControlEnabled(int id) const = 0;

  // Modal services. An empty answer is a cancel.
  virtual std::optional<std::string> ChooseOpenFile() = 0;
  virtual std::optional<Colour> ChooseColour() = 0;
  virtual void ShowMessage(const std::string& text, const std::string& caption,
                           MessageIcon icon) = 0;

  // The hover timer, the minimised state, hit testing.
  virtual void StartTimer(int id, int periodMs) = 0;
  virtual void StopTimer(int id) = 0;
  virtual bool IsMinimised() const = 0;
  virtual ChildUnderPoint ChildAt(int x, int y) const = 0;
  /// Top-left of the drawing area in the dialog's client coordinates.
  virtual PixelPoint DrawingAreaOrigin() const = 0;

  /// The dialog has drawn into its surfaces; show them (a window schedules an update).
  virtual void SurfacesChanged() = 0;
};

}  // namespace vortana
