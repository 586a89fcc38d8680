#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QListWidget;

// The scanner selection dialog the Data Source Manager shows: the installed
// sources by product name, the default one selected. Select (or a double
// click) takes the selected source, Cancel or Escape takes none.
class TSourceChooserDialog : public QDialog {
  Q_OBJECT
public:
  TSourceChooserDialog(const QString& defaultName, const QStringList& names,
                       QWidget* parent = nullptr);
  // The selected product name; empty when nothing is selected.
  QString ChosenName() const;

private:
  QListWidget* FList;
};
