// The help pages, where the program finds them, and F1 and Help through the
// window's real key events. The desktop is never asked: a handler for
// file:// addresses takes every page the program opens.
#include "WindowFixture.h"
#include "app/ActionTable.h"
#include "app/DialogoProcessing.h"
#include "app/HelpTopics.h"
#include "app/ThumbnailStrip.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <filesystem>
#include <fstream>
#include <set>

using namespace apptest;
namespace fs = std::filesystem;

// Takes the addresses the program asks the desktop to open.
class TUrlCatcher : public QObject {
  Q_OBJECT

public:
  std::vector<std::string> Opened;

public slots:
  void Open(const QUrl& url) { Opened.push_back(url.toString().toStdString()); }
};

namespace {

QString PageOf(int context) {
  const THelpTopic* topic = FindHelpTopic(context);
  return topic ? HelpFolder() + '/' + topic->File : QString();
}

std::vector<std::string> Urls(const QStringList& files) {
  std::vector<std::string> urls;
  for (const QString& file : files)
    urls.push_back(QUrl::fromLocalFile(file).toString().toStdString());
  return urls;
}

QString ReadText(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

// Every number a command, menu or window of the program carries, and every
// link and picture of the pages leads to a file of the help folder.
TEST(HelpPages, EveryContextHasAPageAndEveryLinkResolves) {
  Application();
  const std::set<int> contexts = {
      100, 110, 120, 130, 140, 150, 152, 154, 156, 160, 170, 180, 190,  200,  210,  220, 300,
      310, 320, 330, 340, 350, 360, 370, 380, 400, 410, 412, 414, 416,  420,  430,  440, 450,
      460, 470, 480, 500, 510, 520, 600, 610, 620, 630, 640, 650, 1000, 1050, 1100, 1200};
  const QString folder = HelpFolder();
  std::set<int> tabled;
  for (const THelpTopic& topic : HelpTopics()) tabled.insert(topic.Context);
  EXPECT_EQ(tabled, contexts);

  const QString contents = ReadText(folder + '/' + kHelpContentsFile);
  for (int context : contexts) {
    const THelpTopic* topic = FindHelpTopic(context);
    ASSERT_NE(topic, nullptr) << context;
    EXPECT_TRUE(QString(topic->File).startsWith(QString("%1-").arg(context, 4, 10, QChar('0'))))
        << topic->File;
    EXPECT_TRUE(ReadText(folder + '/' + topic->File)
                    .contains(QString("<h1>%1</h1>").arg(QString::fromUtf8(topic->Title))))
        << topic->File << " lacks its title";
    EXPECT_TRUE(contents.contains(QString("href=\"%1\"").arg(topic->File))) << topic->File;
  }

  const QRegularExpression reference(R"((?:href|src)="([^"#]*)(#[^"]*)?")");
  std::set<QString> pictures;
  const QStringList pages = QDir(folder).entryList({"*.html"}, QDir::Files);
  EXPECT_EQ(pages.size(), static_cast<int>(contexts.size()) + 1);
  for (const QString& page : pages) {
    const QString text = ReadText(folder + '/' + page);
    int links = 0;
    for (const QRegularExpressionMatch& match : reference.globalMatch(text)) {
      const QString target = match.captured(1);
      ++links;
      if (target.isEmpty()) continue; // a link within the page
      EXPECT_FALSE(target.contains(':'))
          << page.toStdString() << " leaves the help: " << target.toStdString();
      EXPECT_TRUE(QFileInfo(folder + '/' + target).isFile())
          << page.toStdString() << " -> " << target.toStdString();
      if (target.endsWith(".png")) pictures.insert(target);
    }
    EXPECT_GT(links, 1) << page.toStdString() << " links nowhere";
  }
  // No picture lies in the folder unused.
  for (const QString& picture : QDir(folder).entryList({"*.png"}, QDir::Files))
    EXPECT_EQ(pictures.count(picture), 1u) << picture.toStdString();
}

// Installed, the pages are in the data folder beside the program's private
// folder; in the build tree, beside bin/.
TEST(HelpPages, FoundFromTheProgramFolderInstalledAndBuilt) {
  Application();
  const test::TempDir root;
  const std::string installedProgram = root.Path() + "/usr/lib/tessivane";
  const std::string installedHelp = root.Path() + "/usr/share/tessivane/help";
  const std::string builtProgram = root.Path() + "/build/bin";
  const std::string builtHelp = root.Path() + "/build/share/tessivane/help";
  for (const std::string& folder : {installedProgram, installedHelp, builtProgram, builtHelp})
    fs::create_directories(folder);
  EXPECT_EQ(FindHelpFolder(QString::fromStdString(installedProgram)), QString());
  for (const std::string& help : {installedHelp, builtHelp})
    std::ofstream(help + "/" + kHelpContentsFile) << "<html></html>";
  EXPECT_EQ(FindHelpFolder(QString::fromStdString(installedProgram)),
            QString::fromStdString(installedHelp));
  EXPECT_EQ(FindHelpFolder(QString::fromStdString(builtProgram)),
            QString::fromStdString(builtHelp));
  EXPECT_TRUE(QFileInfo(HelpFolder() + "/1000-main-window.html").isFile());
}

class HelpKey : public WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    QDesktopServices::setUrlHandler("file", &FCatcher, "Open");
    // The pointer away from every window.
    QCursor::setPos(5000, 5000);
  }
  void TearDown() override {
    QDesktopServices::unsetUrlHandler("file");
    WindowTest::TearDown();
  }
  // The window on an empty batch folder, so that Import is enabled.
  TFormMain& Begin() {
    TFormMain& form = StartOn(FBatch.Path());
    form.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_TRUE(WaitFor([&form] { return form.Action("ActionImportImages")->isEnabled(); }));
    return form;
  }
  // F1 as the keyboard gives it to a window, the active one by default.
  void PressF1(QWindow* window = QGuiApplication::focusWindow()) {
    QTest::keyClick(window, Qt::Key_F1);
  }
  TUrlCatcher FCatcher;
};

