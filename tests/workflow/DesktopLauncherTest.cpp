// The desktop launcher: a PDF document that was asked to open its finished
// file hands that file, and only a finished one, to the desktop's opener.
#include "workflow/DesktopLauncher.h"
#include "pdf/PDFDocument.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QObject>
#include <QUrl>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

// Stands in for the desktop: records every file URL it is asked to open.
class TUrlRecorder : public QObject {
  Q_OBJECT
public:
  std::vector<QUrl> Opened;
public slots:
  void Open(const QUrl& url) { Opened.push_back(url); }
};

// The application the URL handlers need; one for the run, never destroyed,
// shared with the dispatcher's tests in whichever order they run.
void EnsureApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "tests";
  static char* argv[] = {name, nullptr};
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  new QApplication(argc, argv);
}

} // namespace

TEST(DesktopLauncher, OpensOnlyTheFinishedFileOfADocumentThatAskedForIt) {
  EnsureApplication();
  TUrlRecorder recorder;
  QDesktopServices::setUrlHandler("file", &recorder, "Open");
  test::TempDir dir;
  const std::string path = dir.File("opened file.pdf");
  TPDFDocument document;
  document.SetFileName(path);
  document.SetLauncher(OpenWithDesktop);
  document.BeginDoc();
  document.EndDoc();
  EXPECT_TRUE(recorder.Opened.empty());
  document.SetAutoLaunch(true);
  document.BeginDoc();
  document.Abort();
  EXPECT_TRUE(recorder.Opened.empty());
  document.BeginDoc();
  document.EndDoc();
  QDesktopServices::unsetUrlHandler("file");
  ASSERT_EQ(recorder.Opened.size(), 1u);
  EXPECT_EQ(recorder.Opened[0], QUrl::fromLocalFile(QString::fromStdString(path)));
  EXPECT_TRUE(test::FileExists(recorder.Opened[0].toLocalFile().toStdString()));
}

#include "DesktopLauncherTest.moc"
