#pragma once

#include <QDialog>
#include <QStringList>

class QGroupBox;
class QListWidget;
class QPushButton;

// The plug-in dialog: the operator picks one of the loaded modules. OK is
// enabled exactly when the list has items and one of them is selected.
class TDialogoProcessing : public QDialog {
  Q_OBJECT

public:
  explicit TDialogoProcessing(const QStringList& descriptions, QWidget* parent = nullptr);

  // The selected entry, -1 for none.
  int SelectedIndex() const;
  QListWidget& ListBoxModuli() const { return *FList; }
  QPushButton& ButtonOk() const { return *FOk; }
  QPushButton& ButtonCancel() const { return *FCancel; }

protected:
  void showEvent(QShowEvent* event) override;

private:
  void UpdateOk();

  QListWidget* FList;
  QPushButton* FOk;
  QPushButton* FCancel;
};
