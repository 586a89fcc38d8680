#pragma once

#include "graphics/DibGraphic.h"
#include "viewer/MouseHandlers.h"
#include "viewer/ViewGeometry.h"

#include <QAbstractScrollArea>
#include <functional>
#include <memory>
#include <string>

class QTimer;
class TGraphicDocument;
class TReadAhead;

// The zoom modes, in this order.
enum TZoomMode { zmOriginalSize, zmFullPage, zmFitWidth, zmFitHeight, zmPercent, zmFitToPage };

// The kinds of mouse handler the viewer knows; rubber band and annotation
// handlers are installed by whoever makes them (SetMouseHandler).
enum TMouseHandlerKind { mhDrag, mhQuickSelect, mhRubberband, mhAnnotation, mhNone };

// The scrolling, zooming page viewer. It owns the current page (never
// absent: an empty graphic when nothing is shown), loads it from a file by
// name and page number through the format table, shows it at the zoom of
// its zoom mode, and routes the mouse to an exchangeable handler.
//
// The page is never drawn by scaling it whole: only the part of the display
// copy the viewport shows is built, pixel for pixel what the whole display
// copy would hold there (a bilevel page with AntiAliased through the
// anti-aliased reduction, any other page stretched nearest-neighbour, true
// colour pages of more than 1024 pixels averaged).
//
// Events are plain callbacks, called on the user-interface thread; the
// first argument is the viewer.
class TImageScrollBox : public QAbstractScrollArea {
  Q_OBJECT

public:
  using TNotifyEvent = std::function<void(TImageScrollBox* Sender)>;
  using TZoomChangeEvent = std::function<void(TImageScrollBox* Sender, float Zoom)>;
  using TBeforeSaveEvent = std::function<void(TImageScrollBox* Sender, TDibGraphic& Graphic)>;
  using TGraphicEvent = std::function<void(TDibGraphic& Graphic)>;
  // The rectangle and the graphic are in display pixels, at the current zoom.
  using TQuickSelectEvent =
      std::function<void(TImageScrollBox* Sender, TDibGraphic& Graphic, const QRect& Rect)>;
  // Mouse positions in display coordinates.
  using TImageMouseEvent = std::function<void(TImageScrollBox* Sender, Qt::MouseButton Button,
                                              Qt::KeyboardModifiers Modifiers, QPoint Display)>;
  using TImageMouseMoveEvent =
      std::function<void(TImageScrollBox* Sender, Qt::KeyboardModifiers Modifiers, QPoint Display)>;
  using TRectEvent = std::function<void(const QRect& Rect)>;
  using TProgressEvent = std::function<void(TImageScrollBox* Sender, int Percent)>;

  // 100 x 100 pixels, an empty page, the drag handler, zmOriginalSize at 100 %.
  explicit TImageScrollBox(QWidget* parent = nullptr);
  ~TImageScrollBox() override;

