#include "app/SourceChooserDialog.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

// One application for the whole run, never destroyed: Qt's own statics go
// first at exit, and an application destroyed after them crashes.
QApplication& Application() {
  static int argc = 1;
  static char name[] = "tests";
  static char* argv[] = {name, nullptr};
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication* application = new QApplication(argc, argv);
  return *application;
}

QPushButton* Button(TSourceChooserDialog& dialog, QDialogButtonBox::StandardButton which) {
  return dialog.findChild<QDialogButtonBox*>()->button(which);
}

// Runs the dialog modally and lets act() answer it from inside its loop.
int RunAndAnswer(TSourceChooserDialog& dialog, const std::function<void()>& act) {
  QTimer::singleShot(0, &dialog, act);
  return dialog.exec();
}

} // namespace

TEST(SourceChooser, StartsOnTheDefaultAndTakesTheSelection) {
  Application();
  TSourceChooserDialog dialog("Virtual Scanner B",
                              {"Virtual Scanner", "Virtual Scanner B", "Flatbed"});
  EXPECT_EQ(dialog.windowTitle(), "Select Source");
  EXPECT_EQ(dialog.ChosenName(), "Virtual Scanner B");
  auto* list = dialog.findChild<QListWidget*>("ListBoxSources");
  ASSERT_NE(list, nullptr);
  const int result = RunAndAnswer(dialog, [&] {
    list->setCurrentRow(2);
    QTest::mouseClick(Button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
  });
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(dialog.ChosenName(), "Flatbed");
}

TEST(SourceChooser, CancelAndEscapeChooseNothing) {
  Application();
  TSourceChooserDialog dialog("Missing", {"Virtual Scanner"});
  EXPECT_EQ(dialog.ChosenName(), "Virtual Scanner"); // an unknown default selects the first
  EXPECT_EQ(RunAndAnswer(dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); }),
            QDialog::Rejected);
  EXPECT_EQ(RunAndAnswer(dialog,
                         [&] {
                           QTest::mouseClick(Button(dialog, QDialogButtonBox::Cancel),
                                             Qt::LeftButton);
                         }),
            QDialog::Rejected);
  TSourceChooserDialog empty("", {});
  EXPECT_FALSE(Button(empty, QDialogButtonBox::Ok)->isEnabled());
  EXPECT_EQ(empty.ChosenName(), "");
}

TEST(SourceChooser, TheProgramIsUsedCorrectlyOrRefused) {
  const test::RunResult wrong = test::Run({test::BinPath("tessivane-source-chooser")});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.err.find("Usage"), std::string::npos);
}
