#pragma once

#include "workflow/OperatorPrompt.h"

#include <QStringList>

class QWidget;

// The operator's questions as the desktop's own dialogs, parented to a
// window (the main window, usually).
class TWidgetPrompt : public TOperatorPrompt {
public:
  explicit TWidgetPrompt(QWidget* owner = nullptr) : FOwner(owner) {}
  void SetOwner(QWidget* owner) { FOwner = owner; }

  TAnswer MessageBox(TMessageKind kind, const std::string& text, TButtons buttons,
                     const std::string& caption = {}) override;
  std::optional<TFileDialogResult> OpenFiles(const TFileDialogOptions& options) override;
  std::optional<TFileDialogResult> SaveFile(const TFileDialogOptions& options) override;
  std::optional<std::string> SelectFolder(const TFolderDialogOptions& options) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& defaultText) override;

private:
  QWidget* FOwner;
};

// A filter of the prompt interface ("TIFF File|*.tif|PDF File|*.pdf;*.PDF")
// as the entries of a file dialog ("TIFF File (*.tif)", "PDF File (*.pdf *.PDF)").
QStringList DialogFilters(const std::string& filter);
