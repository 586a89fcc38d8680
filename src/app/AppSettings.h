#pragma once

#include <QString>

// The per-user settings the main window keeps between runs, in the INI file
// of organisation "Vellumtrace", application "Tessivane" under the user's
// configuration folder (XDG_CONFIG_HOME). Missing or unreadable values give
// their defaults.
struct TAppSettings {
  QString BatchFolder; // "Directory"/"Batch", empty by default
  int ThumbSize = 120; // "Preview"/"Size"
  int ThumbSpace = 6;  // "Preview"/"Space", by default 5 % of the size read
};

TAppSettings ReadAppSettings();
// Only the batch folder is ever written; the preview values change by hand.
void WriteBatchFolderSetting(const QString& batchFolder);

// The default spacing for a thumbnail size: 5 %, to the nearest integer,
// halves to even.
int DefaultThumbSpace(int thumbSize);
