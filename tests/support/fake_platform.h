#pragma once

#include <deque>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/headless/headless_platform.h"
#include "app/platform.h"

namespace vortana::testing {

/// A scripted platform for tests: controls live in memory, every call that changes something is
/// recorded, and the modal choosers answer from queues (an empty queue, or an empty answer, is a
/// cancel). The frames lie where the headless renderer puts them unless `layout` is changed.
class FakePlatform : public Platform {
 public:
  struct Control {
    std::string text;
    bool checked = false;
    bool enabled = true;
  };
  struct EnableCall {
    int id;
    bool enabled;
  };
  struct TextCall {
    int id;
    std::string text;
  };
  struct TimerCall {
    bool start;  // false: stop
    int id;
    int periodMs;  // 0 for a stop
  };

  // Platform.
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
  bool IsMinimised() const override { return minimised; }
  ChildUnderPoint ChildAt(int x, int y) const override { return layout.ChildAt(x, y); }
  PixelPoint DrawingAreaOrigin() const override { return layout.drawingArea; }
  void SurfacesChanged() override { ++surfacesChanged; }

  // What a user does to the controls, without running the dialog's handlers.
  /// Types `text` into a field.
  void Type(int id, const std::string& text) { controls[id].text = text; }
  /// Checks `id` and clears the other buttons of its radio group, as a click on it does.
  void CheckRadio(std::initializer_list<int> group, int id);
  /// True when the control has been written or read at least once.
  bool Knows(int id) const { return controls.count(id) != 0; }

  // Script.
  ClientLayout layout;
  bool minimised = false;
  std::deque<std::optional<std::string>> openFileAnswers;
  std::deque<std::optional<Colour>> colourAnswers;

  // Records.
  std::map<int, Control> controls;
  std::vector<ShownMessage> messages;
  std::vector<EnableCall> enableCalls;
  std::vector<TextCall> textCalls;
  std::vector<TimerCall> timerCalls;
  int openFileRequests = 0;
  int colourRequests = 0;
  int surfacesChanged = 0;
};

}  // namespace vortana::testing
