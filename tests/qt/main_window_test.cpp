// The window around the dialog: the menus and their shortcuts, loads from outside the dialog
// (command line, drop, Filename and Enter), the readout under the pointer, save and copy.

#define QTEST_QPA_MOUSE_HANDLING

#include <QClipboard>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/qt/main_window.h"
#include "data/byte_source.h"
#include "data/data_set_series.h"
#include "app/readout.h"
#include "scripted_window.h"

namespace vortana::testing {
namespace {

/// The main window shown on screen, its dialog's messages recorded and its choosers answered by
/// the test, with settings (the recent list) kept in a folder of the test's own.
class ScriptedMainWindow {
 public:
  ScriptedMainWindow() {
    QtPlatform& platform = window.Dialog().GetPlatform();
    platform.SetMessageShower(
        [this](const std::string& text, const std::string& caption, MessageIcon icon) {
          messages.push_back({text, caption, icon});
        });
    platform.SetOpenFileChooser([this]() -> std::optional<std::string> {
      ++openChooserCalls;
      return std::nullopt;
    });
    window.SetSaveFileChooser([this]() -> std::optional<QString> {
      ++saveChooserCalls;
      return savePath;
    });
    window.Dialog().SetQuietTime(std::chrono::minutes(5));  // see ScriptedWindow
    window.show();
    exposed = QTest::qWaitForWindowExposed(&window);
    window.activateWindow();
    active = QTest::qWaitForWindowActive(&window);
  }

  const VisualizerDialog& Visualizer() { return window.Dialog().GetVisualizer(); }
  QString StatusMessage() { return window.statusBar()->currentMessage(); }
  QString DataSetText() { return window.statusBar()->findChild<QLabel*>()->text(); }

  MainWindow window;
  bool exposed = false;
  bool active = false;
  std::vector<RecordedMessage> messages;
  int openChooserCalls = 0;
  int saveChooserCalls = 0;
  std::optional<QString> savePath;
};

void Drop(QWidget* target, const QStringList& files) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& file : files) urls.push_back(QUrl::fromLocalFile(file));
  data.setUrls(urls);
  const QPointF at(target->width() / 2.0, target->height() / 2.0);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A picture file without what differs between two writers of the same picture: cairo names an
// SVG's group after its surface, counted over the whole process (the window's count goes on from
// its earlier pictures, the renderer's starts afresh), and dates a PDF to the second.
std::string Comparable(std::string bytes) {
  // Each "surface" followed by digits keeps the word only.
  for (size_t at = bytes.find("surface"); at != std::string::npos;
       at = bytes.find("surface", at + 1)) {
    size_t end = at + 7;
    while (end < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[end]))) ++end;
    bytes.erase(at + 7, end - at - 7);
  }
  const size_t date = bytes.find("/CreationDate (");
  if (date != std::string::npos) bytes.erase(date, bytes.find(')', date) + 1 - date);
  return bytes;
}

