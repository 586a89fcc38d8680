// The SANE source's options window on the offscreen platform, built from
// the lines the source gives it.
#include "app/SaneOptionsDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// One application for the whole run, never destroyed: Qt's own statics go
// first at exit.
void Application() {
  static int argc = 1;
  static char name[] = "tests";
  static char* argv[] = {name, nullptr};
  static QApplication* application = new QApplication(argc, argv);
  (void)application;
}

const char* const kOptions = "mode\tScan mode\tstrings\tGray\tGray\tColor\n"
                             "depth\tBit depth\tlist\t8\t1\t8\t16\n"
                             "resolution\tScan resolution\tnumbers\t50\t1\t1200\t0\n"
                             "br-x\tBottom-right x\tintegers\t210\t0\t300\t5\n";

QList<TSaneOptionRow> Rows() {
  QList<TSaneOptionRow> rows;
  EXPECT_TRUE(ParseSaneOptionRows(kOptions, rows));
  return rows;
}

int RunAndAnswer(TSaneOptionsDialog& dialog, const std::function<void()>& act) {
  QTimer::singleShot(0, &dialog, act);
  return dialog.exec();
}

struct TFieldCase {
  const char* Name;
  const char* WidgetClass;
  std::function<void(QWidget*)> Change; // as the operator would
  const char* Before;
  const char* After;
};

} // namespace

TEST(SaneOptionsDialog, EachKindGetsItsFieldAndScanReturnsTheValues) {
  Application();
  const TFieldCase cases[] = {
      {"mode", "QComboBox", [](QWidget* w) { qobject_cast<QComboBox*>(w)->setCurrentIndex(1); },
       "Gray", "Color"},
      {"depth", "QComboBox", [](QWidget* w) { qobject_cast<QComboBox*>(w)->setCurrentIndex(2); },
       "8", "16"},
      {"resolution", "QDoubleSpinBox",
       [](QWidget* w) {
         auto* box = qobject_cast<QDoubleSpinBox*>(w);
         box->selectAll();
         QTest::keyClicks(box, "150");
       },
       "50", "150"},
      // A step of 5 steps by 5.
      {"br-x", "QSpinBox",
       [](QWidget* w) {
         auto* box = qobject_cast<QSpinBox*>(w);
         box->stepUp();
         box->stepUp();
         box->stepDown();
       },
       "210", "215"},
  };
  TSaneOptionsDialog dialog(Rows());
  for (const TFieldCase& field : cases) {
    QWidget* widget = dialog.findChild<QWidget*>(field.Name);
    ASSERT_NE(widget, nullptr) << field.Name;
    EXPECT_STREQ(widget->metaObject()->className(), field.WidgetClass) << field.Name;
  }
  auto values = [&](bool after) {
    QList<QPair<QString, QString>> expected;
    for (const TFieldCase& field : cases)
      expected.append(qMakePair(QString(field.Name), QString(after ? field.After : field.Before)));
    return expected;
  };
  EXPECT_EQ(dialog.Values(), values(false));
  const int result = RunAndAnswer(dialog, [&] {
    for (const TFieldCase& field : cases) field.Change(dialog.findChild<QWidget*>(field.Name));
    QTest::mouseClick(dialog.findChild<QPushButton*>("ButtonScan"), Qt::LeftButton);
  });
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(dialog.findChild<QPushButton*>("ButtonScan")->text(), "Scan");
  EXPECT_EQ(dialog.Values(), values(true));
}

TEST(SaneOptionsDialog, CancelAndEscapeAreRejected) {
  Application();
  TSaneOptionsDialog dialog(Rows());
  EXPECT_EQ(RunAndAnswer(dialog,
                         [&] {
                           QTest::mouseClick(dialog.findChild<QPushButton*>("ButtonCancel"),
                                             Qt::LeftButton);
                         }),
            QDialog::Rejected);
  EXPECT_EQ(RunAndAnswer(dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); }),
            QDialog::Rejected);
}

TEST(SaneOptionsDialog, LinesOfAnotherFormAreRefused) {
  const char* const bad[] = {
      "mode\tScan mode\tstrings\tGray\n",        // no choices
      "resolution\tRes\tnumbers\t50\t1\t1200\n", // no step
      "resolution\tRes\tnumbers\t50\t9\t1\t0\n", // minimum above maximum
      "depth\tDepth\tlist\t8\t1\teight\n",       // a choice that is no number
      "depth\tDepth\tvector\t8\t1\n",            // an unknown kind
      "mode\tScan mode\n",                       // too few fields
  };
  for (const char* text : bad) {
    QList<TSaneOptionRow> rows{TSaneOptionRow{}};
    EXPECT_FALSE(ParseSaneOptionRows(text, rows)) << text;
    EXPECT_EQ(rows.size(), 1) << text; // left as it was
  }
  QList<TSaneOptionRow> rows;
  ASSERT_TRUE(ParseSaneOptionRows(kOptions, rows));
  ASSERT_EQ(rows.size(), 4);
  EXPECT_EQ(rows[1].Choices, QStringList({"1", "8", "16"}));
}
