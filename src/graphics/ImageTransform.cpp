#include "graphics/ImageTransform.h"

#include <algorithm>

void TImageTransform::Apply(TDibGraphic& graphic) {
  TDibGraphic result;
  ApplyOnDest(graphic, result);
  graphic.TakePage(result);
}

void TImageTransform::ApplyOnDest(const TDibGraphic&, TDibGraphic&) {
  throw EGraphicError(
      FormatText("Method %s not implemented for %s class", "\"ApplyOnDest\"", ClassName()));
}

void TImageTransform::Progress(int64_t done, int64_t first, int64_t last) {
  if (!ProgressHandler) return;
  const int percent =
      last <= first
          ? 0
          : static_cast<int>(std::clamp<int64_t>((done - first) * 100 / (last - first), 0, 100));
  if (percent == FLastPercent) return;
  FLastPercent = percent;
  ProgressHandler(*this, percent);
}
