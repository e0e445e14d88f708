// The dialog's control table and the conversion of dialog units to pixels.

#include "app/qt/dialog_layout.h"

#include <QtTest>
#include <set>

#include "app/control_ids.h"

namespace vortana::testing {
namespace {

// Whether the 512-pixel drawing area ends left of the group outlines (x = 352 units) and the
// legend strip, 10 pixels below it, ends above its labels (y = 335 units).
bool FramesFit(const DialogUnits& units) {
  const int areaLeft = units.ToPixelsX(3);
  const int areaTop = units.ToPixelsY(2);
  return areaLeft + 512 <= units.ToPixelsX(352) && areaTop + 512 + 10 + 10 <= units.ToPixelsY(335);
}

}  // namespace

class DialogLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void unitsRoundLikeTheOldWindowSystem() {
    const DialogUnits reference{6, 13};
    QCOMPARE(reference.DialogSize(), QSize(771, 562));  // 514 * 6 / 4, 346 * 13 / 8 = 562.25
    QCOMPARE(reference.ToPixelsX(3), 5);                // 4.5 rounds up
    QCOMPARE(reference.ToPixelsY(2), 3);                // 3.25 rounds down
    const ControlEntry& visualize = DialogControls()[0];
    QCOMPARE(reference.ToPixels(visualize), QRect(683, 528, 75, 23));  // 682.5, 528.1, 75, 22.75
    const DialogUnits wide{7, 16};
    QCOMPARE(wide.DialogSize(), QSize(900, 692));  // 899.5 rounds up
  }

  void referenceUnitsAreTheLeastThatFitTheFrames() {
    QVERIFY(FramesFit(kMinimumUnits));
    QVERIFY(!FramesFit({5, 13}));
    QVERIFY(!FramesFit({6, 12}));
    QVERIFY(FramesFit({7, 16}));
  }

  void unitsFollowTheFontButNeverFallBelowTheReference() {
    QFont tiny = QApplication::font();
    tiny.setPixelSize(4);
    const DialogUnits small = DialogUnitsFor(tiny);
    QCOMPARE(small.avgCharWidth, 6);
    QCOMPARE(small.charHeight, 13);

    QFont large = QApplication::font();
    large.setPixelSize(30);
    const DialogUnits big = DialogUnitsFor(large);
    QCOMPARE(big.charHeight, QFontMetrics(large).height());
    const double average = QFontMetrics(large).horizontalAdvance(
                               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") /
                           52.0;
    QVERIFY(std::abs(big.avgCharWidth - average) <= 0.5);

    const QFont dialogFont = DialogFont();
    QCOMPARE(dialogFont.pointSizeF(), 8.0);
    QVERIFY(FramesFit(DialogUnitsFor(dialogFont)));
  }

  void tableHoldsTheControlsInTheirGroups() {
    const std::span<const ControlEntry> controls = DialogControls();
    QCOMPARE(controls.size(), size_t{45});
    std::set<int> ids;
    for (const ControlEntry& c : controls) {
      if (c.id != -1) QVERIFY2(ids.insert(c.id).second, c.text);
    }
    const std::vector<std::vector<int>> expected = {{kIdArrowPlot, kIdStreamlines},
                                                    {kIdEuler, kIdRungeKutta},
                                                    {kIdFlow, kIdPressure, kIdVorticity}};
    QCOMPARE(RadioGroups(), expected);

    // Each spinner follows its buddy field and sits against the field's right edge.
    for (size_t i = 0; i < controls.size(); ++i) {
      if (controls[i].kind != ControlKind::Spinner) continue;
      const ControlEntry& buddy = controls[i - 1];
      QCOMPARE(buddy.kind, ControlKind::Edit);
      QCOMPARE(controls[i].x, buddy.x + buddy.w);
      QCOMPARE(controls[i].id, buddy.id + 1);
    }
  }
};

}  // namespace vortana::testing

QTEST_MAIN(vortana::testing::DialogLayoutTest)
#include "dialog_layout_test.moc"
