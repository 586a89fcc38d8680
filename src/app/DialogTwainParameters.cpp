#include "app/DialogTwainParameters.h"

#include "app/ActionTable.h"
#include "app/AppTexts.h"
#include "app/DialogPlacement.h"
#include "core/Exception.h"
#include "profiles/ParameterCatalogue.h"
#include "profiles/SettingLine.h"
#include "profiles/Text.h"
#include "workflow/OperatorPrompt.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <optional>

namespace {

QString ToQt(const std::string& text) {
  return QString::fromStdString(text);
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

QLabel* MakeLabel(QWidget* parent, const char* caption, QWidget* buddy) {
  auto* label = new QLabel(caption, parent);
  label->setBuddy(buddy);
  return label;
}

} // namespace

TDialogTwainParameters::TDialogTwainParameters(TOperatorPrompt& prompt, QWidget* owner)
    : QDialog(owner), FPrompt(prompt), FAvailableParameters(AvailableParameters()) {
  setObjectName("DialogTwainParameters");
  setWindowTitle(AppTexts::kProfileEditorCaption);
  setProperty(kHelpContextProperty, 1100);
  BuildControls();
}

void TDialogTwainParameters::BuildControls() {
  auto* group = new QGroupBox(AppTexts::kProfileEditorGroup, this);
  group->setObjectName("GroupBoxTwain");

  ComboBoxNome = new QComboBox(group);
  ComboBoxNome->setObjectName("ComboBoxNome");
  ComboBoxNome->setEditable(true);
  ComboBoxNome->setInsertPolicy(QComboBox::NoInsert);
  // A typed name is taken as typed: completing it to an existing profile
  // would load that profile instead.
  ComboBoxNome->setCompleter(nullptr);
  RadioButtonScannerDefault = new QRadioButton(AppTexts::kDefaultScanner, group);
  RadioButtonScannerDefault->setObjectName("RadioButtonScannerDefault");
  RadioButtonScannerDefault->setChecked(true);
  RadioButtonScannerSpecifico = new QRadioButton(AppTexts::kThisScanner, group);
  RadioButtonScannerSpecifico->setObjectName("RadioButtonScannerSpecifico");
  ComboBoxScanner = new QComboBox(group);
  ComboBoxScanner->setObjectName("ComboBoxScanner");
  ComboBoxParametro = new QComboBox(group);
  ComboBoxParametro->setObjectName("ComboBoxParametro");
  ComboBoxValore = new QComboBox(group);
  ComboBoxValore->setObjectName("ComboBoxValore");
  ComboBoxValore->setInsertPolicy(QComboBox::NoInsert);
  ButtonAggiungi = MakeButton(group, "ButtonAggiungi", AppTexts::kAddButton);
  ButtonElimina = MakeButton(group, "ButtonElimina", AppTexts::kRemoveButton);
  ButtonUp = MakeButton(group, "ButtonUp", AppTexts::kMoveUpButton);
  ButtonDown = MakeButton(group, "ButtonDown", AppTexts::kMoveDownButton);
  ListBoxImpostazioni = new QListWidget(group);
  ListBoxImpostazioni->setObjectName("ListBoxImpostazioni");
  ListBoxImpostazioni->setSelectionMode(QAbstractItemView::SingleSelection);
  ListBoxImpostazioni->setMinimumSize(360, 180);

  auto* grid = new QGridLayout(group);
  grid->addWidget(MakeLabel(group, AppTexts::kProfileNameLabel, ComboBoxNome), 0, 0, 1, 2);
  grid->addWidget(ComboBoxNome, 1, 0, 1, 2);
  grid->addWidget(RadioButtonScannerDefault, 2, 0, 1, 2);
  grid->addWidget(RadioButtonScannerSpecifico, 3, 0);
  grid->addWidget(ComboBoxScanner, 3, 1);
  grid->addWidget(MakeLabel(group, AppTexts::kParameterLabel, ComboBoxParametro), 4, 0);
  grid->addWidget(MakeLabel(group, AppTexts::kValueLabel, ComboBoxValore), 4, 1);
  grid->addWidget(ComboBoxParametro, 5, 0);
  grid->addWidget(ComboBoxValore, 5, 1);
  auto* editing = new QHBoxLayout;
  for (QPushButton* button : {ButtonAggiungi, ButtonElimina, ButtonUp, ButtonDown})
    editing->addWidget(button);
  grid->addLayout(editing, 6, 0, 1, 2);
  grid->addWidget(MakeLabel(group, AppTexts::kSettingsListLabel, ListBoxImpostazioni), 7, 0, 1, 2);
  grid->addWidget(ListBoxImpostazioni, 8, 0, 1, 2);

  ButtonOK = MakeButton(this, "ButtonOK", AppTexts::kOkButton);
  ButtonOK->setDefault(true);
  ButtonCancel = MakeButton(this, "ButtonCancel", AppTexts::kCancelButton);
  auto* closing = new QHBoxLayout;
  closing->addStretch(1);
  closing->addWidget(ButtonOK);
  closing->addWidget(ButtonCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addLayout(closing);
  // A fixed dialog border: the dialog keeps the size of its contents.
  layout->setSizeConstraint(QLayout::SetFixedSize);

  const auto update = [this] { UpdateControls(); };
  connect(ComboBoxNome, &QComboBox::editTextChanged, this, [this] { ComboBoxNomeChange(); });
  connect(ComboBoxParametro, &QComboBox::activated, this, [this] { ComboBoxParametroClick(); });
  connect(ComboBoxValore, &QComboBox::activated, this, update);
  connect(ComboBoxValore, &QComboBox::editTextChanged, this, update);
  connect(ListBoxImpostazioni, &QListWidget::itemSelectionChanged, this, update);
  connect(RadioButtonScannerDefault, &QRadioButton::toggled, this, update);
  connect(RadioButtonScannerSpecifico, &QRadioButton::toggled, this, update);
  connect(ButtonAggiungi, &QPushButton::clicked, this, [this] { ButtonAggiungiClick(); });
  connect(ButtonElimina, &QPushButton::clicked, this, [this] { ButtonEliminaClick(); });
  connect(ButtonUp, &QPushButton::clicked, this, [this] { ButtonUpClick(); });
  connect(ButtonDown, &QPushButton::clicked, this, [this] { ButtonDownClick(); });
  connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TDialogTwainParameters::AddScanners(const std::vector<std::string>& productNames) {
  for (const std::string& name : productNames) ComboBoxScanner->addItem(ToQt(name));
  if (ComboBoxScanner->count() > 0) ComboBoxScanner->setCurrentIndex(0);
  UpdateControls();
}

std::string TDialogTwainParameters::ProfileName() const {
  return ComboBoxNome->currentText().toStdString();
}

std::string TDialogTwainParameters::ScannerLine() const {
  return RadioButtonScannerDefault->isChecked() ? std::string()
                                                : ComboBoxScanner->currentText().toStdString();
}

void TDialogTwainParameters::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(*this);
  // Shown again after a failed save, the dialog keeps the operator's work.
  if (FShownBefore) return;
  FShownBefore = true;
  FormShow();
}

void TDialogTwainParameters::FormShow() {
  {
    // Filling the list of an editable combo would put its first name in
    // the edit field; the name starts empty.
    const QSignalBlocker blocker(ComboBoxNome);
    ComboBoxNome->clear();
    std::vector<std::string> names = FProfileFolders.List();
    for (const std::string& name : names) ComboBoxNome->addItem(ToQt(name));
    ComboBoxNome->setCurrentIndex(-1);
    ComboBoxNome->clearEditText();
  }
  RunShowingErrors(FPrompt, [this] { FillParameterCombo(); });
  UpdateControls();
}

void TDialogTwainParameters::FillParameterCombo() {
  ComboBoxParametro->clear();
  for (const char* line : FAvailableParameters)
    ComboBoxParametro->addItem(ToQt(ParseParameterLine(Trim(line)).DisplayName));
  if (ComboBoxParametro->count() > 0) ComboBoxParametro->setCurrentIndex(0);
  ComboBoxParametroClick();
  UpdateControls();
}

void TDialogTwainParameters::ComboBoxParametroClick() {
  RunShowingErrors(FPrompt, [this] {
    const QSignalBlocker blocker(ComboBoxValore);
    ComboBoxValore->clear();
    ComboBoxValore->clearEditText();
    const int index = ComboBoxParametro->currentIndex();
    if (index < 0 || static_cast<size_t>(index) >= FAvailableParameters.size()) return;
    TParameterValues values;
    ParseParameterLine(Trim(FAvailableParameters[static_cast<size_t>(index)]), &values);
    ComboBoxValore->setEditable(values.empty());
    if (ComboBoxValore->isEditable()) {
      ComboBoxValore->setCompleter(nullptr);
      ComboBoxValore->clearEditText();
    }
    for (const TParameterValue& value : values)
      ComboBoxValore->addItem(ToQt(value.Label), value.Value);
    if (ComboBoxValore->count() > 0) ComboBoxValore->setCurrentIndex(0);
  });
  UpdateControls();
}

void TDialogTwainParameters::UpdateControls() {
  const bool names = !ComboBoxNome->currentText().isEmpty();
  ComboBoxParametro->setEnabled(!FAvailableParameters.empty());
  const bool valueEnabled = ComboBoxParametro->isEnabled() && ComboBoxParametro->count() > 0 &&
                            ComboBoxParametro->currentIndex() >= 0;
  ComboBoxValore->setEnabled(valueEnabled);
  if (!valueEnabled) {
    const QSignalBlocker blocker(ComboBoxValore);
    ComboBoxValore->setCurrentIndex(-1);
    ComboBoxValore->clearEditText();
  }
  ButtonAggiungi->setEnabled(valueEnabled && !ComboBoxValore->currentText().isEmpty() && names);
  const int selected = SelectedIndex();
  const int count = ListBoxImpostazioni->count();
  ButtonElimina->setEnabled(selected >= 0);
  ButtonUp->setEnabled(selected > 0);
  ButtonDown->setEnabled(selected >= 0 && selected < count - 1);
  ButtonOK->setEnabled(count > 0 && names);
  ComboBoxScanner->setEnabled(RadioButtonScannerSpecifico->isChecked());
}

void TDialogTwainParameters::ComboBoxNomeChange() {
  RunShowingErrors(FPrompt, [this] {
    const std::string name = ComboBoxNome->currentText().toStdString();
    // A name without a file keeps the settings shown, so OK saves them
    // under the new name.
    if (!FProfileFolders.Exists(name)) return;
    FProfileLines = FProfileFolders.Load(name);
    if (!FProfileLines.empty()) {
      const QString scanner = ToQt(FProfileLines.front());
      if (scanner.isEmpty()) {
        RadioButtonScannerDefault->setChecked(true);
      } else {
        int index = ComboBoxScanner->findText(scanner, Qt::MatchFixedString);
        if (index < 0) {
          ComboBoxScanner->addItem(scanner);
          index = ComboBoxScanner->count() - 1;
        }
        ComboBoxScanner->setCurrentIndex(index);
        RadioButtonScannerSpecifico->setChecked(true);
      }
      FProfileLines.erase(FProfileLines.begin());
    }
    ListBoxImpostazioni->clear();
    // Every setting line gets its list line, so the two stay parallel; a
    // line whose value cannot be shown by its label shows the stored text,
    // and the first such error is reported once the list is complete.
    std::optional<std::string> firstError;
    for (const std::string& line : FProfileLines) {
      std::string shown;
      try {
        shown = SettingDisplayText(line);
      } catch (const Exception& error) {
        if (!firstError) firstError = error.Message();
        std::string rest = line;
        const std::string capability = CutField(rest);
        CutField(rest);
        // Only a capability of the catalogue fails, and its field is its decimal text.
        shown = ParameterDisplayName(StrToInt(capability)) + '=' + CutField(rest);
      }
      ListBoxImpostazioni->addItem(ToQt(shown));
    }
    if (firstError) {
      UpdateControls();
      throw Exception(*firstError);
    }
  });
  UpdateControls();
}

void TDialogTwainParameters::ButtonAggiungiClick() {
  RunShowingErrors(FPrompt, [this] {
    const int index = ComboBoxParametro->currentIndex();
    if (index < 0 || static_cast<size_t>(index) >= FAvailableParameters.size()) return;
    TParameterValues values;
    const TParameterInfo info =
        ParseParameterLine(Trim(FAvailableParameters[static_cast<size_t>(index)]), &values);
    const QString valueText = ComboBoxValore->currentText();
    std::string value;
    if (values.empty()) {
      value = valueText.toStdString();
    } else {
      const QVariant attached = ComboBoxValore->currentData();
      if (!attached.isValid()) return;
      value = std::to_string(attached.toInt());
    }
    ListBoxImpostazioni->addItem(ToQt(info.DisplayName) + '=' + valueText);
    FProfileLines.push_back(MakeSettingLine(info.Capability, info.TypeLetter, value));
  });
  UpdateControls();
}

int TDialogTwainParameters::SelectedIndex() const {
  const QList<QListWidgetItem*> selected = ListBoxImpostazioni->selectedItems();
  return selected.isEmpty() ? -1 : ListBoxImpostazioni->row(selected.front());
}

void TDialogTwainParameters::ButtonEliminaClick() {
  const int i = SelectedIndex();
  if (i >= 0) {
    FProfileLines.erase(FProfileLines.begin() + i);
    delete ListBoxImpostazioni->takeItem(i);
    ListBoxImpostazioni->clearSelection();
    if (i < ListBoxImpostazioni->count())
      ListBoxImpostazioni->setCurrentRow(i);
    else
      ListBoxImpostazioni->setCurrentRow(-1);
  }
  UpdateControls();
}

void TDialogTwainParameters::SwapLines(int i, int j) {
  if (i < 0 || j < 0 || i >= ListBoxImpostazioni->count() || j >= ListBoxImpostazioni->count())
    return;
  std::swap(FProfileLines[static_cast<size_t>(i)], FProfileLines[static_cast<size_t>(j)]);
  QListWidgetItem* first = ListBoxImpostazioni->item(i);
  QListWidgetItem* second = ListBoxImpostazioni->item(j);
  const QString text = first->text();
  first->setText(second->text());
  second->setText(text);
  ListBoxImpostazioni->setCurrentRow(j);
}

void TDialogTwainParameters::ButtonUpClick() {
  const int i = SelectedIndex();
  SwapLines(i, i - 1);
  UpdateControls();
}

void TDialogTwainParameters::ButtonDownClick() {
  const int i = SelectedIndex();
  SwapLines(i, i + 1);
  UpdateControls();
}
