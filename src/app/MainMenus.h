#pragma once

#include <QString>

#include <map>

class QAction;
class QComboBox;
class QMainWindow;
class QMenu;
class QToolBar;

using TActionMap = std::map<QString, QAction*>;

// The menu bar: File, Edit, View, Process and Help with their submenus and
// separators, each menu carrying its help context number.
void BuildMenuBar(QMainWindow& window, const TActionMap& actions);

// The toolbar, left to right, with the profile combo after Save Batch As:
// flat buttons showing each action's picture and its hint as tool-tip.
QToolBar* BuildToolBar(QMainWindow& window, const TActionMap& actions, QComboBox* profileCombo);

// The strip's pop-up menu PopupActionBarEx: View (the default entry), Move
// Prior, Move Next, Delete, Import.
QMenu* BuildStripPopup(QMainWindow& window, const TActionMap& actions);
