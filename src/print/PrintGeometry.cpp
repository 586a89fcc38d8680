#include "print/PrintGeometry.h"

#include "core/Exception.h"
#include "core/Rounding.h"

#include <algorithm>
#include <limits>

namespace {

int ToInt(double value) {
  const int64_t truncated = Trunc(value);
  if (truncated < std::numeric_limits<int>::min() || truncated > std::numeric_limits<int>::max())
    throw EMathError("The printed size is out of range");
  return static_cast<int>(truncated);
}

double Ratio(double numerator, double denominator) {
  if (denominator == 0.0) throw EMathError("Division by zero");
  return numerator / denominator;
}

void SizeByResolution(const TPictureSize& picture, const TPrinterMetrics& metrics,
                      TPrintRect& rect) {
  rect.Width = ToInt(picture.Width * Ratio(metrics.PixelsPerInchX, picture.XDpi));
  rect.Height = ToInt(picture.Height * Ratio(metrics.PixelsPerInchY, picture.YDpi));
  // The factor is kept in single precision, as the printed sizes are figured from it.
  const float factor = static_cast<float>(
      std::min(Ratio(metrics.HorzRes, rect.Width), Ratio(metrics.VertRes, rect.Height)));
  if (factor < 1.0f) {
    rect.Width = ToInt(rect.Width * static_cast<double>(factor));
    rect.Height = ToInt(rect.Height * static_cast<double>(factor));
  }
}

void SizeToFit(const TPictureSize& picture, const TPrinterMetrics& metrics, TPrintRect& rect) {
  rect.Width = metrics.HorzRes;
  rect.Height = ToInt(Ratio(static_cast<double>(picture.Height) * metrics.HorzRes, picture.Width));
  if (rect.Height >= metrics.VertRes) {
    rect.Height = metrics.VertRes;
    rect.Width = ToInt(Ratio(static_cast<double>(picture.Width) * metrics.VertRes, picture.Height));
  }
}

} // namespace

TPrintRect PrintRectangle(const TPictureSize& picture, const TPrinterMetrics& metrics,
                          const TPrintPlacement& placement) {
  TPrintRect rect;
  switch (placement.Mode) {
  case psByResolution:
    SizeByResolution(picture, metrics, rect);
    break;
  case psFitToPage:
    SizeToFit(picture, metrics, rect);
    break;
  case psFixedWidth:
    rect.Width = ToInt(metrics.PixelsPerInchX * placement.WidthInches);
    rect.Height = ToInt(Ratio(static_cast<double>(picture.Height) * rect.Width, picture.Width));
    break;
  case psFixedHeight:
    rect.Height = ToInt(metrics.PixelsPerInchY * placement.HeightInches);
    rect.Width = ToInt(Ratio(static_cast<double>(picture.Width) * rect.Height, picture.Height));
    break;
  case psFixedSize:
    rect.Width = ToInt(metrics.PixelsPerInchX * placement.WidthInches);
    rect.Height = ToInt(metrics.PixelsPerInchY * placement.HeightInches);
    break;
  case psStretchToPage:
    rect.Width = metrics.HorzRes - 1;
    rect.Height = metrics.VertRes - 1;
    break;
  default:
    throw Exception("Unknown print size mode");
  }
  if (placement.Mode != psFitToPage && placement.Mode != psStretchToPage) {
    rect.Left = std::max(0, ToInt(metrics.PixelsPerInchX * placement.LeftMargin) - metrics.OffsetX);
    rect.Top = std::max(0, ToInt(metrics.PixelsPerInchY * placement.TopMargin) - metrics.OffsetY);
  }
  return rect;
}
