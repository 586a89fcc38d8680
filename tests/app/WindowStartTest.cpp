// The main window's start, settings, command line, command set, enabling
// rule, log window and close.
#include "WindowFixture.h"

#include "app/ActionTable.h"
#include "app/AppTexts.h"
#include "app/LogForm.h"
#include "app/StatusPanels.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "viewer/ImageScrollBox.h"
#include "workflow/BatchTexts.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <filesystem>
#include <fstream>

using namespace apptest;

namespace {

QString Caption(TFormMain& form) {
  return form.findChild<QLabel*>("PanelBatchFolder")->text();
}

void WriteSettings(const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(SettingsFile()).parent_path());
  std::ofstream(SettingsFile()) << text;
}

QString StoredBatchFolder() {
  QSettings store(QString::fromStdString(SettingsFile()), QSettings::IniFormat);
  return store.value("Directory/Batch", "(absent)").toString();
}

// Every entry of a menu: action names, "|" for separators, submenus by title.
QStringList Entries(const QMenu* menu) {
  QStringList entries;
  for (QAction* action : menu->actions()) {
    if (action->isSeparator())
      entries << "|";
    else if (action->menu())
      entries << action->menu()->title();
    else
      entries << action->objectName();
  }
  return entries;
}

} // namespace

class WindowStart : public WindowTest {};

TEST_F(WindowStart, FirstStartWithEmptySettings) {
  TFormMain& form = Start();
  EXPECT_EQ(form.windowTitle(), "Vellumtrace Tessivane");
  EXPECT_EQ(form.ThumbSize(), 120);
  EXPECT_EQ(form.ThumbSpace(), 6);
  EXPECT_EQ(form.BatchFolder(), "");
  EXPECT_EQ(form.AppFolder(), QString::fromStdString(FAppFolder.Path()) + "/");
  EXPECT_FALSE(form.isMaximized());
  EXPECT_TRUE(form.StartTimer().isActive());
  EXPECT_EQ(form.StartTimer().interval(), 500);
  // The timer's own tick, about half a second later.
  ASSERT_TRUE(WaitFor([&] { return !form.StartTimer().isActive(); }));
  EXPECT_TRUE(WaitFor([&] { return form.isMaximized(); }));
  EXPECT_EQ(Caption(form), "Batch Folder Not Selected");
  EXPECT_FALSE(form.StartTimer().isActive()); // stopped for good
  // No profiles in the program folder: the combo holds its first item only.
  EXPECT_EQ(form.ProfileCombo().count(), 1);
  EXPECT_EQ(form.ProfileCombo().itemText(0), "Show Scanner User Interface");
  EXPECT_FALSE(form.ProfileCombo().isEnabled());
  EXPECT_EQ(form.ProfileCombo().width(), 170);
  FForm.reset();
  EXPECT_EQ(StoredBatchFolder(), ""); // exiting with no folder stores an empty value
}

TEST_F(WindowStart, PreviewSettingsAreReadAndTheFolderStored) {
  struct Case {
    std::string settings;
    int size, space;
  };
  const Case cases[] = {
      {"[Preview]\nSize=200\n", 200, 10},
      {"[Preview]\nSize=200\nSpace=3\n", 200, 3},
      {"[Preview]\nSize=junk\n", 120, 6},
      {"[Preview]\nSize=0\nSpace=-4\n", 120, 0}, // a strip cannot be laid out with these
  };
  for (const Case& c : cases) {
    WriteSettings(c.settings);
    TFormMain& form = Start();
    EXPECT_EQ(form.ThumbSize(), c.size) << c.settings;
    EXPECT_EQ(form.ThumbSpace(), c.space) << c.settings;
    FForm.reset();
  }
  WriteSettings("[Directory]\nBatch=" + FBatch.Path() + "\n");
  WritePage(FBatch.File("00000000.tif"), 100, 140);
  TFormMain& form = Start();
  EXPECT_EQ(form.BatchFolder(), QString::fromStdString(FBatch.Path())); // as read
  Tick();
  EXPECT_EQ(form.BatchFolder(), QString::fromStdString(FBatch.Path()) + "/");
  EXPECT_EQ(form.Strip().Count(), 1);
  EXPECT_EQ(Caption(form), QString::fromStdString(FBatch.Path()) + "/");
  FForm.reset();
  EXPECT_EQ(StoredBatchFolder(), QString::fromStdString(FBatch.Path()) + "/");
}

