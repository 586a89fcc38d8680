// The SANE source's options window on the offscreen platform, built from
// the lines the source gives it.
#include "app/SaneOptionsDialog.h"
#include "support/TestApplication.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

using TValues = QList<QPair<QString, QString>>;

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
  EXPECT_EQ(dialog.Values(),
            (TValues{{"mode", "Gray"}, {"depth", "8"}, {"resolution", "50"}, {"br-x", "210"}}));
  auto answer = [&](const char* button, const std::function<void()>& change) {
    QTimer::singleShot(0, &dialog, [&] {
      change();
      QTest::mouseClick(dialog.findChild<QPushButton*>(button), Qt::LeftButton);
    });
    return dialog.exec();
  };
  EXPECT_EQ(answer("ButtonScan",
                   [&] {
                     mode->setCurrentIndex(1);
                     depth->setCurrentIndex(2);
                     resolution->selectAll();
                     QTest::keyClicks(resolution, "150");
                     width->stepUp(); // by its step of 5
                   }),
            QDialog::Accepted);
  EXPECT_EQ(dialog.Values(),
            (TValues{{"mode", "Color"}, {"depth", "16"}, {"resolution", "150"}, {"br-x", "215"}}));
  EXPECT_EQ(answer("ButtonCancel", [&] { mode->setCurrentIndex(0); }), QDialog::Rejected);
}

TEST(SaneOptionsDialog, LinesOfAnotherFormAreRefused) {
  for (const char* text : {
           "mode\tScan mode\tstrings\tGray\n",        // no choices
           "resolution\tRes\tnumbers\t50\t1\t1200\n", // no step
           "resolution\tRes\tnumbers\t50\t9\t1\t0\n", // minimum above maximum
           "depth\tDepth\tlist\t8\t1\teight\n",       // a choice that is no number
           "depth\tDepth\tvector\t8\t1\n",            // an unknown kind
           "mode\tScan mode\n",                       // too few fields
       }) {
    QList<TSaneOptionRow> rows{TSaneOptionRow{}};
    EXPECT_FALSE(ParseSaneOptionRows(text, rows)) << text;
    EXPECT_EQ(rows.size(), 1) << text; // left as it was
  }
}

} // namespace
