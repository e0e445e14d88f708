#include <QApplication>

#include "vortana_window.h"

// The desktop program: one modal dialog, and the program ends when it closes. The command line
// carries nothing of ours; Qt reads its own options from it.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  vortana::VortanaWindow window;
  window.exec();  // however the dialog was closed, the program ends normally
  return 0;
}