TEST_F(WindowStart, AStoredFolderThatVanishedIsNotOpened) {
  WriteSettings("[Directory]\nBatch=" + FBatch.File("gone") + "\n");
  TFormMain& form = Start();
  Tick();
  EXPECT_EQ(form.BatchFolder(), "");
  EXPECT_EQ(Caption(form), "Batch Folder Not Selected");
}

TEST_F(WindowStart, QuotedFolderWithABlankAndAutoInCapitals) {
  const std::string folder = FBatch.File("my batch");
  std::filesystem::create_directory(folder);
  WritePage(folder + "/00000000.tif", 100, 140);
  ::setenv("TESSIVANE_TWAIN_SOURCES", test::BinPath("twain_sources").c_str(), 1);
  ::setenv("TESSIVANE_VIRTUAL_SHEETS", "1", 1);
  TFormMain& form = Start({"\"" + QString::fromStdString(folder) + "\"", "-AUTO"});
  EXPECT_EQ(form.BatchFolder(), QString::fromStdString(folder) + "/");
  EXPECT_EQ(form.Strip().Count(), 1);
  // Scan To Batch runs once the queue is served: the page becomes the next batch file.
  EXPECT_TRUE(WaitFor([&] { return form.Strip().Count() == 2; }, 60000));
  ::unsetenv("TESSIVANE_VIRTUAL_SHEETS");
  EXPECT_TRUE(std::filesystem::exists(folder + "/00000001.tif"));
}

TEST_F(WindowStart, AutoWithoutABatchFolderScansNothingAndSaysNothing) {
  TFormMain& form = Start({"-auto", "/no/such/folder"});
  QTest::qWait(50);
  EXPECT_TRUE(FPrompt.Questions().empty());
  EXPECT_EQ(form.BatchFolder(), "");
}

TEST_F(WindowStart, ProfileArgumentsChooseOnlyProfilesOfTheProgramFolder) {
  std::ofstream(FAppFolder.File("Office.tsp")) << "Virtual Scanner\r\n257,I,0\r\n";
  const std::string outside = FBatch.File("Home.tsp");
  std::ofstream(outside) << "Other\r\n";
  TFormMain& form = Start({QString::fromStdString(outside)});
  EXPECT_EQ(form.ProfileCombo().count(), 2);
  EXPECT_TRUE(form.ProfileCombo().isEnabled());
  EXPECT_EQ(form.ProfileCombo().currentIndex(), 0); // a base name not in the combo changes nothing
  EXPECT_TRUE(form.ActiveProfile().empty());
  FForm.reset();
  // A file elsewhere whose base name is in the combo chooses that profile.
  TFormMain& second = Start({"'" + QString::fromStdString(FBatch.File("office.TSP")) + "'"});
  EXPECT_EQ(second.ProfileCombo().currentIndex(), 1);
  EXPECT_EQ(second.ActiveProfile(), (std::vector<std::string>{"Virtual Scanner", "257,I,0"}));
  // Choosing item 0 again clears the active profile.
  second.ComboBoxScannerSettingsClick(0);
  EXPECT_TRUE(second.ActiveProfile().empty());
}

