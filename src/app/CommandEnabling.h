#pragma once

#include <QString>

// What decides which commands of the main window are enabled.
struct TEnablingState {
  bool BatchFolderExists = false; // a batch folder is open and is an existing folder
  bool ThumbnailSelected = false;
  int ThumbnailCount = 0;
  bool ImageShown = false; // the viewer holds a page
};

// Whether the command of that action name is enabled in a state. Commands
// the rule does not name are always enabled.
bool CommandEnabled(const QString& actionName, const TEnablingState& state);
