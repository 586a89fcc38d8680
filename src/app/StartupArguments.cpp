#include "app/StartupArguments.h"

#include <QFileInfo>

namespace {

bool IsQuote(QChar c) {
  return c == '"' || c == '\'';
}

} // namespace

QString StripArgumentQuotes(const QString& argument) {
  QString text = argument;
  if (!text.isEmpty() && IsQuote(text.front())) text.remove(0, 1);
  if (!text.isEmpty() && IsQuote(text.back())) text.chop(1);
  return text;
}

TArgument ClassifyArgument(const QString& argument, const QStringList& comboItems) {
  TArgument result;
  result.Text = StripArgumentQuotes(argument);
  if (result.Text.isEmpty()) return result;
  if (QFileInfo(result.Text).isDir()) {
    result.Kind = TArgumentKind::BatchFolder;
    return result;
  }
  const QString baseName = QFileInfo(result.Text).completeBaseName();
  for (int i = 0; i < comboItems.size(); ++i) {
    if (comboItems[i].compare(baseName, Qt::CaseInsensitive) == 0) {
      result.Kind = TArgumentKind::Profile;
      result.ProfileIndex = i;
      return result;
    }
  }
  if (result.Text.compare("-auto", Qt::CaseInsensitive) == 0) result.Kind = TArgumentKind::AutoScan;
  return result;
}
