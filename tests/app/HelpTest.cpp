// The help pages, where the program finds them, and F1 and Help through the
// window's real key events. The desktop is never asked: a handler for
// file:// addresses takes every page the program opens.
#include "WindowFixture.h"
#include "app/ActionTable.h"
#include "app/DialogoProcessing.h"
#include "app/HelpTopics.h"
#include "app/ThumbnailStrip.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>
#include <QToolBar>

#include <filesystem>
#include <fstream>

using namespace apptest;
namespace fs = std::filesystem;

// Takes the pages the program asks the desktop to open.
class TUrlCatcher : public QObject {
  Q_OBJECT

public:
  QStringList Opened;

public slots:
  void Open(const QUrl& url) { Opened << url.toLocalFile(); }
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
// folder; in the build tree, beside bin/.
TEST(HelpPages, FoundFromTheProgramFolderInstalledAndBuilt) {
  Application();
  const test::TempDir folder;
  const QString root = QString::fromStdString(folder.Path());
  const std::pair<QString, QString> layouts[] = {
      {"/usr/lib/tessivane", "/usr/share/tessivane/help"},
      {"/build/bin", "/build/share/tessivane/help"}};
  for (const auto& [program, help] : layouts) {
    fs::create_directories((root + program).toStdString());
    fs::create_directories((root + help).toStdString());
    EXPECT_EQ(FindHelpFolder(root + program), QString());
    std::ofstream((root + help + '/' + kHelpContentsFile).toStdString()) << "<html></html>";
    EXPECT_EQ(FindHelpFolder(root + program), root + help);
  }
}

class HelpKey : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    QDesktopServices::setUrlHandler("file", &FCatcher, "Open");
    QCursor::setPos(5000, 5000); // the pointer away from every window
  }
  void TearDown() override {
    QDesktopServices::unsetUrlHandler("file");
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

// What the operator is on, and the page F1 opens for it; the menus close.
TEST_F(HelpKey, F1OpensTheTopicOfWhatTheOperatorIsOn) {
  const auto menu = [](TFormMain& form, const char* name) {
    QMenu* found = form.findChild<QMenu*>(name);
    found->popup(form.mapToGlobal(QPoint(20, 40)));
    EXPECT_TRUE(QTest::qWaitForWindowExposed(found));
    return found;
  };
  const std::pair<std::function<void(TFormMain&)>, int> cases[] = {
      {[](TFormMain& form) { // a toolbar button under the pointer
         QWidget* button =
             form.findChild<QToolBar*>("ToolBar")->widgetForAction(form.Action("ActionScanToFile"));
         QCursor::setPos(button->mapToGlobal(button->rect().center()));
       },
       154},
      {[&](TFormMain& form) {
         menu(form, "MenuFile")->setActiveAction(form.Action("ActionSelectScanner"));
       },
       130},
      {[&](TFormMain& form) {
         menu(form, "MenuFile");
         menu(form, "MenuScan")->setActiveAction(form.Action("ActionScanToScreen"));
       },
       156},
      {[&](TFormMain& form) {
         menu(form, "PopupActionBarEx")->setActiveAction(form.findChild<QAction*>("PopupImport"));
       },
       650},
      {[](TFormMain& form) { form.Strip().setFocus(); }, 1000}, // no number of its own
  };
  for (const auto& [aim, context] : cases) {
    SCOPED_TRACE(context);
    TFormMain& form = Begin();
    aim(form);
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_F1);
    EXPECT_EQ(FCatcher.Opened, QStringList{PageOf(context)});
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    QCursor::setPos(5000, 5000);
    FForm.reset();
  }
}

// Every number the window and its commands carry has a page. Help › Help
// opens the contents; in a dialog F1 on a control without a number opens the
// dialog's topic; where nothing carries a number the contents open.
TEST_F(HelpKey, HelpCommandAndWindowsWithoutANumber) {
  TFormMain& form = Begin();
  EXPECT_NE(FindHelpTopic(form.property(kHelpContextProperty).toInt()), nullptr);
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

#include "HelpTest.moc"
