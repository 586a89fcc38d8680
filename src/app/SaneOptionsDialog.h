#pragma once

#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// One option of a scanner as the SANE source describes it, one line of
//   NAME TAB TITLE TAB KIND TAB VALUE [TAB CHOICE]...
// KIND "integers" or "numbers" (a range: choices MIN, MAX, STEP), "list"
// (numbers) or "strings" (words).
struct TSaneOptionRow {
  QString Name, Title, Kind, Value;
  QStringList Choices;
};

// The rows of the text; false (and no rows) when a line is not of that form.
bool ParseSaneOptionRows(const QString& text, QList<TSaneOptionRow>& rows);

// The scanner's own window: one field per option (a spin box for a range,
// a list for numbers or words), with Scan and Cancel.
class TSaneOptionsDialog : public QDialog {
  Q_OBJECT
public:
  explicit TSaneOptionsDialog(const QList<TSaneOptionRow>& rows, QWidget* parent = nullptr);
  // Each option's name and the value in its field, in the order given.
  QList<QPair<QString, QString>> Values() const;

private:
  QList<QPair<QString, QWidget*>> FFields;
};
