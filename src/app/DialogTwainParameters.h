#pragma once

#include "app/ProfileFolders.h"

#include <QDialog>

#include <span>
#include <string>
#include <vector>

class QComboBox;
class QListWidget;
class QPushButton;
class QRadioButton;
class TOperatorPrompt;

// The profile editor, "Scanner Settings": a profile name (an existing one
// is loaded when its name is typed or picked), the scanner, and the ordered
// settings built from the parameter catalogue. The list box and
// FProfileLines always hold the same number of lines, line i of one
// showing line i of the other. Errors of its handlers go to the operator's
// standard error box.
class TDialogTwainParameters : public QDialog {
  Q_OBJECT

public:
  TDialogTwainParameters(TOperatorPrompt& prompt, QWidget* owner);

  // Where profiles are listed and loaded from; set before the dialog is shown.
  void SetProfileFolders(const TProfileFolders& folders) { FProfileFolders = folders; }
  // Appends the installed sources to the scanner list and selects the first.
  void AddScanners(const std::vector<std::string>& productNames);

  // The result, once the dialog was closed with OK.
  std::string ProfileName() const;
  // Empty for "Default Scanner", else the chosen scanner's product name.
  std::string ScannerLine() const;
  // The setting lines, without the scanner line.
  const std::vector<std::string>& ProfileLines() const { return FProfileLines; }

  // The handlers, each run by its control.
  void FormShow();
  void ComboBoxNomeChange();
  void ComboBoxParametroClick();
  void ButtonAggiungiClick();
  void ButtonEliminaClick();
  void ButtonUpClick();
  void ButtonDownClick();
  void UpdateControls();

protected:
  void showEvent(QShowEvent* event) override;

private:
  void BuildControls();
  void FillParameterCombo();
  // The selected line of the list box, or -1.
  int SelectedIndex() const;
  void SwapLines(int i, int j);

  TOperatorPrompt& FPrompt;
  TProfileFolders FProfileFolders{"", ""};
  std::vector<std::string> FProfileLines;
  // The parameter catalogue; the parameter combo's index is a position in it.
  std::span<const char* const> FAvailableParameters;
  QComboBox* ComboBoxNome = nullptr;
  QRadioButton* RadioButtonScannerDefault = nullptr;
  QRadioButton* RadioButtonScannerSpecifico = nullptr;
  QComboBox* ComboBoxScanner = nullptr;
  QComboBox* ComboBoxParametro = nullptr;
  QComboBox* ComboBoxValore = nullptr;
  QPushButton* ButtonAggiungi = nullptr;
  QPushButton* ButtonElimina = nullptr;
  QPushButton* ButtonUp = nullptr;
  QPushButton* ButtonDown = nullptr;
  QListWidget* ListBoxImpostazioni = nullptr;
  QPushButton* ButtonOK = nullptr;
  QPushButton* ButtonCancel = nullptr;
  bool FShownBefore = false;
};
