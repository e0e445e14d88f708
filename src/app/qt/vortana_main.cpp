#include <QApplication>
#include <iostream>
#include <new>

#include "vortana_window.h"

// The desktop program: one modal dialog, and the program ends when it closes. The command line
// carries nothing of ours; Qt reads its own options from it.
int main(int argc, char** argv) {
  try {
    QApplication app(argc, argv);
    vortana::VortanaWindow window;
    window.exec();  // however the dialog was closed, the program ends normally
  } catch (const std::bad_alloc&) {
    // The window reports what memory stops once it is shown; before that no window can.
    std::cerr << "vortana: there is not enough memory to start\n";
    return 1;
  }
  return 0;
}
