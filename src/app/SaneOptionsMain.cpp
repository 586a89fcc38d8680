// tessivane-sane-options
// Run by the SANE source when an application asks for the scanner's own
// window. Reads the options (TSaneOptionRow lines) on its standard input,
// shows them, and on Scan prints NAME TAB VALUE lines and exits 0; exits 1
// when the operator cancels, 2 when the input is not of that form.
#include "app/SaneOptionsDialog.h"

#include <QApplication>
#include <QFile>
#include <QTextStream>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QFile input;
  if (!input.open(stdin, QIODevice::ReadOnly)) return 2;
  QList<TSaneOptionRow> rows;
  if (!ParseSaneOptionRows(QString::fromUtf8(input.readAll()), rows)) {
    QTextStream(stderr) << "tessivane-sane-options: the options are not of the expected form\n";
    return 2;
  }
  TSaneOptionsDialog dialog(rows);
  if (dialog.exec() != QDialog::Accepted) return 1;
  QTextStream out(stdout);
  for (const auto& [name, value] : dialog.Values()) out << name << '\t' << value << '\n';
  return 0;
}
