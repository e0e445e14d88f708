// The desktop window's pictures: loading through the "..." button, Visualize compared with the
// headless renderer, probes, the colour swatch, clearing, and when the frames are repainted.

#include <QPaintEvent>
#include <QProcess>
#include <functional>

#include "scripted_window.h"

namespace vortana::testing {
namespace {

constexpr Colour kWhite = MakeColour(255, 255, 255);
constexpr Colour kGreen = MakeColour(0, 255, 0);

int PixelsOfColour(const Surface& surface, Colour colour) {
  int count = 0;
  for (int i = 0; i < surface.Width() * surface.Height(); ++i) count += surface.Data()[i] == colour;
  return count;
}

QImage Shown(QWidget* frame) { return frame->grab().toImage(); }

}  // namespace

class WindowPicturesTest : public QObject {
  Q_OBJECT

 private:
  TempDir dir_;
  std::string vortex_ = WriteSample(dir_, SampleFlow::RankineVortex);

  // Sets the window up as `setUp` says, clicks Visualize, and compares the drawing area with the
  // picture vortana-render draws for the same options.
  void CompareWithRenderer(const char* name, const std::function<void(ScriptedWindow&)>& setUp,
                           const QStringList& options) {
    ScriptedWindow w;
    w.Load(vortex_);
    setUp(w);
    w.Click(kIdVisualize);
    QVERIFY2(w.messages.empty(), name);
    QVERIFY2(NonBlackPixels(w.Visualizer().DrawingArea()) > 0, name);

    const QString png = QString::fromStdString(dir_.File(std::string(name) + ".png"));
    QProcess render;
    render.start(VORTANA_RENDER_EXE,
                 QStringList{QString::fromStdString(vortex_), "-o", png} + options);
    QVERIFY2(render.waitForFinished(120000), name);
    QVERIFY2(render.exitCode() == 0, render.readAllStandardError().constData());
    QCOMPARE(DifferingPixels(w.Visualizer().DrawingArea(), QImage(png)), 0);
    // The frame shows exactly what was drawn.
    QApplication::processEvents();
    QCOMPARE(DifferingPixels(w.Visualizer().DrawingArea(), Shown(w.Control(kIdDrawingArea))), 0);
  }

 private slots:
  void firstPaintShowsTheLegendAndTheSwatch() {
    ScriptedWindow w;
    const Surface& legend = w.Visualizer().LegendStrip();
    // The ramp runs from (1, 0, 255) at the "low" end to pure red at the "high" end.
    QCOMPARE(legend.Pixel(0, 0), MakeColour(1, 0, 255));
    QCOMPARE(legend.Pixel(1, 9), MakeColour(1, 0, 255));
    QCOMPARE(legend.Pixel(511, 9), MakeColour(255, 0, 0));
    QCOMPARE(PixelsOfColour(w.Visualizer().Swatch(), kBlue), 15 * 15);
    QCOMPARE(NonBlackPixels(w.Visualizer().DrawingArea()), 0);
    QCOMPARE(DifferingPixels(legend, Shown(w.Control(kIdLegend))), 0);
    QCOMPARE(DifferingPixels(w.Visualizer().Swatch(), Shown(w.Control(kIdSwatch))), 0);
  }

  void loadShowsTheFileAndTheSettingsOverTypedValues() {
    ScriptedWindow w;
    w.Type(kIdGridSize, "64");  // typed, never read
    w.Load(vortex_);
    QVERIFY(w.messages.empty());
    QCOMPARE(w.Text(kIdFileName), QString::fromStdString(vortex_));
    QCOMPARE(w.Text(kIdSizeText), QString("4096"));
    QCOMPARE(w.Text(kIdWidthText), QString("64"));
    QCOMPARE(w.Text(kIdHeightText), QString("64"));
    QCOMPARE(w.Text(kIdDepthText), QString("1"));
    QCOMPARE(w.Text(kIdGridSize), QString("32"));
    // A cancelled chooser loads nothing.
    w.Click(kIdBrowse);
    QCOMPARE(w.Text(kIdFileName), QString::fromStdString(vortex_));
  }