TEST_F(WindowStart, CommandsCarryTheirCaptionsShortcutsHintsAndHelpNumbers) {
  TFormMain& form = Start();
  EXPECT_EQ(form.Actions().size(), ActionEntries().size());
  EXPECT_EQ(ActionEntries().size(), 36u);
  struct Case {
    const char* name;
    const char* caption;
    QKeySequence keys;
    const char* hint;
    int help;
  };
  const Case cases[] = {
      {"ActionOpenBatchFolder", "&Open Batch Folder...", QKeySequence("Ctrl+B"),
       "Open Batch Folder", 110},
      {"ActionScanToBatch", "T&o Batch", QKeySequence("Ctrl+Return"),
       "Scan Adding Images To Batch Folder", 152},
      {"ActionDelete", "&Delete", QKeySequence("Ctrl+Del"), "Delete Selected Image", 220},
      {"ActionZoomIn", "&Zoom In", QKeySequence(Qt::Key_Equal), "Zoom In", 310},
      {"ActionZoomOut", "Zoo&m Out", QKeySequence(Qt::KeypadModifier | Qt::Key_Slash), "Zoom Out",
       320},
      {"ActionFitToPage", "Fit To &Page", QKeySequence(), "Fit o Page", 350},
      {"ActionRotate180", "&180°", QKeySequence(), "Rotate by 180 Degress", 414},
      {"ActionGuida", "&Help", QKeySequence("F1"), "Help", 510},
      {"ActionMoveDown", "Move Next", QKeySequence(), "Move Next", 630},
  };
  for (const Case& c : cases) {
    QAction* action = form.Action(c.name);
    ASSERT_NE(action, nullptr) << c.name;
    EXPECT_EQ(action->text(), QString::fromUtf8(c.caption)) << c.name;
    EXPECT_EQ(action->shortcut(), c.keys) << c.name;
    EXPECT_EQ(action->toolTip(), c.hint) << c.name;
    EXPECT_EQ(action->property(kHelpContextProperty).toInt(), c.help) << c.name;
  }
  for (const auto& [name, action] : form.Actions())
    EXPECT_GT(action->property(kHelpContextProperty).toInt(), 0) << name.toStdString();
  EXPECT_EQ(form.property(kHelpContextProperty).toInt(), 1000);
  EXPECT_TRUE(form.Action("ActionLog")->isCheckable());
}

