#include "viewer/ViewGeometry.h"

#include "core/Rounding.h"

#include <algorithm>

QPointF TViewGeometry::DisplayToImage(QPointF display) const {
  if (FDisplaySize.isEmpty()) return {};
  return {display.x() * FImageSize.width() / FDisplaySize.width(),
          display.y() * FImageSize.height() / FDisplaySize.height()};
}

QPointF TViewGeometry::ImageToDisplay(QPointF image) const {
  if (FImageSize.isEmpty()) return {};
  return {image.x() * FDisplaySize.width() / FImageSize.width(),
          image.y() * FDisplaySize.height() / FImageSize.height()};
}

namespace {

// Widget coordinates of any point of the display copy stay far inside int.
constexpr int64_t kLargestDisplaySide = int64_t{1} << 24;

int DisplaySide(int side, float zoomPercent) {
  const int64_t scaled = Trunc(side * static_cast<double>(zoomPercent) / 100);
  return static_cast<int>(std::clamp<int64_t>(scaled, 1, kLargestDisplaySide));
}

} // namespace

QSize DisplaySizeFor(QSize imageSize, float zoomPercent) {
  return {DisplaySide(imageSize.width(), zoomPercent),
          DisplaySide(imageSize.height(), zoomPercent)};
}

QPoint PlacementFor(QSize displaySize, QSize viewport, bool centred) {
  if (!centred) return {0, 0};
  const auto half = [](int room) { return room > 0 ? static_cast<int>(Trunc(room / 2.0)) : 0; };
  return {half(viewport.width() - displaySize.width()),
          half(viewport.height() - displaySize.height())};
}