  void visualizeDrawsWhatTheHeadlessRendererDraws() {
    CompareWithRenderer("regular", [](ScriptedWindow&) {}, {});
    if (QTest::currentTestFailed()) return;
    CompareWithRenderer("arrows-pressure",
                        [](ScriptedWindow& w) {
                          w.colours.push_back(kWhite);
                          w.LeftClick(w.Control(kIdSwatch)->geometry().center());
                          w.Click(kIdArrowPlot);
                          w.Click(kIdBackground);
                          w.Click(kIdPressure);
                          w.Type(kIdGridSize, "16");
                        },
                        {"--plot", "arrows", "--background", "pressure", "--grid-size", "16",
                         "--colour", "FFFFFF"});
    if (QTest::currentTestFailed()) return;
    CompareWithRenderer("evenly-spaced-flow",
                        [](ScriptedWindow& w) {
                          w.Click(kIdEvenlySpaced);
                          w.Click(kIdRungeKutta);
                          w.Type(kIdDSep, "12");
                          w.Type(kIdDTest, "6");
                          w.Click(kIdBackground);
                        },
                        {"--background", "flow", "--evenly-spaced", "--d-sep", "12", "--d-test",
                         "6", "--integrator", "rk2"});
  }

  void valueOutOfRangeIsCaughtAtVisualize() {
    ScriptedWindow w;
    w.Load(vortex_);
    w.Type(kIdGridSize, "200");
    w.Click(kIdVisualize);
    QCOMPARE(w.messages.size(), size_t{1});
    QCOMPARE(w.messages[0].icon, MessageIcon::Warning);
    QVERIFY(w.messages[0].text.find("128") != std::string::npos);
    QCOMPARE(NonBlackPixels(w.Visualizer().DrawingArea()), 0);
    QVERIFY(w.Visualizer().StoredStreamlines().empty());

    w.Type(kIdDeltaT, "fast");
    w.Type(kIdGridSize, "16");
    w.Click(kIdVisualize);
    QCOMPARE(w.messages.size(), size_t{2});
    QCOMPARE(NonBlackPixels(w.Visualizer().DrawingArea()), 0);

    w.Type(kIdDeltaT, "10");
    w.Click(kIdVisualize);
    QCOMPARE(w.messages.size(), size_t{2});
    QVERIFY(!w.Visualizer().StoredStreamlines().empty());
  }

  void swatchClickChoosesTheLineColour() {
    ScriptedWindow w;
    w.Load(vortex_);
    w.Click(kIdVisualize);
    const Surface& area = w.Visualizer().DrawingArea();
    const QImage before = SurfaceImage(area);
    QVERIFY(PixelsOfColour(area, kBlue) > 0);

    w.colours.push_back(kGreen);
    w.LeftClick(w.Control(kIdSwatch)->geometry().center());
    QCOMPARE(w.Visualizer().LineColour(), kGreen);
    QCOMPARE(PixelsOfColour(w.Visualizer().Swatch(), kGreen), 15 * 15);
    QApplication::processEvents();
    QCOMPARE(DifferingPixels(w.Visualizer().Swatch(), Shown(w.Control(kIdSwatch))), 0);
    // The pictures keep their colour until the next repaint.
    QCOMPARE(DifferingPixels(area, before), 0);
    w.window.repaint();
    QCOMPARE(PixelsOfColour(area, kBlue), 0);
    QVERIFY(PixelsOfColour(area, kGreen) > 0);

    // A cancelled chooser changes nothing.
    w.LeftClick(w.Control(kIdSwatch)->geometry().center());
    QCOMPARE(w.Visualizer().LineColour(), kGreen);
    QVERIFY(w.messages.empty());
  }

