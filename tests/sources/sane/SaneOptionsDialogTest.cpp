// The SANE source's options window, built from the lines the source gives it.
#include "app/SaneOptionsDialog.h"
#include "support/TestApplication.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(SaneOptionsDialog, EachKindGetsItsFieldScanReturnsTheValuesCancelRejects) {
  test::EnsureApplication();
  QList<TSaneOptionRow> rows;
  ASSERT_TRUE(ParseSaneOptionRows("mode\tScan mode\tstrings\tGray\tGray\tColor\n"
                                  "depth\tBit depth\tlist\t8\t1\t8\t16\n"
                                  "resolution\tScan resolution\tnumbers\t50\t1\t1200\t0\n"
                                  "br-x\tBottom-right x\tintegers\t210\t0\t300\t5\n",
                                  rows));
  TSaneOptionsDialog dialog(rows);
  auto* mode = dialog.findChild<QComboBox*>("mode");
  auto* depth = dialog.findChild<QComboBox*>("depth");
  auto* resolution = dialog.findChild<QDoubleSpinBox*>("resolution");
  auto* width = dialog.findChild<QSpinBox*>("br-x");
  ASSERT_TRUE(mode && depth && resolution && width);
  mode->setCurrentIndex(1);
  depth->setCurrentIndex(2);
  resolution->selectAll();
  QTest::keyClicks(resolution, "150");
  width->stepUp(); // by its step of 5
  auto click = [&dialog](const char* button) {
    QTimer::singleShot(0, &dialog, [&dialog, button] {
      QTest::mouseClick(dialog.findChild<QPushButton*>(button), Qt::LeftButton);
    });
    return dialog.exec();
  };
  EXPECT_EQ(click("ButtonScan"), QDialog::Accepted);
  EXPECT_EQ(dialog.Values(),
            (QList<QPair<QString, QString>>{
                {"mode", "Color"}, {"depth", "16"}, {"resolution", "150"}, {"br-x", "215"}}));
  EXPECT_EQ(click("ButtonCancel"), QDialog::Rejected);
}

} // namespace
