#pragma once

#include <QTimer>
#include <QWidget>

class QLineEdit;

namespace vortana {

/// The up-down control beside an edit field (its buddy): an up arrow over a down arrow. It holds
/// no number of its own: each press of an arrow, each repeat while an arrow is held, and each Up
/// or Down key while the buddy has the focus reports one step, +1 up or -1 down, and the
/// listener decides what the buddy shows. The buddy keeps its own text, so the user may still
/// type any value into it.
class Spinner : public QWidget {
  Q_OBJECT

 public:
  Spinner(QLineEdit* buddy, QWidget* parent);

 signals:
  void Stepped(int delta);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QRect UpRect() const;
  QRect DownRect() const;
  bool StillHeld() const;
  void Release();
  void Repeat();

  int heldDelta_ = 0;  // +1 or -1 while an arrow is held down, else 0
  QTimer repeat_;
};

}  // namespace vortana
