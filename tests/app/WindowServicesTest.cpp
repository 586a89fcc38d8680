// The About box through its command, and the log window's check mark
// through its command and its window frame.
#include "WindowFixture.h"

#include "app/DialogoInformazioni.h"
#include "app/LogForm.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace apptest;

namespace {

// Takes the addresses the desktop is asked to open.
class TUrlRecorder : public QObject {
  Q_OBJECT

public:
  QList<QUrl> Urls;

public slots:
  void Open(const QUrl& url) { Urls << url; }
};

using WindowServices = WindowTest;

} // namespace

// The About box comes up over the window, opens its links through the
// desktop and is disposed of when OK closes it.
TEST_F(WindowServices, AboutBoxOpensItsLinksThroughTheDesktop) {
  TFormMain& form = Start();
  TUrlRecorder recorder;
  for (const char* scheme : {"mailto", "https"})
    QDesktopServices::setUrlHandler(scheme, &recorder, "Open");
  const QWidget* parent = nullptr;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<TDialogoInformazioni*>(QApplication::activeModalWidget());
    if (!box) return;
    poll.stop();
    parent = box->parentWidget();
    for (QLabel* link : {&box->Label5(), &box->Label6()}) QTest::mouseClick(link, Qt::LeftButton);
    QTest::mouseClick(&box->ButtonOk(), Qt::LeftButton);
  });
  poll.start(10);
  EXPECT_TRUE(form.ExecuteAction("ActionAbout"));
  for (const char* scheme : {"mailto", "https"}) QDesktopServices::unsetUrlHandler(scheme);
  EXPECT_EQ(parent, &form);
  EXPECT_EQ(recorder.Urls, (QList<QUrl>{QUrl("mailto:info@vellumtrace.example"),
                                        QUrl("https://www.vellumtrace.example/")}));
  EXPECT_EQ(form.findChild<TDialogoInformazioni*>(), nullptr);
}

// Closed by its frame's close button (the platform asks the window to close)
// or by its command, the log window loses its check mark, and idle work
// keeps it so; the command shows it again from there.
TEST_F(WindowServices, LogCheckMarkFollowsACloseByTheWindowFrame) {
  TFormMain& form = Start();
  TLogForm& log = form.LogForm();
  QAction* action = form.Action("ActionLog");
  for (const bool byFrame : {true, true, false}) {
    ASSERT_TRUE(form.ExecuteAction("ActionLog"));
    EXPECT_TRUE(log.isVisible() && action->isChecked());
    if (byFrame)
      log.windowHandle()->close();
    else
      ASSERT_TRUE(form.ExecuteAction("ActionLog"));
    WaitFor([] { return false; }, 50);
    EXPECT_FALSE(log.isVisible() || action->isChecked()) << byFrame;
  }
}

#include "WindowServicesTest.moc"
