// The desktop window's controls: start-up state, layout, keyboard, spinners and enabling rules,
// driven through the real widgets.

#include <QPushButton>

#include "scripted_window.h"

namespace vortana::testing {
namespace {

const std::vector<int> kEnabledAtStart = {kIdEuler,       kIdRungeKutta, kIdEvenlySpaced,
                                          kIdDeltaTLabel, kIdDeltaT,     kIdDeltaTSpin};
const std::vector<int> kDisabledAtStart = {kIdNormalized, kIdFlow,     kIdPressure, kIdVorticity,
                                           kIdDSepLabel,  kIdDSep,     kIdDSepSpin, kIdDTestLabel,
                                           kIdDTest,      kIdDTestSpin};
const std::vector<int> kEvenlySpacedSix = {kIdDSepLabel,  kIdDSep,  kIdDSepSpin,
                                           kIdDTestLabel, kIdDTest, kIdDTestSpin};

bool IsDecoration(ControlKind kind) {
  return kind == ControlKind::GroupBox || kind == ControlKind::SunkenPanel;
}

}  // namespace

class VortanaWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void startUpShowsTheSettingsAndTheRules() {
    ScriptedWindow w;
    QVERIFY(w.exposed);
    QVERIFY(w.Checked(kIdStreamlines));
    QVERIFY(w.Checked(kIdEuler));
    QVERIFY(w.Checked(kIdFlow));
    for (const int id : {kIdArrowPlot, kIdRungeKutta, kIdPressure, kIdVorticity, kIdNormalized,
                         kIdBackground, kIdEvenlySpaced}) {
      QVERIFY2(!w.Checked(id), qPrintable(QString::number(id)));
    }
    QCOMPARE(w.Text(kIdGridSize), QString("32"));
    QCOMPARE(w.Text(kIdDeltaT), QString("10"));
    QCOMPARE(w.Text(kIdDSep), QString("20"));
    QCOMPARE(w.Text(kIdDTest), QString("10"));
    for (const int id : {kIdFileName, kIdSizeText, kIdWidthText, kIdHeightText, kIdDepthText}) {
      QVERIFY(w.Text(id).isEmpty());
    }
    for (const int id : kEnabledAtStart) QVERIFY2(w.Enabled(id), qPrintable(QString::number(id)));
    for (const int id : kDisabledAtStart) {
      QVERIFY2(!w.Enabled(id), qPrintable(QString::number(id)));
    }
    QVERIFY(w.messages.empty());
  }

