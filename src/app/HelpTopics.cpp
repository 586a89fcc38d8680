#include "app/HelpTopics.h"

#include "app/AppTexts.h"
#include "core/Exception.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// The relative paths from the executable's folder to the help folder,
// installed and in the build tree, separated by ":".
constexpr const char* kHelpFromProgram = TESSIVANE_HELP_FROM_PROGRAM;

} // namespace

const std::vector<THelpTopic>& HelpTopics() {
  static const std::vector<THelpTopic> topics = {
      {1000, "1000-main-window.html", "The main window"},
      {100, "0100-file-menu.html", "File menu"},
      {110, "0110-open-batch-folder.html", "Open Batch Folder"},
      {120, "0120-save-batch-as.html", "Save Batch As"},
      {130, "0130-select-scanner.html", "Select Scanner"},
      {140, "0140-scanner-settings.html", "Scanner Settings"},
      {150, "0150-scan-menu.html", "Scan menu"},
      {152, "0152-scan-to-batch.html", "Scan To Batch"},
      {154, "0154-scan-to-file.html", "Scan To File"},
      {156, "0156-scan-to-screen.html", "Scan To Screen"},
      {160, "0160-import-into-batch.html", "Import into Batch"},
      {170, "0170-select-printer.html", "Select Printer"},
      {180, "0180-print.html", "Print"},
      {190, "0190-exit.html", "Exit"},
      {200, "0200-edit-menu.html", "Edit menu"},
      {210, "0210-copy-to-clipboard.html", "Copy to Clipboard"},
      {220, "0220-delete.html", "Delete"},
      {300, "0300-view-menu.html", "View menu"},
      {310, "0310-zoom-in.html", "Zoom In"},
      {320, "0320-zoom-out.html", "Zoom Out"},
      {330, "0330-fit-to-width.html", "Fit To Width"},
      {340, "0340-fit-to-height.html", "Fit To Height"},
      {350, "0350-fit-to-page.html", "Fit To Page"},
      {360, "0360-original-size.html", "Original Size"},
      {370, "0370-no-scale.html", "No Scale"},
      {380, "0380-log-form.html", "Log Form"},
      {400, "0400-process-menu.html", "Process menu"},
      {410, "0410-rotate-menu.html", "Rotate menu"},
      {412, "0412-rotate-90.html", "Rotate 90°"},
      {414, "0414-rotate-180.html", "Rotate 180°"},
      {416, "0416-rotate-270.html", "Rotate 270°"},
      {420, "0420-negative.html", "Negative"},
      {430, "0430-mirror.html", "Mirror"},
      {440, "0440-flip.html", "Flip"},
      {450, "0450-deskew.html", "Deskew"},
      {460, "0460-despeckle.html", "Despeckle"},
      {470, "0470-use-image-processor.html", "Use Image Processor"},
      {480, "0480-plug-in.html", "Plug-In"},
      {500, "0500-help-menu.html", "Help menu"},
      {510, "0510-help.html", "Help"},
      {520, "0520-about.html", "About"},
      {600, "0600-strip-pop-up-menu.html", "The strip's pop-up menu"},
      {610, "0610-view.html", "View"},
      {620, "0620-move-prior.html", "Move Prior"},
      {630, "0630-move-next.html", "Move Next"},
      {640, "0640-pop-up-delete.html", "Delete (pop-up menu)"},
      {650, "0650-pop-up-import.html", "Import into Batch (pop-up menu)"},
      {1050, "1050-about-box.html", "The About box"},
      {1100, "1100-scanner-settings-dialog.html", "The Scanner Settings dialog"},
      {1200, "1200-plug-in-dialog.html", "The Plug-In Custom Processing dialog"},
  };
  return topics;
}

const THelpTopic* FindHelpTopic(int context) {
  const std::vector<THelpTopic>& topics = HelpTopics();
  const auto found = std::find_if(topics.begin(), topics.end(),
                                  [context](const THelpTopic& t) { return t.Context == context; });
  return found == topics.end() ? nullptr : &*found;
}

QStringList HelpFolderCandidates(const QString& programFolder) {
  QStringList folders;
  for (const QString& relative : QString(kHelpFromProgram).split(':', Qt::SkipEmptyParts))
    folders << QDir::cleanPath(programFolder + '/' + relative);
  return folders;
}

QString FindHelpFolder(const QString& programFolder) {
  for (const QString& folder : HelpFolderCandidates(programFolder))
    if (QFileInfo(folder + '/' + kHelpContentsFile).isFile()) return folder;
  return {};
}

QString HelpFolder() {
  const QString program = QCoreApplication::applicationDirPath();
  const QString folder = FindHelpFolder(program);
  if (folder.isEmpty())
    throw Exception(QString(AppTexts::kHelpNotFound)
                        .arg(HelpFolderCandidates(program).join(", "))
                        .toStdString());
  return folder;
}

QUrl HelpTopicUrl(int context) {
  const THelpTopic* topic = FindHelpTopic(context);
  return QUrl::fromLocalFile(HelpFolder() + '/' + (topic ? topic->File : kHelpContentsFile));
}

QUrl HelpContentsUrl() {
  return QUrl::fromLocalFile(HelpFolder() + '/' + kHelpContentsFile);
}
