#include "app/ProfileCommands.h"

#include "app/DialogTwainParameters.h"
#include "app/StatusPanels.h"
#include "core/Exception.h"
#include "profiles/ProfileStore.h"
#include "workflow/OperatorPrompt.h"

#include <QComboBox>

TProfileCommands::TProfileCommands(TProfileFolders folders, QComboBox& combo,
                                   TOperatorPrompt& prompt,
                                   std::function<std::vector<std::string>()> sourceList,
                                   QWidget* owner)
    : QObject(owner), FFolders(std::move(folders)), FCombo(combo), FPrompt(prompt),
      FSourceList(std::move(sourceList)), FOwner(owner) {}

bool TProfileCommands::ShowsScannerUserInterface() const {
  return ::ShowsScannerUserInterface(FCombo.currentIndex());
}

std::string TProfileCommands::SourceName() const {
  return ProfileScannerName(FActiveProfile);
}

void TProfileCommands::RefreshProfileCombo() {
  FProfileItems = {kShowScannerUserInterface};
  for (std::string& name : FFolders.List()) FProfileItems.push_back(std::move(name));
  FCombo.clear();
  for (const std::string& item : FProfileItems) FCombo.addItem(QString::fromStdString(item));
  FCombo.setCurrentIndex(0);
  FCombo.setEnabled(ProfileComboEnabled(FProfileItems));
}

void TProfileCommands::ComboBoxScannerSettingsClick(int index) {
  if (index < 1 || static_cast<size_t>(index) >= FProfileItems.size()) {
    FActiveProfile.clear();
    return;
  }
  FActiveProfile = FFolders.Load(FProfileItems[static_cast<size_t>(index)]);
}

void TProfileCommands::ActionScannerSettingsExecute() {
  TDialogTwainParameters dialog(FPrompt, FOwner);
  {
    const TBusyCursor busy;
    dialog.AddScanners(FSourceList());
  }
  dialog.SetProfileFolders(FFolders);
  for (;;) {
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string name = dialog.ProfileName();
    std::vector<std::string> lines = dialog.ProfileLines();
    lines.insert(lines.begin(), dialog.ScannerLine());
    try {
      FFolders.Save(name, lines);
    } catch (const Exception& error) {
      FPrompt.ShowError(error.Message());
      continue;
    }
    if (AddSavedProfile(FProfileItems, name)) {
      FCombo.addItem(QString::fromStdString(name));
      FCombo.setEnabled(ProfileComboEnabled(FProfileItems));
    }
    FActiveProfile = std::move(lines);
    return;
  }
}