  void rightClickClearsTheDrawingAreaOnly() {
    ScriptedWindow w;
    w.RightClick(w.InDrawingArea(100, 100));  // no data: nothing happens
    QVERIFY(w.messages.empty());

    w.Load(vortex_);
    w.Click(kIdVisualize);
    const Surface& area = w.Visualizer().DrawingArea();
    const int drawn = NonBlackPixels(area);
    QVERIFY(drawn > 0);
    w.RightClick(QPoint(1, 1));  // outside every control
    w.RightClick(w.Control(kIdLegend)->geometry().center());
    QCOMPARE(NonBlackPixels(area), drawn);

    w.RightClick(w.InDrawingArea(100, 100));
    QCOMPARE(NonBlackPixels(area), 0);
    QVERIFY(w.Visualizer().StoredStreamlines().empty());

    // With a background, the clear leaves the background.
    w.Click(kIdBackground);
    w.Click(kIdVisualize);
    w.RightClick(w.InDrawingArea(0, 0));
    const std::vector<Colour>& buffer = w.Visualizer().BackgroundBuffer();
    QVERIFY(std::equal(buffer.begin(), buffer.end(), area.Data()));
    QVERIFY(NonBlackPixels(area) > 0);
    QApplication::processEvents();
    QCOMPARE(DifferingPixels(area, Shown(w.Control(kIdDrawingArea))), 0);
  }

  void probesLastUntilTheDialogRepaints() {
    ScriptedWindow w;
    w.LeftClick(w.InDrawingArea(256, 256));
    QCOMPARE(w.messages.size(), size_t{1});
    QCOMPARE(w.messages[0].text, std::string("Error: no data file selected"));
    w.messages.clear();

    w.Load(vortex_);
    const Surface& area = w.Visualizer().DrawingArea();
    w.LeftClick(w.InDrawingArea(300, 256));  // streamline through the pixel
    const int streamline = NonBlackPixels(area);
    QVERIFY(streamline > 5);
    QCOMPARE(area.Pixel(300, 256), kBlue);
    QVERIFY(w.Visualizer().StoredStreamlines().empty());

    // Controls repainting themselves are no paint request of the dialog: the probe stays.
    w.Click(kIdArrowPlot);
    w.Type(kIdGridSize, "16");
    QTest::qWait(50);
    QCOMPARE(NonBlackPixels(area), streamline);
    w.LeftClick(w.InDrawingArea(100, 100));  // one arrow
    QVERIFY(NonBlackPixels(area) > streamline);
    QVERIFY(w.Visualizer().StoredArrows().empty());

    // The dialog's own face exposed again: everything unstored is gone.
    w.window.update();
    QTest::qWait(50);
    QCOMPARE(NonBlackPixels(area), 0);
    QVERIFY(w.messages.empty());
  }

  void minimisedDialogDrawsNothingUntilRestored() {
    ScriptedWindow w;
    w.Load(vortex_);
    const Surface& area = w.Visualizer().DrawingArea();
    w.LeftClick(w.InDrawingArea(300, 256));
    const int probe = NonBlackPixels(area);
    QVERIFY(probe > 0);

    w.window.showMinimized();
    QTRY_VERIFY(w.window.isMinimized());
    QPaintEvent paint(w.window.rect());
    QApplication::sendEvent(&w.window, &paint);
    QCOMPARE(NonBlackPixels(area), probe);

    w.window.showNormal();
    QTRY_COMPARE(NonBlackPixels(area), 0);
  }

  void hoverTimerRunsWhileThePointerIsOverTheDrawingArea() {
    ScriptedWindow w;
    QTest::mouseMove(&w.window, w.InDrawingArea(10, 10));
    QVERIFY(w.Visualizer().TimerRunning());
    QTest::mouseMove(&w.window, w.InDrawingArea(400, 300));
    QVERIFY(w.Visualizer().TimerRunning());
    QTest::mouseMove(&w.window, w.Control(kIdSwatch)->geometry().center());
    QVERIFY(!w.Visualizer().TimerRunning());
  }

  void colourByClickMakesTheBackgroundStale() {
    ScriptedWindow w;
    w.Load(vortex_);
    w.Click(kIdBackground);
    w.Click(kIdVisualize);
    QVERIFY(w.Visualizer().BackgroundValid());
    w.Click(kIdBackground);  // toggling Background keeps it
    QVERIFY(w.Visualizer().BackgroundValid());
    w.Click(kIdBackground);
    w.Click(kIdVorticity);
    QVERIFY(!w.Visualizer().BackgroundValid());
  }
};

}  // namespace vortana::testing

QTEST_MAIN(vortana::testing::WindowPicturesTest)
#include "window_pictures_test.moc"