/// Runs one of the programs to the end; its standard error is the failure's text.
void RunProgram(const char* program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  QVERIFY(process.waitForFinished(120000));
  QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(settingsDir_.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_.path());
  }

  void theDialogKeepsItsPlaceAndTheBarsLieAroundIt() {
    ScriptedMainWindow w;
    QVERIFY(w.exposed);
    VortanaWindow& dialog = w.window.Dialog();
    const QSize dialogSize = dialog.Units().DialogSize();
    QCOMPARE(dialog.size(), dialogSize);
    QCOMPARE(dialog.x(), 0);
    QCOMPARE(dialog.y(), w.window.menuBar()->height());
    QCOMPARE(w.window.height(),
             w.window.menuBar()->height() + dialogSize.height() + w.window.statusBar()->height());
    QCOMPARE(w.window.minimumSize(), w.window.maximumSize());
    QCOMPARE(w.window.windowTitle(), QString("Vortana Visualization"));
    QStringList menus;
    for (QAction* menu : w.window.menuBar()->actions()) menus << menu->text();
    QCOMPARE(menus, (QStringList{"&File", "&View", "&Help"}));
  }

  void shortcutsReachTheirActions() {
    ScriptedMainWindow w;
    QVERIFY(w.active);
    const std::string data = WriteSample(dir_, SampleFlow::RankineVortex);
    w.window.OpenDataSet(QString::fromStdString(data));
    QTest::mouseClick(w.window.Dialog().Control(kIdBackground), Qt::LeftButton);
    QTest::mouseClick(w.window.Dialog().Control(kIdVisualize), Qt::LeftButton);
    // Away from the fields, whose own Ctrl+C copies text.
    w.window.Dialog().Control(kIdVisualize)->setFocus();

    QTest::keySequence(&w.window, QKeySequence::Open);
    QCOMPARE(w.openChooserCalls, 1);

    w.savePath = QString::fromStdString(dir_.File("picture.png"));
    QTest::keySequence(&w.window, QKeySequence::Save);
    QCOMPARE(w.saveChooserCalls, 1);
    const QImage saved(*w.savePath);
    QCOMPARE(saved.size(), QSize(512, 512 + 10 + 10));
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), w.window.Picture());
    // The picture holds the drawing area and the legend, pixel for pixel.
    QCOMPARE(DifferingPixels(w.Visualizer().DrawingArea(), saved.copy(0, 0, 512, 512)), 0);
    QCOMPARE(DifferingPixels(w.Visualizer().LegendStrip(), saved.copy(0, 522, 512, 10)), 0);
    QVERIFY(NonBlackPixels(w.Visualizer().DrawingArea()) > 0);

    QApplication::clipboard()->clear();
    QTest::keySequence(&w.window, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
             w.window.Picture());

    // F1 opens the list of shortcuts in a box of its own, closed here as soon as it shows.
    bool boxShown = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&boxShown] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        boxShown = true;
        box->close();
      }
    });
    closer.start(10);
    QTest::keySequence(&w.window, QKeySequence::HelpContents);
    closer.stop();
    QVERIFY(boxShown);

    w.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    QTest::keySequence(&w.window, QKeySequence(Qt::CTRL | Qt::Key_Q));
    QVERIFY(!w.window.isVisible());
    QVERIFY(w.messages.empty());
  }

  void aFailedSaveNamesTheFileAndLeavesNone() {
    ScriptedMainWindow w;
    const std::string target = dir_.File("no-such-folder/picture.png");
    w.savePath = QString::fromStdString(target);
    w.window.findChild<QAction*>("actionSavePicture")->trigger();
    QCOMPARE(w.messages.size(), size_t{1});
    QVERIFY2(w.messages[0].text.find(target) != std::string::npos, w.messages[0].text.c_str());
    QVERIFY(!std::filesystem::exists(target));
  }

  void theCommandLineAndADropLoadAsTheBrowseButtonDoes() {
    const std::string vortex = WriteSample(dir_, SampleFlow::RankineVortex);
    const std::string gyre = WriteSample(dir_, SampleFlow::DoubleGyre);
    {
      ScriptedMainWindow w;
      w.window.OpenDataSet(QString::fromStdString(vortex));  // what main does with DATASET
      QCOMPARE(w.Visualizer().Field()->Width(), int16_t{64});
      QCOMPARE(QString::fromStdString(w.window.Dialog().GetPlatform().ControlText(kIdFileName)),
               QString::fromStdString(vortex));
      QVERIFY(w.DataSetText().startsWith("rankine-vortex.gri   64 x 64 x 1 nodes, 2 scalars"));
      QCOMPARE(w.window.RecentFiles().value(0), QString::fromStdString(vortex));

      Drop(&w.window.Dialog(), {QString::fromStdString(gyre), QString::fromStdString(vortex)});
      QTRY_COMPARE(w.Visualizer().GetSettings().fileName, gyre);
      QCOMPARE(w.StatusMessage(), QString("2 files dropped; opened the first, double-gyre.gri"));
      QCOMPARE(w.window.RecentFiles(),
               (QStringList{QString::fromStdString(gyre), QString::fromStdString(vortex)}));

      // A bad path shows the load's message; the window stays and the path leaves the list.
      const std::string missing = dir_.File("missing.gri");
      w.window.OpenDataSet(QString::fromStdString(missing));
      QCOMPARE(w.messages.size(), size_t{1});
      QVERIFY(w.messages[0].text.find("missing.gri") != std::string::npos);
      QVERIFY(w.window.isVisible());
      QVERIFY(w.messages.size() == 1);
    }
    // The recent list outlives the window.
    ScriptedMainWindow again;
    QCOMPARE(again.window.RecentFiles().value(0), QString::fromStdString(gyre));
  }

  void enterInTheFilenameFieldLoadsTheTypedPath() {
    const std::string gyre = WriteSample(dir_, SampleFlow::DoubleGyre);
    ScriptedMainWindow w;
    QVERIFY(w.active);
    auto* edit = qobject_cast<QLineEdit*>(w.window.Dialog().Control(kIdFileName));
    edit->setFocus();
    QTest::keyClicks(edit, QString::fromStdString(gyre));
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY(w.messages.empty());  // not Visualize's "no data file selected"
    QCOMPARE(w.Visualizer().GetSettings().fileName, gyre);
    QCOMPARE(w.Visualizer().Field()->Width(), int16_t{64});
  }

  void theReadoutFollowsThePointerOverTheDrawingArea() {
    const std::string vortex = WriteSample(dir_, SampleFlow::RankineVortex);
    ScriptedMainWindow w;
    VortanaWindow& dialog = w.window.Dialog();
    const QPoint area = dialog.Control(kIdDrawingArea)->pos();
    QTest::mouseMove(&dialog, area + QPoint(100, 200));
    QCOMPARE(w.StatusMessage(), QString());  // no data set: nothing

    w.window.OpenDataSet(QString::fromStdString(vortex));
    QTest::mouseMove(&dialog, area + QPoint(100, 201));
    const Readout expected = ReadoutAt(w.Visualizer().Field(), w.Visualizer().Map(), 100, 201);
    QCOMPARE(expected.kind, Readout::Kind::Inside);
    QCOMPARE(w.StatusMessage(), QString::fromStdString(ReadoutText(expected)));
    QVERIFY(w.StatusMessage().startsWith("pixel 100, 201 "));

    QTest::mouseMove(&dialog, dialog.Control(kIdVisualize)->geometry().center());
    QCOMPARE(w.StatusMessage(), QString());
  }

  void aColourMapEntryRecoloursTheBackgroundAsTheRendererColoursIt() {
    const std::string vortex = WriteSample(dir_, SampleFlow::RankineVortex);
    ScriptedMainWindow w;
    VortanaWindow& dialog = w.window.Dialog();
    w.window.OpenDataSet(QString::fromStdString(vortex));
    QTest::mouseClick(dialog.Control(kIdBackground), Qt::LeftButton);
    QTest::mouseClick(dialog.Control(kIdVisualize), Qt::LeftButton);
    auto* maps = w.window.findChild<QMenu*>("menuColourMap");
    QVERIFY(maps != nullptr);
    QStringList entries;
    QAction* viridis = nullptr;
    for (QAction* entry : maps->actions()) {
      entries << entry->text();
      if (entry->text() == "&Viridis") viridis = entry;
    }
    QCOMPARE(entries, (QStringList{"&Legacy", "&Viridis", "&Cividis", "&Magma", "C&oolwarm",
                                   "&Greys"}));
    QVERIFY(maps->actions().constFirst()->isChecked());
    viridis->trigger();
    QVERIFY(viridis->isChecked() && !maps->actions().constFirst()->isChecked());

    // The streamlines stay, the background and the legend take the new map.
    const QString png = QString::fromStdString(dir_.File("viridis.png"));
    QProcess render;
    render.start(VORTANA_RENDER_EXE, QStringList{QString::fromStdString(vortex), "-o", png,
                                                 "--background", "flow", "--colour-map",
                                                 "viridis", "--legend"});
    QVERIFY(render.waitForFinished(120000));
    QVERIFY2(render.exitCode() == 0, render.readAllStandardError().constData());
    const QImage rendered(png);
    QCOMPARE(DifferingPixels(w.Visualizer().DrawingArea(), rendered.copy(0, 0, 512, 512)), 0);
    QCOMPARE(DifferingPixels(w.Visualizer().LegendStrip(), rendered.copy(0, 522, 512, 10)), 0);
  }

  void aSavedPictureIsTheRenderersPictureInTheFormatOfItsName() {
    const std::string vortex = WriteSample(dir_, SampleFlow::RankineVortex);
    struct Case {
      const char* name;
      bool background;
      bool colourBar;
      QStringList renderOptions;  // what vortana-render needs for the same picture
      bool barLeftOut;
    };
    // The PNG first: once a process has drawn the bar's labels into a vector picture, cairo's
    // cached font gives later raster labels slightly different edges.
    const Case cases[] = {
        {"bar.png", true, true, {"--background", "flow", "--legend", "--colour-bar"}, false},
        {"bar.svg", true, true, {"--background", "flow", "--legend", "--colour-bar"}, false},
        {"bar.pdf", true, true, {"--background", "flow", "--legend", "--colour-bar"}, false},
        {"nobackground.svg", false, true, {"--legend"}, true},
    };
    for (const Case& c : cases) {
      ScriptedMainWindow w;
      w.window.OpenDataSet(QString::fromStdString(vortex));
      if (c.background) QTest::mouseClick(w.window.Dialog().Control(kIdBackground), Qt::LeftButton);
      QTest::mouseClick(w.window.Dialog().Control(kIdVisualize), Qt::LeftButton);
      w.window.findChild<QAction*>("actionColourBar")->setChecked(c.colourBar);
      const std::string saved = dir_.File(std::string("window-") + c.name);
      w.savePath = QString::fromStdString(saved);
      w.window.findChild<QAction*>("actionSavePicture")->trigger();
      QVERIFY2(w.messages.empty(), c.name);
      QCOMPARE(w.StatusMessage().endsWith("without the colour bar: Background is off"),
               c.barLeftOut);

      const std::string rendered = dir_.File(std::string("render-") + c.name);
      RunProgram(VORTANA_RENDER_EXE, QStringList{QString::fromStdString(vortex), "-o",
                                                 QString::fromStdString(rendered)} +
                                         c.renderOptions);
      const std::string bytes = Comparable(FileBytes(saved));
      QVERIFY2(bytes.size() > 1000, c.name);
      QVERIFY2(bytes == Comparable(FileBytes(rendered)), c.name);
    }
  }

  void theSaveChoosersFilterGivesAMissingExtension() {
    struct Case {
      const char* path;
      const char* filter;
      const char* expected;
    };
    const Case cases[] = {
        {"/d/flow", "SVG image (*.svg)", "/d/flow.svg"},
        {"/d/flow", "PDF document (*.pdf)", "/d/flow.pdf"},
        {"/d/flow", "PNG image (*.png)", "/d/flow.png"},
        {"/d/flow.PDF", "PNG image (*.png)", "/d/flow.PDF"},  // a picture's own name stays
        {"/d/flow.v2", "SVG image (*.svg)", "/d/flow.v2.svg"},
        {"/d.x/flow", "PDF document (*.pdf)", "/d.x/flow.pdf"},
    };
    for (const Case& c : cases) {
      QCOMPARE(WithPictureExtension(c.path, c.filter), QString(c.expected));
    }
  }

  void stepEntriesLoadTheStepsOfASeriesKeepingTheSettings() {
    const QString folder = QString::fromStdString(dir_.File("series"));
    RunProgram(VORTANA_SAMPLE_EXE, {"--steps", "3", "double-gyre", folder});
    const std::string gyre = (folder + "/double-gyre.gri").toStdString();
    ScriptedMainWindow w;
    QVERIFY(w.active);
    VortanaWindow& dialog = w.window.Dialog();
    auto entry = [&w](const char* name) { return w.window.findChild<QAction*>(name); };
    w.window.OpenDataSet(QString::fromStdString(gyre));
    QCOMPARE(dialog.StepCount(), 3);
    QVERIFY(entry("actionNextStep")->isEnabled() && !entry("actionPreviousStep")->isEnabled());
    QVERIFY(w.DataSetText().contains("step 0 (of 0 to 2)"));
    QTest::mouseClick(dialog.Control(kIdBackground), Qt::LeftButton);
    // Steps in drawing pixels, which a file pair does not take by itself.
    w.window.findChild<QMenu*>("menuStepUnits")->actions().at(2)->trigger();
    QCOMPARE(w.Visualizer().GetSettings().stepUnits, RadioIndex(StepUnits::Pixels));
    dialog.Control(kIdVisualize)->setFocus();

    QTest::keyClick(&w.window, Qt::Key_PageDown);
    QCOMPARE(dialog.Step(), 1);
    QVERIFY(w.DataSetText().contains("step 1 (of 0 to 2)"));
    // The statistics are step 1's, as the series reads it with the grid read once.
    FileStore files;
    DataSetSeries series(gyre, files);
    QVERIFY(series.Open().Ok());
    LoadResult step0 = series.Read(0);
    LoadResult step1 = series.Read(1);
    QCOMPARE(w.Visualizer().Limits().maxSpeed, step1.Field()->Stats().maxSpeed);
    QCOMPARE(w.Visualizer().Limits().maxScalar1, step1.Field()->Stats().maxScalar1);
    QVERIFY(step0.Field()->Stats().maxScalar1 != step1.Field()->Stats().maxScalar1);

    QTest::mouseClick(dialog.Control(kIdVisualize), Qt::LeftButton);
    const QString png = QString::fromStdString(dir_.File("step1.png"));
    RunProgram(VORTANA_RENDER_EXE, {QString::fromStdString(gyre), "-o", png, "--step", "1",
                                    "--background", "flow", "--step-units", "pixels"});
    QCOMPARE(DifferingPixels(w.Visualizer().DrawingArea(), QImage(png).copy(0, 0, 512, 512)), 0);

    QTest::keySequence(&w.window, QKeySequence(Qt::CTRL | Qt::Key_End));
    QCOMPARE(dialog.Step(), 2);
    QVERIFY(!entry("actionNextStep")->isEnabled() && !entry("actionLastStep")->isEnabled());
    QTest::keyClick(&w.window, Qt::Key_PageUp);
    QCOMPARE(dialog.Step(), 1);
    QTest::keySequence(&w.window, QKeySequence(Qt::CTRL | Qt::Key_Home));
    QCOMPARE(dialog.Step(), 0);
    QCOMPARE(w.Visualizer().GetSettings().background, 1);

    // A data set of one step offers none.
    w.window.OpenDataSet(QString::fromStdString(WriteSample(dir_, SampleFlow::RankineVortex)));
    for (const char* name : {"actionNextStep", "actionPreviousStep", "actionFirstStep",
                             "actionLastStep"}) {
      QVERIFY(!entry(name)->isEnabled());
    }
    QVERIFY(!w.DataSetText().contains("step"));
    QVERIFY(w.messages.empty());
  }

 private:
  QTemporaryDir settingsDir_;
  TempDir dir_;
};

}  // namespace vortana::testing

QTEST_MAIN(vortana::testing::MainWindowTest)
#include "main_window_test.moc"