TEST_F(WindowStart, MenusToolbarAndPopupInTheirOrder) {
  TFormMain& form = Start();
  const QList<QAction*> menus = form.menuBar()->actions();
  ASSERT_EQ(menus.size(), 5);
  const std::vector<std::pair<QString, int>> titles = {
      {"&File", 100}, {"&Edit", 200}, {"&View", 300}, {"&Process", 400}, {"&Help", 500}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(menus[i]->menu()->title(), titles[i].first);
    EXPECT_EQ(menus[i]->menu()->property(kHelpContextProperty).toInt(), titles[i].second);
  }
  EXPECT_EQ(Entries(menus[0]->menu()),
            (QStringList{"ActionOpenBatchFolder", "ActionSaveBatchAs", "|", "ActionSelectScanner",
                         "ActionScannerSettings", "Sca&n", "|", "ActionImportImages", "|",
                         "ActionPrinterSettings", "ActionPrint", "|", "ActionExit"}));
  const QMenu* scan = form.findChild<QMenu*>("MenuScan");
  EXPECT_EQ(scan->property(kHelpContextProperty).toInt(), 150);
  EXPECT_EQ(Entries(scan),
            (QStringList{"ActionScanToBatch", "ActionScanToFile", "ActionScanToScreen"}));
  EXPECT_EQ(Entries(menus[1]->menu()), (QStringList{"ActionCopy", "|", "ActionDelete"}));
  EXPECT_EQ(
      Entries(menus[2]->menu()),
      (QStringList{"ActionZoomIn", "ActionZoomOut", "|", "ActionFitToWidth", "ActionFitToHeight",
                   "ActionFitToPage", "ActionOriginalSize", "ActionNoScale", "|", "ActionLog"}));
  EXPECT_EQ(Entries(menus[3]->menu()),
            (QStringList{"&Rotate", "|", "ActionInvert", "|", "ActionFlipHorizontal",
                         "ActionFlipVertical", "|", "ActionDeskew", "ActionDespeckle", "|",
                         "ActionImageProcessing", "|", "ActionCustomProcessing"}));
  EXPECT_EQ(form.findChild<QMenu*>("MenuRotate")->property(kHelpContextProperty).toInt(), 410);
  EXPECT_EQ(Entries(menus[4]->menu()), (QStringList{"ActionGuida", "|", "ActionAbout"}));

  QStringList tools;
  for (QAction* action : form.findChild<QToolBar*>("ToolBar")->actions()) {
    if (action->isSeparator())
      tools << "|";
    else if (action->objectName().isEmpty())
      tools << "combo";
    else
      tools << action->objectName();
  }
  EXPECT_EQ(tools, (QStringList{"ActionOpenBatchFolder",
                                "ActionSaveBatchAs",
                                "|",
                                "combo",
                                "ActionScanToBatch",
                                "ActionScanToFile",
                                "ActionScanToScreen",
                                "|",
                                "ActionDelete",
                                "|",
                                "ActionRotate90",
                                "ActionRotate180",
                                "ActionRotate270",
                                "|",
                                "ActionInvert",
                                "|",
                                "ActionFlipVertical",
                                "ActionFlipHorizontal",
                                "|",
                                "ActionDeskew",
                                "ActionDespeckle",
                                "|",
                                "ActionZoomIn",
                                "ActionZoomOut",
                                "ActionFitToWidth",
                                "ActionFitToHeight",
                                "ActionFitToPage",
                                "ActionOriginalSize",
                                "ActionNoScale",
                                "|",
                                "ActionPrint"}));
  // Every toolbar command has a picture.
  for (QAction* action : form.findChild<QToolBar*>("ToolBar")->actions()) {
    if (action->isSeparator() || action->objectName().isEmpty()) continue;
    EXPECT_FALSE(action->icon().isNull()) << action->objectName().toStdString();
  }

  QMenu& popup = form.StripPopup();
  EXPECT_EQ(popup.property(kHelpContextProperty).toInt(), 600);
  EXPECT_EQ(Entries(&popup), (QStringList{"ActionView", "|", "ActionMoveUp", "ActionMoveDown", "|",
                                          "PopupDelete", "|", "PopupImport"}));
  EXPECT_EQ(popup.defaultAction(), form.Action("ActionView"));
  EXPECT_EQ(form.findChild<QAction*>("PopupDelete")->property(kHelpContextProperty).toInt(), 640);
  EXPECT_EQ(form.findChild<QAction*>("PopupImport")->property(kHelpContextProperty).toInt(), 650);
}

