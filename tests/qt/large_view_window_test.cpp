// The large view as a user drives it: opened from the View menu, zoomed with the wheel, saved,
// and the saved picture drawn again by vortana-render from what the status bar says.

#include <QStatusBar>
#include <QWheelEvent>

#include "app/qt/large_view_window.h"
#include "app/qt/main_window.h"
#include "scripted_window.h"
#include "support/program_run.h"

namespace vortana::testing {

class LargeViewWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void aZoomedViewSavesWhatVortanaRenderDraws() {
    MainWindow window;
    std::vector<RecordedMessage> messages;
    window.Dialog().GetPlatform().SetMessageShower(
        [&messages](const std::string& text, const std::string& caption, MessageIcon icon) {
          messages.push_back({text, caption, icon});
        });
    const std::string saved = dir_.File("view.png");
    window.SetSaveFileChooser([&saved] { return std::optional(QString::fromStdString(saved)); });
    window.Dialog().SetQuietTime(std::chrono::minutes(5));  // see ScriptedWindow
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const std::string data = WriteSample(dir_, SampleFlow::RankineVortex);
    window.OpenDataSet(QString::fromStdString(data));
    QTest::mouseClick(window.Dialog().Control(kIdBackground), Qt::LeftButton);
    QTest::mouseClick(window.Dialog().Control(kIdVisualize), Qt::LeftButton);

    window.findChild<QAction*>("actionLargeView")->trigger();
    LargeViewWindow* view = window.LargeView();
    QVERIFY(view != nullptr && view->isVisible());
    view->resize(700, 560);
    const auto settled = [&] {
      return QTest::qWaitFor(
          [&] {
            const std::optional<WorldWindow> shown = view->ShownWindow();
            const WorldWindow& asked = view->Window();
            return shown && shown->x0 == asked.x0 && shown->y0 == asked.y0 &&
                   shown->x1 == asked.x1 && shown->y1 == asked.y1;
          },
          20000);
    };
    QVERIFY(settled());
    const WorldWindow whole = view->Window();
    QCOMPARE(view->Shown()->Dialog().Window().x1, whole.x1);

    // Two notches at once and one more at a point of the picture: only the last is shown.
    QWidget* canvas = view->findChild<QWidget*>("largeViewCanvas");
    const QPointF at = QPointF(view->AreaRect().topLeft()) + QPointF(300, 200);
    for (const int delta : {240, 120}) {
      QWheelEvent wheel(at, canvas->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(canvas, &wheel);
    }
    QVERIFY(settled());
    const WorldWindow zoomed = view->Window();
    QCOMPARE(view->ShownWindow()->x0, zoomed.x0);
    QCOMPARE(view->ShownWindow()->y1, zoomed.y1);
    // 1.25 cubed: the extent shrinks from the whole's to 0.512 of it.
    QVERIFY(std::abs((zoomed.x1 - zoomed.x0) / (whole.x1 - whole.x0) - 0.512) < 1e-5);

    view->findChild<QAction*>("actionSaveLargeView")->trigger();
    const QString said = view->statusBar()->currentMessage();
    const qsizetype from = said.indexOf("vortana-render ") + 15;
    const qsizetype to = said.indexOf(" draws it");
    QVERIFY2(from >= 15 && to > from, qPrintable(said));
    std::vector<std::string> args = {data, "--background", "flow", "-o", dir_.File("render.png")};
    for (const QString& arg : said.mid(from, to - from).split(' ')) args.push_back(arg.toStdString());
    const ProgramRun run = RunRender(args);
    QVERIFY2(run.status == 0, run.err.c_str());
    QVERIFY(!ReadText(saved).empty());
    QVERIFY(ReadText(saved) == ReadText(dir_.File("render.png")));
    QVERIFY(messages.empty());

    // Home goes back to the whole window; closing the view leaves the dialog as it was.
    QTest::keyClick(canvas, Qt::Key_Home);
    QVERIFY(settled());
    QCOMPARE(view->ShownWindow()->x0, whole.x0);
    const std::vector<Streamline> before = window.Dialog().GetVisualizer().StoredStreamlines();
    view->close();
    QCOMPARE(window.Dialog().GetVisualizer().StoredStreamlines().size(), before.size());
  }

 private:
  TempDir dir_;
};

}  // namespace vortana::testing

QTEST_MAIN(vortana::testing::LargeViewWindowTest)
#include "large_view_window_test.moc"
