#include "app/WidgetPrompt.h"

#include "app/AppTexts.h"

#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

// The text a folder dialog asks before it creates a folder that was typed.
constexpr const char* kCreateFolderQuestion = "The specified directory does not exist. Create it?";

QMessageBox::Icon IconOf(TMessageKind kind) {
  switch (kind) {
  case TMessageKind::Confirmation:
    return QMessageBox::Question;
  case TMessageKind::Information:
    return QMessageBox::Information;
  case TMessageKind::Warning:
    return QMessageBox::Warning;
  case TMessageKind::Error:
    return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(TButtons buttons) {
  switch (buttons) {
  case TButtons::Ok:
    return QMessageBox::Ok;
  case TButtons::OkCancel:
    return QMessageBox::Ok | QMessageBox::Cancel;
  case TButtons::YesNo:
    return QMessageBox::Yes | QMessageBox::No;
  case TButtons::YesNoCancel:
    return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

void Prepare(QFileDialog& dialog, const TFileDialogOptions& options) {
  dialog.setWindowTitle(QString::fromStdString(options.Title));
  const QStringList filters = DialogFilters(options.Filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const int index = options.FilterIndex - 1;
    if (index >= 0 && index < filters.size()) dialog.selectNameFilter(filters[index]);
  }
  if (!options.InitialDir.empty()) dialog.setDirectory(QString::fromStdString(options.InitialDir));
  if (!options.FileName.empty()) dialog.selectFile(QString::fromStdString(options.FileName));
  if (!options.DefaultExt.empty())
    dialog.setDefaultSuffix(QString::fromStdString(options.DefaultExt).remove(0, 1));
  dialog.setSizeGripEnabled(true);
}

TFileDialogResult ResultOf(const QFileDialog& dialog) {
  TFileDialogResult result;
  for (const QString& file : dialog.selectedFiles()) result.Files.push_back(file.toStdString());
  result.FilterIndex =
      static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter())) + 1;
  if (result.FilterIndex < 1) result.FilterIndex = 1;
  return result;
}

} // namespace

QStringList DialogFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    filters << QString("%1 (%2)").arg(parts[i], patterns);
  }
  return filters;
}

TAnswer TWidgetPrompt::MessageBox(TMessageKind kind, const std::string& text, TButtons buttons,
                                  const std::string& caption) {
  const QString title =
      caption.empty() ? QString(AppTexts::kApplicationTitle) : QString::fromStdString(caption);
  QMessageBox box(IconOf(kind), title, QString::fromStdString(text), ButtonsOf(buttons), FOwner);
  switch (box.exec()) {
  case QMessageBox::Ok:
    return TAnswer::Ok;
  case QMessageBox::Yes:
    return TAnswer::Yes;
  case QMessageBox::No:
    return TAnswer::No;
  case QMessageBox::Cancel:
    return TAnswer::Cancel;
  default:
    return ClosedAnswer(buttons);
  }
}

std::optional<TFileDialogResult> TWidgetPrompt::OpenFiles(const TFileDialogOptions& options) {
  QFileDialog dialog(FOwner);
  Prepare(dialog, options);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(options.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return ResultOf(dialog);
}

std::optional<TFileDialogResult> TWidgetPrompt::SaveFile(const TFileDialogOptions& options) {
  QFileDialog dialog(FOwner);
  Prepare(dialog, options);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ResultOf(dialog);
}

std::optional<std::string> TWidgetPrompt::SelectFolder(const TFolderDialogOptions& options) {
  QFileDialog dialog(FOwner, QString::fromStdString(options.Title),
                     QString::fromStdString(options.InitialDir));
  // Any name may be typed when new folders are allowed; the folder is
  // created below after the operator confirms it.
  dialog.setFileMode(options.AllowCreate ? QFileDialog::AnyFile : QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString folder = QDir::cleanPath(dialog.selectedFiles().first());
  if (QFileInfo(folder).isDir()) return folder.toStdString();
  if (!options.AllowCreate || QFileInfo::exists(folder)) return std::nullopt;
  if (MessageBox(TMessageKind::Confirmation, kCreateFolderQuestion, TButtons::YesNo) !=
      TAnswer::Yes)
    return std::nullopt;
  if (!QDir().mkpath(folder)) {
    ShowError("Cannot create the folder " + folder.toStdString());
    return std::nullopt;
  }
  return folder.toStdString();
}

std::optional<std::string> TWidgetPrompt::InputBox(const std::string& caption,
                                                   const std::string& prompt,
                                                   const std::string& defaultText) {
  bool ok = false;
  const QString text =
      QInputDialog::getText(FOwner, QString::fromStdString(caption), QString::fromStdString(prompt),
                            QLineEdit::Normal, QString::fromStdString(defaultText), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}