TEST_F(WindowStart, LogWindowFollowsItsCommandAndItsFrame) {
  TFormMain& form = Start();
  TLogForm& log = form.LogForm();
  EXPECT_EQ(log.windowTitle(), "Log");
  EXPECT_EQ(log.size(), QSize(222, 268));
  EXPECT_TRUE(log.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(log.windowFlags() & Qt::Tool);
  EXPECT_TRUE(log.findChild<QPlainTextEdit*>("MemoLog")->isReadOnly());
  EXPECT_FALSE(log.isVisible());
  QAction* action = form.Action("ActionLog");
  EXPECT_FALSE(action->isChecked());
  action->trigger();
  EXPECT_TRUE(log.isVisible());
  EXPECT_TRUE(action->isChecked());
  log.AddLine(QString("Error processing a - b"));
  log.AddLine(std::string("second"));
  EXPECT_EQ(log.Lines(), (QStringList{"Error processing a - b", "second"}));
  // Closed by its frame: the mark goes too.
  log.close();
  form.ActionManager1Update();
  EXPECT_FALSE(action->isChecked());
  action->trigger();
  action->trigger();
  EXPECT_FALSE(log.isVisible());
  EXPECT_FALSE(action->isChecked());
}

TEST_F(WindowStart, EnablingFollowsTheBatchTheSelectionAndTheViewer) {
  // Rows: thumbnails in the strip; with none selected, then the first selected.
  const QStringList two = {"ActionSaveBatchAs", "ActionImageProcessing"};
  const QStringList selection = {"ActionDelete", "ActionMoveUp", "ActionMoveDown", "ActionView"};
  const QStringList image = {"ActionPrint",     "ActionCopy",       "ActionZoomIn",
                             "ActionZoomOut",   "ActionFitToWidth", "ActionFitToHeight",
                             "ActionFitToPage", "ActionNoScale",    "ActionOriginalSize"};
  const QStringList pages = {"ActionRotate90", "ActionRotate180",      "ActionRotate270",
                             "ActionInvert",   "ActionFlipHorizontal", "ActionFlipVertical",
                             "ActionDeskew",   "ActionDespeckle",      "ActionCustomProcessing"};
  for (int count : {0, 1, 2}) {
    test::TempDir folder;
    for (int i = 0; i < count; ++i)
      WritePage(folder.File("0000000" + std::to_string(i) + ".tif"), 100, 140);
    TFormMain& form = StartOn(folder.Path());
    ASSERT_EQ(form.Strip().Count(), count);
    for (bool selected : {false, true}) {
      if (selected && count == 0) continue;
      form.SelectThumbnail(selected ? form.Strip().Thumbnails()[0] : nullptr);
      form.ActionManager1Update();
      const std::string row = std::to_string(count) + (selected ? " selected" : " none");
      EXPECT_TRUE(form.Action("ActionImportImages")->isEnabled()) << row;
      EXPECT_TRUE(form.Action("ActionScanToBatch")->isEnabled()) << row;
      for (const QString& name : two)
        EXPECT_EQ(form.Action(name)->isEnabled(), count >= 2) << row << name.toStdString();
      for (const QString& name : selection)
        EXPECT_EQ(form.Action(name)->isEnabled(), selected) << row << name.toStdString();
      for (const QString& name : image)
        EXPECT_EQ(form.Action(name)->isEnabled(), selected) << row << name.toStdString();
      for (const QString& name : pages)
        EXPECT_EQ(form.Action(name)->isEnabled(), selected || count >= 2)
            << row << name.toStdString();
      EXPECT_TRUE(form.Action("ActionOpenBatchFolder")->isEnabled());
      EXPECT_TRUE(form.Action("ActionAbout")->isEnabled());
    }
    FForm.reset();
  }
  // With no batch folder, scanning and importing are off.
  TFormMain& form = Start();
  Tick();
  form.ActionManager1Update();
  EXPECT_FALSE(form.Action("ActionImportImages")->isEnabled());
  EXPECT_FALSE(form.Action("ActionScanToBatch")->isEnabled());
}

TEST_F(WindowStart, ADisabledCommandDoesNothingFromAnyEntryPoint) {
  TFormMain& form = Start();
  Tick();
  QAction* import = form.Action("ActionImportImages");
  // The idle rule runs as soon as the loop waits.
  import->setEnabled(true);
  EXPECT_TRUE(WaitFor([&] { return !import->isEnabled(); }));
  EXPECT_FALSE(form.ExecuteAction("ActionImportImages")); // a message
  import->trigger();                                      // a menu entry or button
  QTest::keyClick(&form, Qt::Key_I, Qt::ControlModifier); // the shortcut
  // A state not yet brought up to date: executing brings it up first.
  import->setEnabled(true);
  import->trigger();
  form.findChild<QAction*>("PopupImport")->trigger();
  EXPECT_TRUE(FPrompt.Questions().empty());
  EXPECT_FALSE(import->isEnabled());
}

TEST_F(WindowStart, CloseAsksForAChangedPage) {
  TFormMain& form = Start();
  Tick();
  // A changed page and Cancel in the close prompt: the program keeps running.
  form.PageView().SetModified(true);
  FPrompt.Answer(TAnswer::Cancel);
  EXPECT_FALSE(form.close());
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(form.PageView().Modified());
  FPrompt.Answer(TAnswer::No);
  form.Action("ActionExit")->trigger();
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(form.PageView().Modified());
  EXPECT_EQ(FPrompt.MessageTexts().back(),
            "Current image was processed: do you want save changes on file ?");
}
