#include <QApplication>
#include <QFile>
#include <QTimer>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "../desktop_options.h"
#include "main_window.h"

// The desktop program: the dialog in a window with menus and a status bar; the program ends when
// the window closes. `vortana [DATASET]` opens the data set once the window is up.
int main(int argc, char** argv) {
  const std::vector<std::string> rawArgs(argv + 1, argv + argc);
  if (vortana::AsksForHelpOrVersion(rawArgs)) {
    std::cout << (vortana::ParseDesktopOptions(rawArgs).help ? vortana::DesktopUsage()
                                                              : vortana::DesktopVersion());
    return 0;
  }
  try {
    QApplication app(argc, argv);  // takes Qt's own options out of argv
    QApplication::setOrganizationName(QStringLiteral("Vortana"));
    QApplication::setApplicationName(QStringLiteral("vortana"));
    QApplication::setApplicationVersion(QStringLiteral(VORTANA_VERSION));
    const vortana::DesktopOptions options =
        vortana::ParseDesktopOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
      std::cerr << "vortana: " << options.error << "\nTry 'vortana --help'.\n";
      return 2;
    }
    vortana::MainWindow window;
    window.show();
    if (options.dataset) {
      const QString path = QFile::decodeName(options.dataset->c_str());
      QTimer::singleShot(0, &window, [&window, path] { window.OpenDataSet(path); });
    }
    app.exec();  // however the window was closed, the program ends normally
  } catch (const std::bad_alloc&) {
    // The window reports what memory stops once it is shown; before that no window can.
    std::cerr << "vortana: there is not enough memory to start\n";
    return 1;
  }
  return 0;
}
