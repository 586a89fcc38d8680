// The help pages, F1 and Help through real key events, the About box and the
// log window's check mark. The desktop is never asked: handlers for file,
// mailto and https addresses take every address the program opens.
#include "WindowFixture.h"
#include "app/ActionTable.h"
#include "app/DialogoInformazioni.h"
#include "app/DialogoProcessing.h"
#include "app/HelpTopics.h"
#include "app/LogForm.h"
#include "app/ThumbnailStrip.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWindow>

#include <filesystem>
#include <fstream>

using namespace apptest;
namespace fs = std::filesystem;

// Takes the addresses the program asks the desktop to open; files as paths.
class TUrlCatcher : public QObject {
  Q_OBJECT

public:
  QStringList Opened;

public slots:
  void Open(const QUrl& url) { Opened << url.toString(QUrl::PreferLocalFile); }
};

namespace {

QString PageOf(int context) {
  const THelpTopic* topic = FindHelpTopic(context);
  return topic ? HelpFolder() + '/' + topic->File : QString();
}

QString ReadText(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

// Each topic's page carries its title and is on the contents page; every
// link and picture of every page leads to a file of the help folder.
TEST(HelpPages, EveryTopicHasItsPageAndEveryLinkResolves) {
  Application();
  const QString folder = HelpFolder();
  const QString contents = ReadText(folder + '/' + kHelpContentsFile);
  for (const THelpTopic& topic : HelpTopics()) {
    const QString title = QString("<h1>%1</h1>").arg(QString::fromUtf8(topic.Title));
    EXPECT_TRUE(ReadText(folder + '/' + topic.File).contains(title)) << topic.File;
    EXPECT_TRUE(contents.contains(QString("href=\"%1\"").arg(topic.File))) << topic.File;
  }
  const QStringList pages = QDir(folder).entryList({"*.html"}, QDir::Files);
  EXPECT_EQ(pages.size(), static_cast<int>(HelpTopics().size()) + 1);
  const QRegularExpression reference(R"((?:href|src)="([^"#]+))");
  for (const QString& page : pages)
    for (const QRegularExpressionMatch& link : reference.globalMatch(ReadText(folder + '/' + page)))
      EXPECT_TRUE(!link.captured(1).contains(':') &&
                  QFileInfo(folder + '/' + link.captured(1)).isFile())
          << page.toStdString() << " -> " << link.captured(1).toStdString();
}

// Installed, the pages are in the data folder beside the program's private
// folder (the tests here find them beside the build tree's bin/).
TEST(HelpPages, FoundFromTheInstalledProgramFolder) {
  const test::TempDir folder;
  const QString program = QString::fromStdString(folder.File("usr/lib/tessivane"));
  const QString help = QString::fromStdString(folder.File("usr/share/tessivane/help"));
  fs::create_directories(program.toStdString());
  fs::create_directories(help.toStdString());
  EXPECT_EQ(FindHelpFolder(program), QString());
  std::ofstream((help + '/' + kHelpContentsFile).toStdString()) << "<html></html>";
  EXPECT_EQ(FindHelpFolder(program), help);
}

class WindowServices : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    for (const char* scheme : {"file", "mailto", "https"})
      QDesktopServices::setUrlHandler(scheme, &FCatcher, "Open");
    QCursor::setPos(5000, 5000); // the pointer away from every window
  }
  void TearDown() override {
    for (const char* scheme : {"file", "mailto", "https"})
      QDesktopServices::unsetUrlHandler(scheme);
    WindowTest::TearDown();
  }
  // The window, active, on an empty batch folder, so that Import is enabled.
  TFormMain& Begin() {
    TFormMain& form = StartOn(FBatch.Path());
    form.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_TRUE(WaitFor([&form] { return form.Action("ActionImportImages")->isEnabled(); }));
    FCatcher.Opened.clear();
    return form;
  }
  TUrlCatcher FCatcher;
};

// What the operator is on, and the page F1 opens; the menus close. Rows: the
// menus opened in turn, the entry highlighted in the last (none: the menu),
// the topic; else the entry's toolbar button under the pointer, else the
// strip, which has no number of its own, has the key.
TEST_F(WindowServices, F1OpensTheTopicOfWhatTheOperatorIsOn) {
  const std::tuple<std::vector<const char*>, const char*, int> cases[] = {
      {{"MenuFile"}, nullptr, 100},
      {{"MenuFile"}, "ActionSelectScanner", 130},
      {{"MenuFile", "MenuScan"}, "ActionScanToScreen", 156},
      {{"PopupActionBarEx"}, "PopupImport", 650},
      {{}, "ActionScanToFile", 154},
      {{}, nullptr, 1000}};
  for (const auto& [menus, entry, context] : cases) {
    SCOPED_TRACE(context);
    TFormMain& form = Begin();
    QMenu* menu = nullptr;
    for (const char* name : menus) {
      menu = form.findChild<QMenu*>(name);
      menu->popup(form.mapToGlobal(QPoint(20, 40)));
      ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    }
    QAction* action = entry ? form.findChild<QAction*>(entry) : nullptr;
    if (menu && action) menu->setActiveAction(action);
    if (!menu && action) {
      QWidget* button = form.findChild<QToolBar*>("ToolBar")->widgetForAction(action);
      QCursor::setPos(button->mapToGlobal(button->rect().center()));
    }
    if (!menu && !action) form.Strip().setFocus();
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_F1);
    EXPECT_EQ(FCatcher.Opened, QStringList{PageOf(context)});
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    QCursor::setPos(5000, 5000);
    FForm.reset();
  }
}

// Every number the window's commands and menus carry has a page. Help › Help
// opens the contents; in a dialog F1 on a control without a number opens the
// dialog's topic; where nothing carries a number the contents open.
TEST_F(WindowServices, HelpCommandAndWindowsWithoutANumber) {
  TFormMain& form = Begin();
  for (const QObject* object : form.findChildren<QObject*>()) {
    const int context = object->property(kHelpContextProperty).toInt();
    EXPECT_TRUE(context == 0 || FindHelpTopic(context)) << object->objectName().toStdString();
  }
  QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_H, Qt::AltModifier);
  auto* help = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_TRUE(help && help->objectName() == "MenuHelp");
  help->setActiveAction(form.Action("ActionGuida"));
  QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Return);
  {
    TDialogoProcessing dialog({"Sample module"}, &form);
    dialog.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.ListBoxModuli().setFocus();
    QTest::keyClick(dialog.windowHandle(), Qt::Key_F1);
  }
  QWidget loose;
  loose.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&loose));
  QTest::keyClick(loose.windowHandle(), Qt::Key_F1);
  const QString contents = HelpFolder() + '/' + kHelpContentsFile;
  EXPECT_EQ(FCatcher.Opened, QStringList({contents, PageOf(1200), contents}));
}

// The About box opens its links through the desktop; OK closes and frees it.
TEST_F(WindowServices, AboutBoxOpensItsLinksThroughTheDesktop) {
  TFormMain& form = Start();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<TDialogoInformazioni*>(QApplication::activeModalWidget());
    if (!box) return;
    poll.stop();
    for (QLabel* link : {&box->Label5(), &box->Label6()}) QTest::mouseClick(link, Qt::LeftButton);
    QTest::mouseClick(&box->ButtonOk(), Qt::LeftButton);
  });
  poll.start(10);
  EXPECT_TRUE(form.ExecuteAction("ActionAbout"));
  EXPECT_EQ(FCatcher.Opened,
            QStringList({"mailto:info@vellumtrace.example", "https://www.vellumtrace.example/"}));
  EXPECT_EQ(form.findChild<TDialogoInformazioni*>(), nullptr);
}

// Closed by its frame (the platform asks the window to close) or its command,
// the log window loses its check mark for good; the command shows it again.
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