// What the operator is on, and the page F1 opens for it.
TEST_F(HelpKey, F1OpensTheTopicOfWhatTheOperatorIsOn) {
  struct Case {
    const char* What;
    std::function<void(TFormMain&)> Aim;
    int Context;
  };
  const auto menu = [](TFormMain& form, const char* name) {
    QMenu* found = form.findChild<QMenu*>(name);
    found->popup(form.mapToGlobal(QPoint(20, 40)));
    EXPECT_TRUE(QTest::qWaitForWindowExposed(found));
    return found;
  };
  const std::vector<Case> cases = {
      {"a toolbar button under the pointer",
       [](TFormMain& form) {
         QWidget* button =
             form.findChild<QToolBar*>("ToolBar")->widgetForAction(form.Action("ActionScanToFile"));
         QCursor::setPos(button->mapToGlobal(button->rect().center()));
       },
       154},
      {"the File menu opened by its key, its first entry highlighted",
       [](TFormMain&) {
         QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_F, Qt::AltModifier);
       },
       110},
      {"the open File menu, nothing highlighted",
       [&menu](TFormMain& form) { menu(form, "MenuFile"); }, 100},
      {"an entry of the open File menu",
       [&menu](TFormMain& form) {
         menu(form, "MenuFile")->setActiveAction(form.Action("ActionSelectScanner"));
       },
       130},
      {"the Scan entry of the File menu, by its submenu",
       [&menu](TFormMain& form) {
         menu(form, "MenuFile")->setActiveAction(form.findChild<QMenu*>("MenuScan")->menuAction());
       },
       150},
      {"an entry of the open Scan submenu",
       [&menu](TFormMain& form) {
         menu(form, "MenuFile");
         menu(form, "MenuScan")->setActiveAction(form.Action("ActionScanToScreen"));
       },
       156},
      {"the strip pop-up's own Import entry",
       [&menu](TFormMain& form) {
         menu(form, "PopupActionBarEx")->setActiveAction(form.findChild<QAction*>("PopupImport"));
       },
       650},
      {"the profile combo, which has no number of its own",
       [](TFormMain& form) { form.ProfileCombo().setFocus(); }, 1000},
      {"the strip, which has no number of its own",
       [](TFormMain& form) { form.Strip().setFocus(); }, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TFormMain& form = Begin();
    FCatcher.Opened.clear();
    c.Aim(form);
    PressF1();
    EXPECT_EQ(FCatcher.Opened, Urls({PageOf(c.Context)}));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "the menus stay open";
    QCursor::setPos(5000, 5000);
    FForm.reset();
  }
}

// In a dialog F1 opens the dialog's topic from a control without a number
// of its own; where nothing carries a number the contents open.
TEST_F(HelpKey, DialogsAndWindowsWithoutANumber) {
  TFormMain& form = Begin();
  {
    TDialogoProcessing dialog({"Sample module"}, &form);
    dialog.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.ListBoxModuli().setFocus();
    PressF1(dialog.windowHandle());
    EXPECT_EQ(FCatcher.Opened, Urls({PageOf(1200)}));
  }
  FCatcher.Opened.clear();
  QWidget loose;
  loose.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&loose));
  PressF1(loose.windowHandle());
  EXPECT_EQ(FCatcher.Opened, Urls({HelpFolder() + "/index.html"}));
}

// Help › Help, chosen from the open Help menu with the keyboard, opens the
// contents; every number the window's commands and menus carry has a page.
TEST_F(HelpKey, HelpCommandOpensTheContents) {
  TFormMain& form = Begin();
  for (const QAction* action : form.findChildren<QAction*>()) {
    const int context = action->property(kHelpContextProperty).toInt();
    if (context) {
      EXPECT_NE(FindHelpTopic(context), nullptr) << action->objectName().toStdString();
    }
  }
  // Qt's own overflow menu of the menu bar has no name and no number.
  for (const QMenu* menu : form.findChildren<QMenu*>()) {
    if (menu->objectName().isEmpty()) continue;
    EXPECT_NE(FindHelpTopic(menu->property(kHelpContextProperty).toInt()), nullptr)
        << menu->objectName().toStdString();
  }
  EXPECT_NE(FindHelpTopic(form.property(kHelpContextProperty).toInt()), nullptr);

  QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_H, Qt::AltModifier);
  auto* help = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->objectName(), "MenuHelp");
  help->setActiveAction(form.Action("ActionGuida"));
  QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Return);
  EXPECT_EQ(FCatcher.Opened, Urls({HelpFolder() + "/index.html"}));
}

#include "HelpTest.moc"
