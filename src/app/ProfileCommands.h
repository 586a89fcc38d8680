#pragma once

#include "app/ProfileFolders.h"

#include <QObject>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QWidget;
class TOperatorPrompt;

// The scanning profiles of the main window: the toolbar's profile combo,
// the active profile, and the profile editor command.
class TProfileCommands : public QObject {
  Q_OBJECT

public:
  // sourceList gives the product names of the installed sources; owner is
  // the window the editor opens over.
  TProfileCommands(TProfileFolders folders, QComboBox& combo, TOperatorPrompt& prompt,
                   std::function<std::vector<std::string>()> sourceList, QWidget* owner);

  const TProfileFolders& Folders() const { return FFolders; }
  // The combo's entries: "Show Scanner User Interface", then the profiles.
  const std::vector<std::string>& Items() const { return FProfileItems; }
  // The lines of the active profile, scanner line first; empty for none.
  const std::vector<std::string>& ActiveProfile() const { return FActiveProfile; }
  // What the next scan takes: the scanner's own dialog exactly when the
  // combo shows its item 0, and the scanner named by the active profile.
  bool ShowsScannerUserInterface() const;
  std::string SourceName() const;

  // Builds the combo from the profile folders, item 0 selected.
  void RefreshProfileCombo();
  // The active profile of the chosen entry. Raises the file's error, the
  // active profile then staying as it was.
  void ComboBoxScannerSettingsClick(int index);
  // The profile editor: on OK the profile is saved, added to the combo when
  // new and made the active profile. A save that fails is reported and the
  // editor opens again with the operator's work, until it is saved or
  // cancelled.
  void ActionScannerSettingsExecute();

private:
  TProfileFolders FFolders;
  QComboBox& FCombo;
  TOperatorPrompt& FPrompt;
  std::function<std::vector<std::string>()> FSourceList;
  QWidget* FOwner;
  std::vector<std::string> FProfileItems;
  std::vector<std::string> FActiveProfile;
};
