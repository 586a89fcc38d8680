#include "app/DialogoProcessing.h"

#include "app/ActionTable.h"
#include "app/AppTexts.h"
#include "app/DialogPlacement.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TDialogoProcessing::TDialogoProcessing(const QStringList& descriptions, QWidget* parent)
    : QDialog(parent) {
  setObjectName("DialogoProcessing");
  setWindowTitle(AppTexts::kPlugInCaption);
  setProperty(kHelpContextProperty, 1200);
  auto* group = new QGroupBox(AppTexts::kAvailableModules, this);
  group->setObjectName("GroupBoxModuli");
  FList = new QListWidget(group);
  FList->setObjectName("ListBoxModuli");
  FList->setSelectionMode(QAbstractItemView::SingleSelection);
  FList->addItems(descriptions);
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(FList);
  FOk = new QPushButton(AppTexts::kOkButton, this);
  FOk->setObjectName("ButtonOk");
  FOk->setDefault(true);
  FCancel = new QPushButton(AppTexts::kCancelButton, this);
  FCancel->setObjectName("ButtonCancel");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(FOk);
  buttons->addWidget(FCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addLayout(buttons);
  connect(FOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(FCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(FList, &QListWidget::itemSelectionChanged, this, &TDialogoProcessing::UpdateOk);
  connect(FList, &QListWidget::itemClicked, this, &TDialogoProcessing::UpdateOk);
  // A fixed border: the dialog keeps the size its layout gives it.
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

int TDialogoProcessing::SelectedIndex() const {
  const QList<QListWidgetItem*> selected = FList->selectedItems();
  return selected.isEmpty() ? -1 : FList->row(selected.first());
}

void TDialogoProcessing::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(*this);
  UpdateOk();
}

void TDialogoProcessing::UpdateOk() {
  FOk->setEnabled(FList->count() > 0 && SelectedIndex() >= 0);
}
