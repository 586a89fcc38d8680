#include "app/ActionTable.h"

#include "app/AppIcons.h"

#include <QAction>

namespace {

QKeySequence Keys(QKeyCombination combination) {
  return QKeySequence(combination);
}

} // namespace

const std::vector<TActionEntry>& ActionEntries() {
  // Zoom In sits on the key that carries "=" and "+" on a US layout, Zoom
  // Out on the numeric keypad's "/".
  static const std::vector<TActionEntry> entries = {
      {"ActionOpenBatchFolder", "&Open Batch Folder...", Keys(Qt::CTRL | Qt::Key_B),
       "Open Batch Folder", 110, "folder-open"},
      {"ActionSaveBatchAs", "S&ave Batch As...", Keys(Qt::CTRL | Qt::Key_S), "Save Batch as File",
       120, "document-save-as"},
      {"ActionSelectScanner", "&Select Scanner...", {}, "Select Scanner", 130, "scanner"},
      {"ActionScannerSettings",
       "S&canner Settings...",
       {},
       "Scanner Settings",
       140,
       "document-properties"},
      {"ActionScanToBatch", "T&o Batch", Keys(Qt::CTRL | Qt::Key_Return),
       "Scan Adding Images To Batch Folder", 152, "tessivane-scan-to-batch"},
      {"ActionScanToFile",
       "To &File",
       {},
       "Scan Saving Image to File",
       154,
       "tessivane-scan-to-file"},
      {"ActionScanToScreen", "&To Screen", {}, "Scan To Screen", 156, "tessivane-scan-to-screen"},
      {"ActionImportImages", "&Import into Batch...", Keys(Qt::CTRL | Qt::Key_I),
       "Import Files Into Batch", 160, "document-import"},
      {"ActionPrinterSettings",
       "Se&lect Printer...",
       {},
       "Select Printer",
       170,
       "document-print-setup"},
      {"ActionPrint", "&Print...", Keys(Qt::CTRL | Qt::Key_P), "Print", 180, "document-print"},
      {"ActionExit", "&Exit", {}, "Exit", 190, "application-exit"},
      {"ActionCopy", "&Copy to Clipboard", Keys(Qt::CTRL | Qt::Key_C), "Copy Image to Clipboard",
       210, "edit-copy"},
      {"ActionDelete", "&Delete", Keys(Qt::CTRL | Qt::Key_Delete), "Delete Selected Image", 220,
       "edit-delete"},
      {"ActionZoomIn", "&Zoom In", Keys(Qt::Key_Equal), "Zoom In", 310, "zoom-in"},
      {"ActionZoomOut", "Zoo&m Out", Keys(Qt::KeypadModifier | Qt::Key_Slash), "Zoom Out", 320,
       "zoom-out"},
      {"ActionFitToWidth", "Fi&t To Width", {}, "Fit to Width", 330, "zoom-fit-width"},
      {"ActionFitToHeight", "Fit T&o Height", {}, "Fit to Height", 340, "zoom-fit-height"},
      {"ActionFitToPage", "Fit To &Page", {}, "Fit o Page", 350, "zoom-fit-best"},
      {"ActionOriginalSize", "Ori&ginal Size", {}, "Original Size", 360, "tessivane-physical-size"},
      {"ActionNoScale", "&No Scale", {}, "No Scale", 370, "zoom-original"},
      {"ActionLog", "&Log Form", {}, "Log Form", 380, nullptr},
      {"ActionRotate90", "&90°", {}, "Rotate by 90 Degrees Clockwise", 412, "object-rotate-right"},
      {"ActionRotate180", "&180°", {}, "Rotate by 180 Degress", 414, "tessivane-rotate-180"},
      {"ActionRotate270",
       "&270°",
       {},
       "Rotate by 270 Degrees Clockwise",
       416,
       "object-rotate-left"},
      {"ActionInvert", "&Negative", {}, "Invert Image", 420, "tessivane-negative"},
      {"ActionFlipHorizontal", "&Mirror", {}, "Mirror Image", 430, "object-flip-horizontal"},
      {"ActionFlipVertical", "&Flip", {}, "Flip Image", 440, "object-flip-vertical"},
      {"ActionDeskew", "&Deskew", {}, "Deskew Image", 450, "tessivane-deskew"},
      {"ActionDespeckle", "D&especkle", {}, "Despeckle Image", 460, "tessivane-despeckle"},
      {"ActionImageProcessing",
       "&Use Image Processor...",
       {},
       "Make External Image Processing",
       470,
       nullptr},
      {"ActionCustomProcessing", "&Plug-In...", {}, "Plug-In Custom Processing", 480, nullptr},
      {"ActionGuida", "&Help", Keys(Qt::Key_F1), "Help", 510, "help-contents"},
      {"ActionAbout", "&About...", {}, "About", 520, "help-about"},
      {"ActionView", "View...", {}, "", 610, nullptr},
      {"ActionMoveUp", "Move Prior", {}, "", 620, nullptr},
      {"ActionMoveDown", "Move Next", {}, "", 630, nullptr},
  };
  return entries;
}

std::map<QString, QAction*> CreateActions(QObject* owner) {
  std::map<QString, QAction*> actions;
  for (const TActionEntry& entry : ActionEntries()) {
    auto* action = new QAction(QString::fromUtf8(entry.Caption), owner);
    action->setObjectName(entry.Name);
    action->setShortcut(entry.Shortcut);
    action->setToolTip(entry.Hint);
    action->setStatusTip(entry.Hint);
    action->setProperty(kHelpContextProperty, entry.HelpContext);
    if (entry.IconName) action->setIcon(AppIcon(entry.IconName));
    actions.emplace(entry.Name, action);
  }
  actions.at("ActionLog")->setCheckable(true);
  return actions;
}
