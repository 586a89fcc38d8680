#include "graphics/NegativeTransform.h"

void TNegativeTransform::Apply(TDibGraphic& graphic) {
  Progress(0, 0, 1);
  if (graphic.Empty()) {
    Progress(1, 0, 1);
    return;
  }
  switch (graphic.ImageFormat()) {
  case ifColor16:
  case ifColor256:
    for (int i = 0; i < graphic.PaletteSize(); ++i)
      graphic.SetPaletteColour(i, ~graphic.PaletteColour(i) & 0xFFFFFF);
    break;
  default: {
    // True colour: the pixels' bytes; bilevel and grey: the whole stride.
    const int bytes = graphic.ImageFormat() == ifTrueColor ? 3 * graphic.Width() : graphic.Stride();
    for (int y = 0; y < graphic.Height(); ++y) {
      uint8_t* row = graphic.ScanLine(y);
      for (int i = 0; i < bytes; ++i) row[i] = static_cast<uint8_t>(~row[i]);
      Progress(y + 1, 0, graphic.Height());
    }
    break;
  }
  }
  Progress(1, 0, 1);
}

void TNegativeTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& dest) {
  dest.Assign(source);
  Apply(dest);
}
