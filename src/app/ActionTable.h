#pragma once

#include <QKeySequence>
#include <QString>

#include <map>
#include <vector>

class QAction;
class QObject;

// One command of the main window: the action's object name, its menu
// caption ("&" before the access key), shortcut, hint (the tool-tip of its
// toolbar button), help context number and theme icon name.
struct TActionEntry {
  const char* Name;
  const char* Caption;
  QKeySequence Shortcut;
  const char* Hint;
  int HelpContext;
  const char* IconName; // null: the command has no picture
};

// The whole command set, in menu order.
const std::vector<TActionEntry>& ActionEntries();

// The property under which actions, menus and windows carry their help
// context number.
inline constexpr const char* kHelpContextProperty = "helpContext";

// Creates one QAction per command as children of owner, keyed by name.
std::map<QString, QAction*> CreateActions(QObject* owner);
