#include "app/SaneOptionsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <climits>

namespace {

bool IsNumber(const QString& text) {
  bool ok = false;
  text.toDouble(&ok);
  return ok;
}

bool RowIsSound(const TSaneOptionRow& row) {
  if (row.Name.isEmpty()) return false;
  if (row.Kind == "integers" || row.Kind == "numbers") {
    if (row.Choices.size() != 3 || !IsNumber(row.Value)) return false;
    for (const QString& choice : row.Choices)
      if (!IsNumber(choice)) return false;
    return row.Choices[0].toDouble() <= row.Choices[1].toDouble();
  }
  if (row.Kind == "list") {
    for (const QString& choice : row.Choices)
      if (!IsNumber(choice)) return false;
    return !row.Choices.isEmpty() && IsNumber(row.Value);
  }
  return row.Kind == "strings" && !row.Choices.isEmpty();
}

// A list whose items show the choices and keep them as given.
QComboBox* MakeList(const TSaneOptionRow& row, QWidget* parent) {
  auto* list = new QComboBox(parent);
  for (const QString& choice : row.Choices) list->addItem(choice, choice);
  int current = row.Choices.indexOf(row.Value);
  if (current < 0 && row.Kind == "list")
    for (int i = 0; i < row.Choices.size(); ++i)
      if (row.Choices[i].toDouble() == row.Value.toDouble()) current = i;
  list->setCurrentIndex(current < 0 ? 0 : current);
  return list;
}

constexpr const char* kShownValue = "tessivaneShownValue";
constexpr const char* kDeviceValue = "tessivaneDeviceValue";

QWidget* MakeField(const TSaneOptionRow& row, QWidget* parent) {
  const double min = row.Kind == "list" || row.Kind == "strings" ? 0 : row.Choices[0].toDouble();
  if (row.Kind == "integers") {
    auto* box = new QSpinBox(parent);
    box->setRange(static_cast<int>(min), static_cast<int>(row.Choices[1].toDouble()));
    const int step = static_cast<int>(row.Choices[2].toDouble());
    box->setSingleStep(step > 0 ? step : 1);
    box->setValue(static_cast<int>(row.Value.toDouble()));
    return box;
  }
  if (row.Kind == "numbers") {
    auto* box = new QDoubleSpinBox(parent);
    box->setDecimals(2);
    box->setRange(min, row.Choices[1].toDouble());
    const double step = row.Choices[2].toDouble();
    box->setSingleStep(step > 0 ? step : 1);
    box->setValue(row.Value.toDouble());
    // The box shows two decimals; a value left as it was goes back exactly
    // as the device gave it, not rounded.
    box->setProperty(kShownValue, box->value());
    box->setProperty(kDeviceValue, row.Value);
    return box;
  }
  return MakeList(row, parent);
}

QString FieldValue(const QWidget* field) {
  if (const auto* box = qobject_cast<const QSpinBox*>(field)) return QString::number(box->value());
  if (const auto* box = qobject_cast<const QDoubleSpinBox*>(field))
    return box->value() == box->property(kShownValue).toDouble()
               ? box->property(kDeviceValue).toString()
               : QString::number(box->value(), 'g', 12);
  return qobject_cast<const QComboBox*>(field)->currentData().toString();
}

} // namespace

bool ParseSaneOptionRows(const QString& text, QList<TSaneOptionRow>& rows) {
  QList<TSaneOptionRow> parsed;
  for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) {
    const QStringList fields = line.split('\t');
    if (fields.size() < 4) return false;
    TSaneOptionRow row{fields[0], fields[1], fields[2], fields[3], fields.mid(4)};
    if (!RowIsSound(row)) return false;
    parsed.append(row);
  }
  rows = parsed;
  return true;
}

TSaneOptionsDialog::TSaneOptionsDialog(const QList<TSaneOptionRow>& rows, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle("Scanner Options");
  auto* form = new QFormLayout;
  for (const TSaneOptionRow& row : rows) {
    QWidget* field = MakeField(row, this);
    field->setObjectName(row.Name);
    form->addRow(row.Title + ":", field);
    FFields.append({row.Name, field});
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText("Scan");
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ButtonScan");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("ButtonCancel");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

QList<QPair<QString, QString>> TSaneOptionsDialog::Values() const {
  QList<QPair<QString, QString>> values;
  for (const auto& [name, field] : FFields) values.append({name, FieldValue(field)});
  return values;
}
