// The operator's questions as real dialogs, answered by clicking in them.
#include "WindowFixture.h"

#include "app/WidgetPrompt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>

using namespace apptest;

namespace {

// Runs act on the next modal dialog once it is shown, and again while it
// stays open, while ask waits for the answer.
template <typename Result>
Result AnswerNextDialog(const std::function<void(QWidget*)>& act,
                        const std::function<Result()>& ask) {
  QTimer poll;
  poll.setInterval(10);
  QElapsedTimer answered;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    // A dialog still open a while after its answer did not take it (a file
    // dialog may not have listed the chosen file yet): answer it again.
    if (!dialog || (answered.isValid() && answered.elapsed() < 200)) return;
    answered.start();
    act(dialog);
  });
  poll.start();
  return ask();
}

void Click(QWidget* box, QMessageBox::StandardButton which) {
  QTest::mouseClick(static_cast<QMessageBox*>(box)->button(which), Qt::LeftButton);
}

} // namespace

TEST(WidgetPrompt, MessageBoxesShowTheirIconTextAndButtons) {
  Application();
  TWidgetPrompt prompt;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString title, text;
  const TAnswer yes = AnswerNextDialog<TAnswer>(
      [&](QWidget* box) {
        icon = static_cast<QMessageBox*>(box)->icon();
        title = box->windowTitle();
        text = static_cast<QMessageBox*>(box)->text();
        Click(box, QMessageBox::Yes);
      },
      [&] {
        return prompt.AskYesNoCancel(
            "Current image was processed: do you want save changes on file ?");
      });
  EXPECT_EQ(yes, TAnswer::Yes);
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_EQ(title, "Vellumtrace Tessivane");
  EXPECT_EQ(text, "Current image was processed: do you want save changes on file ?");
  EXPECT_EQ(AnswerNextDialog<TAnswer>([](QWidget* box) { Click(box, QMessageBox::Cancel); },
                                      [&] { return prompt.AskYesNoCancel("?"); }),
            TAnswer::Cancel);
  // Escape in a Yes/No box answers No.
  EXPECT_FALSE(AnswerNextDialog<bool>([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); },
                                      [&] { return prompt.Confirm("Delete selected file ?"); }));
  AnswerNextDialog<int>(
      [&](QWidget* box) {
        icon = static_cast<QMessageBox*>(box)->icon();
        title = box->windowTitle();
        Click(box, QMessageBox::Ok);
      },
      [&] {
        prompt.MessageBox(TMessageKind::Error, "failed", TButtons::Ok, "Own caption");
        return 0;
      });
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(title, "Own caption");
}

TEST(WidgetPrompt, OpenDialogReturnsTheChosenFilesAndFilter) {
  Application();
  test::TempDir dir;
  WritePage(dir.File("a.TIF"), 50, 60);
  TWidgetPrompt prompt;
  TFileDialogOptions options;
  options.Title = "Import Files";
  options.Filter = "TIFF Files|*.TIF";
  options.InitialDir = dir.Path();
  options.MultiSelect = true;
  QString title;
  QStringList filters;
  const auto result = AnswerNextDialog<std::optional<TFileDialogResult>>(
      [&](QWidget* dialog) {
        auto* files = static_cast<QFileDialog*>(dialog);
        title = files->windowTitle();
        filters = files->nameFilters();
        files->selectFile(QString::fromStdString(dir.File("a.TIF")));
        QMetaObject::invokeMethod(files, "accept", Qt::QueuedConnection);
      },
      [&] { return prompt.OpenFiles(options); });
  ASSERT_TRUE(result);
  EXPECT_EQ(result->Files, std::vector<std::string>{dir.File("a.TIF")});
  EXPECT_EQ(result->FilterIndex, 1);
  EXPECT_EQ(title, "Import Files");
  EXPECT_EQ(filters, QStringList{"TIFF Files (*.TIF)"});
}