  void windowIsAFixedDialogWithTheTableCaptions() {
    ScriptedWindow w;
    QCOMPARE(w.window.windowTitle(), QString("Vortana Visualization"));
    const QSize size = w.window.Units().DialogSize();
    QCOMPARE(w.window.size(), size);
    QCOMPARE(w.window.minimumSize(), size);
    QCOMPARE(w.window.maximumSize(), size);
    const Qt::WindowFlags flags = w.window.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));

    QCOMPARE(w.Button(kIdVisualize)->text(), QString("&Visualize"));
    QVERIFY(qobject_cast<QPushButton*>(w.Control(kIdVisualize))->isDefault());
    QCOMPARE(w.Button(kIdBrowse)->text(), QString("..."));
    QCOMPARE(w.Button(kIdArrowPlot)->text(), QString("&Arrow Plot"));
    QCOMPARE(w.Button(kIdStreamlines)->text(), QString("&Streamlines"));
    QCOMPARE(w.Button(kIdBackground)->text(), QString("&Background"));
    QCOMPARE(w.Button(kIdNormalized)->text(), QString("&Normalized Vectors"));
    QCOMPARE(w.Button(kIdEuler)->text(), QString("E&uler"));
    QCOMPARE(w.Button(kIdRungeKutta)->text(), QString("&Runge-Kutta"));
    QCOMPARE(w.Button(kIdEvenlySpaced)->text(), QString("Evenly Spaced"));
    QCOMPARE(w.Text(kIdDeltaTLabel), QString("Delta t:"));
    QCOMPARE(w.Text(kIdDSepLabel), QString("d_sep:"));
    QCOMPARE(w.Text(kIdDTestLabel), QString("d_test:"));
    QCOMPARE(w.window.Controls().size(), size_t{45});
  }

  void framesTakeTheirPixelSizesClearOfTheOtherControls() {
    ScriptedWindow w;
    const QRect area = w.Control(kIdDrawingArea)->geometry();
    const QRect legend = w.Control(kIdLegend)->geometry();
    QCOMPARE(area.size(), QSize(512, 512));
    QCOMPARE(legend.size(), QSize(512, 10));
    QCOMPARE(w.Control(kIdSwatch)->size(), QSize(15, 15));
    // Legend: under the drawing area's left edge, a 10-pixel gap below its bottom.
    QCOMPARE(legend.topLeft(), area.topLeft() + QPoint(0, 522));

    // The frames keep their table corners: the drawing area at (3, 2) dialog units.
    const DialogUnits& units = w.window.Units();
    QCOMPARE(area.topLeft(), QPoint(units.ToPixelsX(3), units.ToPixelsY(2)));
    // ... and end left of the outlines at x = 352 and above the legend labels at y = 335.
    QVERIFY(area.right() < units.ToPixelsX(352));
    QVERIFY(legend.bottom() < units.ToPixelsY(335));
  }

  void captionsFitAndNoControlsOverlap() {
    ScriptedWindow w;
    const std::span<const ControlEntry> entries = DialogControls();
    const std::vector<QWidget*>& controls = w.window.Controls();
    const QRect client = w.window.rect();
    for (size_t i = 0; i < entries.size(); ++i) {
      const QRect rect = controls[i]->geometry();
      QVERIFY2(client.contains(rect), entries[i].text);
      const ControlKind kind = entries[i].kind;
      if (kind == ControlKind::Label || kind == ControlKind::RadioButton ||
          kind == ControlKind::CheckBox) {
        QVERIFY2(rect.width() >= controls[i]->sizeHint().width(), entries[i].text);
      }
      if (IsDecoration(kind)) continue;
      for (size_t j = i + 1; j < entries.size(); ++j) {
        if (IsDecoration(entries[j].kind)) continue;
        QVERIFY2(!rect.intersects(controls[j]->geometry()),
                 qPrintable(QString("%1 / %2").arg(i).arg(j)));
      }
    }
  }

  void childUnderAPointIsTheTopmostWhetherShownOrEnabled() {
    ScriptedWindow w;
    const Platform& platform = w.window.GetPlatform();
    const auto childAt = [&](QPoint p) { return platform.ChildAt(p.x(), p.y()); };
    const QPoint area = w.Control(kIdDrawingArea)->pos();
    QCOMPARE(childAt(area), ChildUnderPoint::DrawingArea);
    QCOMPARE(childAt(area + QPoint(511, 511)), ChildUnderPoint::DrawingArea);
    QCOMPARE(childAt(area + QPoint(0, 517)), ChildUnderPoint::None);  // the gap
    QCOMPARE(childAt(area + QPoint(511, 522)), ChildUnderPoint::Legend);
    QCOMPARE(childAt(area + QPoint(-1, 0)), ChildUnderPoint::None);
    // The swatch lies inside an outline and a panel, yet it is found.
    QCOMPARE(childAt(w.Control(kIdSwatch)->geometry().center()), ChildUnderPoint::Swatch);
    QCOMPARE(childAt(w.Control(kIdNormalized)->geometry().center()), ChildUnderPoint::Other);
    const QPoint visualize = w.Control(kIdVisualize)->geometry().center();
    w.Control(kIdVisualize)->hide();
    QCOMPARE(childAt(visualize), ChildUnderPoint::Other);
    QCOMPARE(platform.DrawingAreaOrigin(), (PixelPoint{area.x(), area.y()}));
  }

  void tabFollowsTheTableOverEnabledTabStops() {
    ScriptedWindow w;
    w.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.Control(kIdVisualize)->setFocus();
    // A radio group is one stop, entered at its first button; the arrow keys move within it.
    const std::vector<int> expected = {kIdFileName,   kIdBrowse, kIdArrowPlot,    kIdGridSize,
                                       kIdBackground, kIdDeltaT, kIdEvenlySpaced, kIdVisualize};
    for (const int id : expected) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), w.Control(id));
    }
  }

  void gridSizeSpinnerDoublesHalvesAndWraps() {
    ScriptedWindow w;
    w.Type(kIdGridSize, "8");
    for (const char* expected : {"16", "32", "64", "128", "8"}) {
      w.Spin(kIdGridSizeSpin, +1);
      QCOMPARE(w.Text(kIdGridSize), QString(expected));
    }
    w.Type(kIdGridSize, "128");
    for (const char* expected : {"64", "32", "16", "8", "128"}) {
      QTest::keyClick(w.Edit(kIdGridSize), Qt::Key_Down);
      QCOMPARE(w.Text(kIdGridSize), QString(expected));
    }
    // Typed values: the result is held by the range 8..128.
    w.Type(kIdGridSize, "100");
    QTest::keyClick(w.Edit(kIdGridSize), Qt::Key_Up);
    QCOMPARE(w.Text(kIdGridSize), QString("128"));
    w.Type(kIdGridSize, "33");
    w.Spin(kIdGridSizeSpin, -1);
    QCOMPARE(w.Text(kIdGridSize), QString("17"));
    w.Type(kIdGridSize, "9");
    w.Spin(kIdGridSizeSpin, -1);
    QCOMPARE(w.Text(kIdGridSize), QString("8"));
    QVERIFY(w.messages.empty());
  }

  void plainSpinnersStepByOneWithinTheirRanges() {
    ScriptedWindow w;
    w.Spin(kIdDeltaTSpin, +1);
    QCOMPARE(w.Text(kIdDeltaT), QString("11"));
    w.Type(kIdDeltaT, "20");
    w.Spin(kIdDeltaTSpin, +1);
    QCOMPARE(w.Text(kIdDeltaT), QString("20"));
    w.Type(kIdDeltaT, "1");
    QTest::keyClick(w.Edit(kIdDeltaT), Qt::Key_Down);
    QCOMPARE(w.Text(kIdDeltaT), QString("1"));
    // A disabled spinner does not step.
    w.Spin(kIdDSepSpin, +1);
    QCOMPARE(w.Text(kIdDSep), QString("20"));
    w.Click(kIdEvenlySpaced);
    w.Spin(kIdDSepSpin, +1);
    QCOMPARE(w.Text(kIdDSep), QString("21"));
    // A typed value stays in the field until it is read.
    w.Type(kIdDSep, "99");
    QCOMPARE(w.Text(kIdDSep), QString("99"));
  }

  void dTestSpinnerStaysBelowDSep() {
    ScriptedWindow w;
    w.Click(kIdEvenlySpaced);
    w.Type(kIdDTest, "18");
    w.Spin(kIdDTestSpin, +1);
    QCOMPARE(w.Text(kIdDTest), QString("19"));
    w.Spin(kIdDTestSpin, +1);
    QCOMPARE(w.Text(kIdDTest), QString("19"));
    QTest::keyClick(w.Edit(kIdDTest), Qt::Key_Down);
    QCOMPARE(w.Text(kIdDTest), QString("18"));
    // With d_sep 50 the spinner's own upper limit 25 holds.
    w.Type(kIdDSep, "50");
    w.Type(kIdDTest, "24");
    w.Spin(kIdDTestSpin, +1);
    QCOMPARE(w.Text(kIdDTest), QString("25"));
    QTest::keyClick(w.Edit(kIdDTest), Qt::Key_Up);
    QCOMPARE(w.Text(kIdDTest), QString("25"));
    QVERIFY(w.messages.empty());
  }

  void enablingRulesFollowTheClicks() {
    ScriptedWindow w;
    w.Click(kIdEvenlySpaced);
    QVERIFY(w.Checked(kIdEvenlySpaced));
    for (const int id : kEvenlySpacedSix) QVERIFY(w.Enabled(id));

    // Arrow Plot disables Evenly Spaced but leaves it checked and the six controls enabled.
    w.Click(kIdArrowPlot);
    QVERIFY(w.Checked(kIdArrowPlot));
    QVERIFY(!w.Checked(kIdStreamlines));
    QVERIFY(w.Enabled(kIdNormalized));
    for (const int id : kEnabledAtStart) QVERIFY(!w.Enabled(id));
    QVERIFY(w.Checked(kIdEvenlySpaced));
    for (const int id : kEvenlySpacedSix) QVERIFY(w.Enabled(id));

    w.Click(kIdStreamlines);
    QVERIFY(!w.Enabled(kIdNormalized));
    for (const int id : kEnabledAtStart) QVERIFY(w.Enabled(id));
    for (const int id : kEvenlySpacedSix) QVERIFY(w.Enabled(id));

    w.Click(kIdEvenlySpaced);
    for (const int id : kEvenlySpacedSix) QVERIFY(!w.Enabled(id));

    w.Click(kIdBackground);
    for (const int id : {kIdFlow, kIdPressure, kIdVorticity}) QVERIFY(w.Enabled(id));
    w.Click(kIdPressure);
    QVERIFY(w.Checked(kIdPressure));
    QVERIFY(!w.Checked(kIdFlow));
    w.Click(kIdBackground);
    for (const int id : {kIdFlow, kIdPressure, kIdVorticity}) QVERIFY(!w.Enabled(id));
    QVERIFY(w.messages.empty());
  }

  void radioGroupsCanShowNoButtonChecked() {
    ScriptedWindow w;
    QtPlatform& platform = w.window.GetPlatform();
    platform.SetChecked(kIdStreamlines, false);
    QVERIFY(!w.Checked(kIdStreamlines));
    QVERIFY(!w.Checked(kIdArrowPlot));
    QVERIFY(w.Visualizer().ReadSettings());
    QCOMPARE(w.Visualizer().GetSettings().plotType, -1);
    // The group is exclusive again afterwards.
    w.Click(kIdArrowPlot);
    w.Click(kIdStreamlines);
    QVERIFY(!w.Checked(kIdArrowPlot));
  }

  void enterVisualizesAndEscapeCloses() {
    ScriptedWindow w;
    w.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.Edit(kIdGridSize)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(w.messages.size(), size_t{1});
    QCOMPARE(w.messages[0].text, std::string("Error: no data file selected"));
    QCOMPARE(w.messages[0].caption, std::string("Visualize"));
    QCOMPARE(w.messages[0].icon, MessageIcon::Stop);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!w.window.isVisible());
    QCOMPARE(w.window.result(), int{QDialog::Rejected});
  }
};

}  // namespace vortana::testing

QTEST_MAIN(vortana::testing::VortanaWindowTest)
#include "vortana_window_test.moc"
