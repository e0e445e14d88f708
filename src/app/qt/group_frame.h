#pragma once

#include <QWidget>

namespace vortana {

/// A titled outline around a set of controls, drawn the way the dialog was laid out for: an
/// etched rectangle whose top edge runs through the middle of the title, so that the outline
/// keeps to the rectangle the layout gives it. Decoration only: it takes neither focus nor input.
class GroupFrame : public QWidget {
 public:
  GroupFrame(const QString& title, QWidget* parent);

  QString Title() const { return title_; }
  void SetTitle(const QString& title);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString title_;
};

}  // namespace vortana
