// tessivane-source-chooser DEFAULT NAME...
// Run by the Data Source Manager when an application asks the operator to
// pick a scanner. Prints the chosen product name and exits 0; exits 1 when
// the operator cancels, 2 when used wrongly.
#include "app/SourceChooserDialog.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char** argv) {
  if (argc < 2) {
    QTextStream(stderr) << "Usage: tessivane-source-chooser DEFAULT NAME...\n";
    return 2;
  }
  QApplication application(argc, argv);
  const QStringList arguments = application.arguments();
  TSourceChooserDialog dialog(arguments.at(1), arguments.mid(2));
  if (dialog.exec() != QDialog::Accepted || dialog.ChosenName().isEmpty()) return 1;
  QTextStream(stdout) << dialog.ChosenName() << '\n';
  return 0;
}
