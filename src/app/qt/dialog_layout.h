#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <span>
#include <vector>

namespace vortana {

/// What kind of widget realises a control of the dialog.
enum class ControlKind {
  DefaultButton,  // push button that Enter activates
  PushButton,
  Label,        // left-aligned static text
  Edit,         // one-line field
  Frame,        // shows one of the dialog's drawing surfaces
  GroupBox,     // titled outline, decoration only
  SunkenPanel,  // empty sunken edge, decoration only
  RadioButton,
  CheckBox,
  Spinner,  // up-down arrows beside the edit field before it
};

/// One control of the dialog: id (-1 when the code never addresses it), kind, text (with "&"
/// before a mnemonic letter), rectangle in dialog units, and whether it starts a group (radio
/// buttons from one group start up to the next form one exclusive set) and takes Tab focus.
struct ControlEntry {
  int id;
  ControlKind kind;
  const char* text;
  int x, y, w, h;
  bool groupStart;
  bool tabStop;
};

/// The dialog's client area in dialog units.
inline constexpr int kDialogWidthDu = 514;
inline constexpr int kDialogHeightDu = 346;

/// The 45 controls in their order, which is also the tab order and the initial sibling order
/// (the first is the topmost).
std::span<const ControlEntry> DialogControls();

/// The radio buttons of each group, by id, in control order.
std::vector<std::vector<int>> RadioGroups();

/// Dialog units of a font: across, a quarter of its average character width; down, an eighth
/// of its height. Conversions round like the old window system's MulDiv (halves away from 0).
struct DialogUnits {
  int avgCharWidth = 6;
  int charHeight = 13;

  int ToPixelsX(int du) const { return MulDivRounded(du, avgCharWidth, 4); }
  int ToPixelsY(int du) const { return MulDivRounded(du, charHeight, 8); }
  QRect ToPixels(const ControlEntry& c) const {
    return {ToPixelsX(c.x), ToPixelsY(c.y), ToPixelsX(c.w), ToPixelsY(c.h)};
  }
  QSize DialogSize() const { return {ToPixelsX(kDialogWidthDu), ToPixelsY(kDialogHeightDu)}; }

  static int MulDivRounded(int value, int numerator, int denominator) {
    return (value * numerator + denominator / 2) / denominator;
  }
};

/// The least units at which the 512-pixel drawing area ends left of the group boxes and the
/// legend strip ends above its "low" and "high" labels: those of the reference font, an
/// average character 6 pixels wide and 13 high.
inline constexpr DialogUnits kMinimumUnits{6, 13};

/// The dialog font: the desktop's sans serif family at 8 points, the size the dialog was laid
/// out for, narrowed (semi-condensed, then condensed) while its average character is wider than
/// the reference font's, so that the captions keep to the rectangles drawn for them.
QFont DialogFont();

/// Units for `font`: its average character width (of the 52 letters, rounded) and its height,
/// each at least the reference font's.
DialogUnits DialogUnitsFor(const QFont& font);

}  // namespace vortana
