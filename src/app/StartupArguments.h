#pragma once

#include <QString>
#include <QStringList>

// How the main window takes one argument of its command line.
enum class TArgumentKind {
  BatchFolder, // an existing folder: opened as the batch
  Profile,     // its base name is an entry of the profile combo: that entry is chosen
  AutoScan,    // "-auto" in any case: Scan To Batch once start-up is done
  Ignored,
};

struct TArgument {
  TArgumentKind Kind = TArgumentKind::Ignored;
  QString Text;          // the argument without its enclosing quotation marks
  int ProfileIndex = -1; // the combo entry, for Profile
};

// Removes one leading and then one trailing quotation mark (double or single).
QString StripArgumentQuotes(const QString& argument);

// The first rule that applies, in the order of TArgumentKind.
TArgument ClassifyArgument(const QString& argument, const QStringList& comboItems);
