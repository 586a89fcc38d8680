#include "app/MainMenus.h"

#include "app/ActionTable.h"

#include <QAction>
#include <QComboBox>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include <initializer_list>

namespace {

// One menu entry: an action's name, "|" for a separator, or a submenu.
struct TEntry {
  const char* Name = nullptr;
  const char* SubmenuTitle = nullptr;
  int SubmenuHelp = 0;
  std::initializer_list<const char*> SubmenuItems = {};
};

QMenu* AddMenu(QWidget* parent, const char* title, const char* objectName, int helpContext) {
  auto* menu = new QMenu(title, parent);
  menu->setObjectName(objectName);
  menu->setProperty(kHelpContextProperty, helpContext);
  menu->setToolTipsVisible(false);
  return menu;
}

void Fill(QMenu* menu, const TActionMap& actions, std::initializer_list<TEntry> entries) {
  for (const TEntry& entry : entries) {
    if (entry.SubmenuTitle) {
      QMenu* sub = AddMenu(menu, entry.SubmenuTitle, entry.Name, entry.SubmenuHelp);
      for (const char* item : entry.SubmenuItems) sub->addAction(actions.at(item));
      menu->addMenu(sub);
    } else if (QString(entry.Name) == "|") {
      menu->addSeparator();
    } else {
      menu->addAction(actions.at(entry.Name));
    }
  }
}

} // namespace

void BuildMenuBar(QMainWindow& window, const TActionMap& actions) {
  QMenuBar* bar = window.menuBar();
  bar->setObjectName("MainMenu");
  QMenu* file = AddMenu(bar, "&File", "MenuFile", 100);
  Fill(file, actions,
       {{"ActionOpenBatchFolder"},
        {"ActionSaveBatchAs"},
        {"|"},
        {"ActionSelectScanner"},
        {"ActionScannerSettings"},
        {"MenuScan", "Sca&n", 150, {"ActionScanToBatch", "ActionScanToFile", "ActionScanToScreen"}},
        {"|"},
        {"ActionImportImages"},
        {"|"},
        {"ActionPrinterSettings"},
        {"ActionPrint"},
        {"|"},
        {"ActionExit"}});
  QMenu* edit = AddMenu(bar, "&Edit", "MenuEdit", 200);
  Fill(edit, actions, {{"ActionCopy"}, {"|"}, {"ActionDelete"}});
  QMenu* view = AddMenu(bar, "&View", "MenuView", 300);
  Fill(view, actions,
       {{"ActionZoomIn"},
        {"ActionZoomOut"},
        {"|"},
        {"ActionFitToWidth"},
        {"ActionFitToHeight"},
        {"ActionFitToPage"},
        {"ActionOriginalSize"},
        {"ActionNoScale"},
        {"|"},
        {"ActionLog"}});
  QMenu* process = AddMenu(bar, "&Process", "MenuProcess", 400);
  Fill(process, actions,
       {{"MenuRotate", "&Rotate", 410, {"ActionRotate90", "ActionRotate180", "ActionRotate270"}},
        {"|"},
        {"ActionInvert"},
        {"|"},
        {"ActionFlipHorizontal"},
        {"ActionFlipVertical"},
        {"|"},
        {"ActionDeskew"},
        {"ActionDespeckle"},
        {"|"},
        {"ActionImageProcessing"},
        {"|"},
        {"ActionCustomProcessing"}});
  QMenu* help = AddMenu(bar, "&Help", "MenuHelp", 500);
  Fill(help, actions, {{"ActionGuida"}, {"|"}, {"ActionAbout"}});
  for (QMenu* menu : {file, edit, view, process, help}) bar->addMenu(menu);
}

QToolBar* BuildToolBar(QMainWindow& window, const TActionMap& actions, QComboBox* profileCombo) {
  auto* toolbar = new QToolBar("Toolbar", &window);
  toolbar->setObjectName("ToolBar");
  toolbar->setMovable(false);
  toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  const std::initializer_list<const char*> order = {"ActionOpenBatchFolder",
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
                                                    "ActionPrint"};
  for (const char* name : order) {
    const QString item(name);
    if (item == "|")
      toolbar->addSeparator();
    else if (item == "combo")
      toolbar->addWidget(profileCombo);
    else
      toolbar->addAction(actions.at(item));
  }
  window.addToolBar(Qt::TopToolBarArea, toolbar);
  return toolbar;
}

QMenu* BuildStripPopup(QMainWindow& window, const TActionMap& actions) {
  QMenu* popup = AddMenu(&window, "", "PopupActionBarEx", 600);
  popup->addAction(actions.at("ActionView"));
  popup->setDefaultAction(actions.at("ActionView"));
  popup->addSeparator();
  popup->addAction(actions.at("ActionMoveUp"));
  popup->addAction(actions.at("ActionMoveDown"));
  popup->addSeparator();
  // Delete and Import carry the pop-up's own help numbers here.
  QAction* remove = popup->addAction(actions.at("ActionDelete")->text());
  popup->addSeparator();
  QAction* import = popup->addAction(actions.at("ActionImportImages")->text());
  remove->setObjectName("PopupDelete");
  remove->setProperty(kHelpContextProperty, 640);
  import->setObjectName("PopupImport");
  import->setProperty(kHelpContextProperty, 650);
  QObject::connect(remove, &QAction::triggered, actions.at("ActionDelete"), &QAction::trigger);
  QObject::connect(import, &QAction::triggered, actions.at("ActionImportImages"),
                   &QAction::trigger);
  // The entries follow their commands' enabled state.
  for (auto [entry, command] : {std::pair{remove, actions.at("ActionDelete")},
                                std::pair{import, actions.at("ActionImportImages")}}) {
    QObject::connect(command, &QAction::enabledChanged, entry, &QAction::setEnabled);
    entry->setEnabled(command->isEnabled());
  }
  return popup;
}
