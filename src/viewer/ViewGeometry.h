#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>

// The viewer's three coordinate spaces and the only conversions between them:
// - image: pixels of the page itself (0 .. page width, 0 .. page height);
// - display: pixels of the display copy, the page at the current zoom
//   (0 .. display width, 0 .. display height);
// - widget: pixels of the viewport the display copy is drawn on, where the
//   display copy's origin lies at its placement minus the scroll positions.
class TViewGeometry {
public:
  TViewGeometry() = default;
  TViewGeometry(QSize imageSize, QSize displaySize, QPoint placement, QPoint scroll)
      : FImageSize(imageSize), FDisplaySize(displaySize), FPlacement(placement), FScroll(scroll) {}

  QSize ImageSize() const { return FImageSize; }
  QSize DisplaySize() const { return FDisplaySize; }
  // Where the display copy's origin lies in the viewport when not scrolled.
  QPoint Placement() const { return FPlacement; }
  QPoint Scroll() const { return FScroll; }

  QPoint DisplayToWidget(QPoint display) const { return display + FPlacement - FScroll; }
  QPoint WidgetToDisplay(QPoint widget) const { return widget - FPlacement + FScroll; }
  QRect DisplayToWidget(const QRect& display) const {
    return display.translated(FPlacement - FScroll);
  }
  QRect WidgetToDisplay(const QRect& widget) const {
    return widget.translated(FScroll - FPlacement);
  }
  // Image positions of display positions and back, by the ratio of the sizes.
  QPointF DisplayToImage(QPointF display) const;
  QPointF ImageToDisplay(QPointF image) const;
  // The display copy's whole rectangle in display space, and its part a
  // viewport rectangle shows.
  QRect DisplayRect() const { return QRect(QPoint(0, 0), FDisplaySize); }
  QRect VisibleDisplayRect(const QRect& viewport) const {
    return WidgetToDisplay(viewport).intersected(DisplayRect());
  }

private:
  QSize FImageSize;
  QSize FDisplaySize;
  QPoint FPlacement;
  QPoint FScroll;
};

// The display copy's size for a page at a zoom in percent: each side
// Trunc(side x zoom / 100), at least one pixel and at most 2^24.
QSize DisplaySizeFor(QSize imageSize, float zoomPercent);

// Where a display copy is placed in a viewport: centred (Trunc of half the
// room) in each dimension it is smaller in when centred is set, else at 0.
QPoint PlacementFor(QSize displaySize, QSize viewport, bool centred);
