#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "../platform.h"

class QTimer;
class QWidget;

namespace vortana {

/// The dialog's window system realised with Qt Widgets: controls found by id among the dialog's
/// children, the modal services as Qt's file, colour and message dialogs, the hover timer as a
/// QTimer. The three modal services can be replaced, so that a test answers them itself and
/// never waits for a person.
class QtPlatform : public Platform {
 public:
  using OpenFileChooser = std::function<std::optional<std::string>()>;
  using ColourChooser = std::function<std::optional<Colour>()>;
  using MessageShower =
      std::function<void(const std::string& text, const std::string& caption, MessageIcon icon)>;

  /// `dialog` is the window whose children the controls are and the parent of every modal
  /// service; it must outlive this object.
  explicit QtPlatform(QWidget* dialog);
  ~QtPlatform() override;

  /// Registers one of the dialog's controls; id -1 for a control the code never addresses.
  void AddControl(int id, QWidget* control);
  QWidget* Control(int id) const;
  void SetTimerHandler(std::function<void(int id)> handler) { timerHandler_ = std::move(handler); }

  void SetOpenFileChooser(OpenFileChooser chooser) { chooseOpenFile_ = std::move(chooser); }
  void SetColourChooser(ColourChooser chooser) { chooseColour_ = std::move(chooser); }
  void SetMessageShower(MessageShower shower) { showMessage_ = std::move(shower); }

  std::string ControlText(int id) const override;
  void SetControlText(int id, const std::string& text) override;
  bool IsChecked(int id) const override;
  void SetChecked(int id, bool checked) override;
  void EnableControl(int id, bool enabled) override;
  bool IsControlEnabled(int id) const override;

  std::optional<std::string> ChooseOpenFile() override { return chooseOpenFile_(); }
  std::optional<Colour> ChooseColour() override { return chooseColour_(); }
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override {
    showMessage_(text, caption, icon);
  }

  void StartTimer(int id, int periodMs) override;
  void StopTimer(int id) override;
  bool IsMinimised() const override;
  ChildUnderPoint ChildAt(int x, int y) const override;
  PixelPoint DrawingAreaOrigin() const override;
  void SurfacesChanged() override;

 private:
  QWidget* dialog_;
  std::unordered_map<int, QWidget*> byId_;
  std::vector<const QWidget*> controls_;
  std::map<int, std::unique_ptr<QTimer>> timers_;
  std::function<void(int)> timerHandler_;
  OpenFileChooser chooseOpenFile_;
  ColourChooser chooseColour_;
  MessageShower showMessage_;
};

/// The modal services as a person meets them.
std::optional<std::string> RunOpenFileDialog(QWidget* parent);
std::optional<Colour> RunColourDialog(QWidget* parent);
void RunMessageBox(QWidget* parent, const std::string& text, const std::string& caption,
                   MessageIcon icon);

}  // namespace vortana
