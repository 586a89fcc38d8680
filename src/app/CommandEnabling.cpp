#include "app/CommandEnabling.h"

#include <QSet>

namespace {

enum class TRule { Always, BatchFolder, Selection, TwoThumbnails, Image, ImageOrTwoThumbnails };

TRule RuleOf(const QString& name) {
  static const QSet<QString> batchFolder = {"ActionScanToBatch", "ActionImportImages"};
  static const QSet<QString> selection = {"ActionDelete", "ActionMoveUp", "ActionMoveDown",
                                          "ActionView"};
  static const QSet<QString> twoThumbnails = {"ActionSaveBatchAs", "ActionImageProcessing"};
  static const QSet<QString> image = {"ActionPrint",     "ActionCopy",       "ActionZoomIn",
                                      "ActionZoomOut",   "ActionFitToWidth", "ActionFitToHeight",
                                      "ActionFitToPage", "ActionNoScale",    "ActionOriginalSize"};
  static const QSet<QString> pageCommands = {
      "ActionRotate90",       "ActionRotate180",    "ActionRotate270",
      "ActionFlipHorizontal", "ActionFlipVertical", "ActionInvert",
      "ActionDeskew",         "ActionDespeckle",    "ActionCustomProcessing"};
  if (batchFolder.contains(name)) return TRule::BatchFolder;
  if (selection.contains(name)) return TRule::Selection;
  if (twoThumbnails.contains(name)) return TRule::TwoThumbnails;
  if (image.contains(name)) return TRule::Image;
  if (pageCommands.contains(name)) return TRule::ImageOrTwoThumbnails;
  return TRule::Always;
}

} // namespace

bool CommandEnabled(const QString& actionName, const TEnablingState& state) {
  const bool twoThumbnails = state.ThumbnailCount >= 2;
  switch (RuleOf(actionName)) {
  case TRule::BatchFolder:
    return state.BatchFolderExists;
  case TRule::Selection:
    return state.ThumbnailSelected;
  case TRule::TwoThumbnails:
    return twoThumbnails;
  case TRule::Image:
    return state.ImageShown;
  case TRule::ImageOrTwoThumbnails:
    return state.ImageShown || twoThumbnails;
  case TRule::Always:
    break;
  }
  return true;
}