  // Files. A non-empty name loads page 1 of the file, an empty one empties
  // the page, clears the annotation text and redraws.
  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& fileName);
  // Page numbers count from 1; 0 loads every page as a frame. A failed read
  // leaves an empty page and raises the reader's error.
  void LoadPage(const std::string& fileName, int pageNumber);
  // 1 for a file whose extension has no graphic class.
  int PageCount(const std::string& fileName);
  // Naming a file starts reading it in the background at the lowest
  // priority; a later name supersedes an earlier one. Loading that file next
  // takes the page read ahead without reading the file again.
  const std::string& ReadAheadFileName() const { return FReadAheadFileName; }
  void SetReadAheadFileName(const std::string& fileName);
  // Whether the read-ahead page has been published.
  bool ReadAheadReady() const;
  // Writes the page with the class registered for the file's extension (a
  // TIFF file also gets the annotation text); raises "Graphic files of %s
  // format are not supported or not registered" for any other extension.
  void SaveToFile(const std::string& fileName);

  // The page shown; page commands change it and call Redraw.
  TDibGraphic& Graphic() { return *FGraphic; }
  const TDibGraphic& Graphic() const { return *FGraphic; }
  bool Empty() const { return FGraphic->Empty(); }
  const std::string& AnnotationText() const { return FAnnotationText; }
  void SetAnnotationText(const std::string& text) { FAnnotationText = text; }

  // View settings
  bool AntiAliased() const { return FAntiAliased; }
  void SetAntiAliased(bool antiAliased); // redraws only a bilevel page
  TZoomMode ZoomMode() const { return FZoomMode; }
  void SetZoomMode(TZoomMode mode); // redraws when it changes
  // The zoom shown, in percent.
  float ZoomPercent() const { return FZoomPercent; }
  // Ignored when already zmPercent at that value, on an empty page, at 0.1
  // or below and when not a number; otherwise switches to zmPercent and
  // calls OnZoomChange.
  void SetZoomPercent(float zoom);
  bool Centered() const { return FCentered; }
  void SetCentered(bool centered);
  // Recomputes the zoom and rebuilds the view; force tells the mouse
  // handler even when the zoom stays.
  void Redraw(bool force = false);

  // Geometry of what is shown (see ViewGeometry.h).
  TViewGeometry Geometry() const;
  QSize DisplaySize() const { return FDisplaySize; }
  // The image's rectangle in the viewport, unscrolled: the display copy's,
  // grown to the largest frame's while frames are shown in turn.
  QRect ImageRect() const { return FImageRect; }
  bool ImageVisible() const { return FImageVisible; }
  // A part of the display copy as a true-colour graphic, the same pixels
  // the whole display copy holds there.
  std::unique_ptr<TDibGraphic> DisplayCopy(const QRect& displayRect) const;

  // Mouse handlers. An owned handler is freed when replaced and with the viewer.
  TMouseHandlerKind MouseHandlerKind() const { return FMouseHandlerKind; }
  void SetMouseHandlerKind(TMouseHandlerKind kind); // drag, quick select or none
  TMouseHandler* MouseHandler() const { return FMouseHandler; }
  void SetMouseHandler(TMouseHandler* handler, TMouseHandlerKind kind);
  bool MouseHandlerOwnership() const { return FMouseHandlerOwnership; }
  void SetMouseHandlerOwnership(bool owns) { FMouseHandlerOwnership = owns; }

  // Scrolls by a distance in display pixels and updates the view at once.
  void ScrollBy(QPoint delta);
  bool HorizontalBarShown() const { return FHorizontalBar; }
  bool VerticalBarShown() const { return FVerticalBar; }

  TZoomChangeEvent OnZoomChange;
  TBeforeSaveEvent OnBeforeSave;
  TGraphicEvent OnRedraw;
  TGraphicEvent OnNewGraphic;
  TQuickSelectEvent OnQuickSelect;
  TImageMouseMoveEvent OnImageMouseMove;
  TImageMouseEvent OnImageMouseDown;
  TImageMouseEvent OnImageMouseUp;
  TImageMouseEvent OnImageDblClick;
  TRectEvent OnRubberbandChange;
  TProgressEvent OnReadWriteProgress;
  TNotifyEvent OnBeginScroll;
  TNotifyEvent OnEndScroll;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

private:
  void ReplaceGraphic(std::unique_ptr<TDibGraphic> graphic);
  void AfterLoad(const std::string& fileName);
  std::unique_ptr<TDibGraphic> ReadPage(const std::string& fileName, int pageNumber);
  float ComputeZoom();
  QSize ClientSize(bool horizontalBar, bool verticalBar) const;
  void ShowBars(bool horizontal, bool vertical);
  void BeginScroll();
  void EndScroll();
  void AnimateFrame();
  void InvalidateDisplayCache();
  void InstallHandler(TMouseHandler* handler, TMouseHandlerKind kind, bool owned);
  bool InsideImage(QPoint widget) const;

  std::unique_ptr<TDibGraphic> FGraphic;
  std::unique_ptr<TGraphicDocument> FDocument; // the file the pages come from, kept open
  std::unique_ptr<TReadAhead> FReadAhead;
  std::string FFileName;
  std::string FReadAheadFileName;
  std::string FAnnotationText;
  bool FAntiAliased = false;
  TZoomMode FZoomMode = zmOriginalSize;
  float FZoomPercent = 100;
  float FPreviousZoom = 0;
  bool FCentered = false;
  QSize FDisplaySize;
  QSize FLargestFrame; // in image pixels, while the page has several frames
  QRect FImageRect;
  bool FImageVisible = false;
  bool FRedrawing = false;
  bool FScrolling = false;
  bool FHorizontalBar = false;
  bool FVerticalBar = false;
  TMouseHandler* FMouseHandler = nullptr;
  std::unique_ptr<TMouseHandler> FOwnedHandler;
  TMouseHandlerKind FMouseHandlerKind = mhNone;
  bool FMouseHandlerOwnership = true;
  bool FMouseCaptured = false; // a press on the page is being followed
  QTimer* FFrameTimer = nullptr;
  // The part of the display copy last built, and where it lies.
  struct TDisplayCache;
  std::unique_ptr<TDisplayCache> FCache;
};
