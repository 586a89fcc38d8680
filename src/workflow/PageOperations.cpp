#include "workflow/PageOperations.h"

#include "graphics/DibGraphic.h"
#include "graphics/FlipTransforms.h"
#include "graphics/NegativeTransform.h"
#include "graphics/RasterCopy.h"
#include "graphics/RotateTransform.h"
#include "raster/DIB.h"

#include <functional>

namespace {

constexpr double kDeskewMaxAngle = 5.0;

void Rotate(TDibGraphic& graphic, double angle) {
  TRotateTransform transform;
  transform.RotationAngle = angle;
  transform.Apply(graphic);
}

// Runs a raster algorithm on a copy of the page and takes the result back;
// the graphic is left alone when the algorithm fails.
void OnRasterCopy(TDibGraphic& graphic, const std::function<void(TDIB&)>& algorithm) {
  TDIB dib;
  CopyToRaster(graphic, dib);
  algorithm(dib);
  graphic.ImportPageHandle(dib.Handle());
}

} // namespace

const std::vector<TPageCommandInfo>& PageCommands() {
  static const std::vector<TPageCommandInfo> commands = {
      {TPageCommand::Rotate90, "ActionRotate90", "rotate90"},
      {TPageCommand::Rotate180, "ActionRotate180", "rotate180"},
      {TPageCommand::Rotate270, "ActionRotate270", "rotate270"},
      {TPageCommand::FlipHorizontal, "ActionFlipHorizontal", "mirror"},
      {TPageCommand::FlipVertical, "ActionFlipVertical", "flip"},
      {TPageCommand::Invert, "ActionInvert", "negative"},
      {TPageCommand::Deskew, "ActionDeskew", "deskew"},
      {TPageCommand::Despeckle, "ActionDespeckle", "despeckle"},
  };
  return commands;
}

std::optional<TPageCommand> PageCommandForWord(const std::string& word) {
  for (const TPageCommandInfo& info : PageCommands())
    if (word == info.Word) return info.Command;
  return std::nullopt;
}

int RunPageCommand(TPageCommand command, TDibGraphic& graphic) {
  switch (command) {
  case TPageCommand::Rotate90:
    Rotate(graphic, 90.0);
    return 0;
  case TPageCommand::Rotate180:
    Rotate(graphic, 180.0);
    return 0;
  case TPageCommand::Rotate270:
    Rotate(graphic, 270.0);
    return 0;
  case TPageCommand::FlipHorizontal: {
    TFlipHorizontalTransform transform;
    transform.Apply(graphic);
    return 0;
  }
  case TPageCommand::FlipVertical: {
    TFlipVerticalTransform transform;
    transform.Apply(graphic);
    return 0;
  }
  case TPageCommand::Invert: {
    TNegativeTransform transform;
    transform.Apply(graphic);
    return 0;
  }
  case TPageCommand::Deskew:
    OnRasterCopy(graphic, [](TDIB& dib) { dib.Deskew(true, true, kDeskewMaxAngle); });
    return 0;
  case TPageCommand::Despeckle:
    // Only bilevel pages have specks to remove; other pages are not touched.
    if (graphic.BitCount() != 1) return 1;
    OnRasterCopy(graphic, [](TDIB& dib) { dib.Despeckle(-1, -1); });
    return 0;
  }
  return 1;
}

TPageOperation PageOperation(TPageCommand command) {
  return [command](TDibGraphic& graphic, const TPageContext*) {
    return RunPageCommand(command, graphic);
  };
}
