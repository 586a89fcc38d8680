#include "app/SourceChooserDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TSourceChooserDialog::TSourceChooserDialog(const QString& defaultName, const QStringList& names,
                                           QWidget* parent)
    : QDialog(parent), FList(new QListWidget(this)) {
  setWindowTitle("Select Source");
  FList->setObjectName("ListBoxSources");
  FList->addItems(names);
  const QList<QListWidgetItem*> matches = FList->findItems(defaultName, Qt::MatchExactly);
  if (!matches.isEmpty())
    FList->setCurrentItem(matches.first());
  else if (FList->count() > 0)
    FList->setCurrentRow(0);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText("Select");
  buttons->button(QDialogButtonBox::Ok)->setEnabled(FList->count() > 0);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(FList, &QListWidget::itemDoubleClicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Sources:", this));
  layout->addWidget(FList);
  layout->addWidget(buttons);
}

QString TSourceChooserDialog::ChosenName() const {
  const QListWidgetItem* item = FList->currentItem();
  return item ? item->text() : QString();
}
