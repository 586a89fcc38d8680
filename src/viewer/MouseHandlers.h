#pragma once

#include <QPoint>
#include <QRect>
#include <Qt>

class QPainter;
class TImageScrollBox;

// What the viewer's mouse does. The viewer hands each handler the mouse's
// events in display coordinates (see ViewGeometry.h) before its own events.
class TMouseHandler {
public:
  TMouseHandler() = default;
  TMouseHandler(const TMouseHandler&) = delete;
  TMouseHandler& operator=(const TMouseHandler&) = delete;
  virtual ~TMouseHandler() = default;

  bool ButtonDown() const { return FButtonDown; }

  // Told before and after a redraw that changed the zoom or was forced.
  virtual void BeforeRedraw(TImageScrollBox& viewer);
  virtual void AfterRedraw(TImageScrollBox& viewer);
  virtual void MouseDown(TImageScrollBox& viewer, Qt::MouseButton button, QPoint display);
  virtual void MouseUp(TImageScrollBox& viewer, Qt::MouseButton button, QPoint display);
  virtual void MouseMove(TImageScrollBox& viewer, Qt::MouseButtons buttons, QPoint display);
  // Draws what the handler shows over the page (in widget coordinates).
  virtual void Paint(TImageScrollBox& viewer, QPainter& painter);
  // The cursor the page shows while this handler is installed.
  virtual Qt::CursorShape Cursor() const { return Qt::ArrowCursor; }

protected:
  bool FButtonDown = false;
};

// Drags the page with any button but the right one while a scroll bar shows.
class TDragMouseHandler : public TMouseHandler {
public:
  void MouseDown(TImageScrollBox& viewer, Qt::MouseButton button, QPoint display) override;
  void MouseUp(TImageScrollBox& viewer, Qt::MouseButton button, QPoint display) override;
  void MouseMove(TImageScrollBox& viewer, Qt::MouseButtons buttons, QPoint display) override;
  Qt::CursorShape Cursor() const override { return Qt::OpenHandCursor; }

private:
  QPoint FStart;
  bool FDragging = false;
};

// Selects a rectangle of the page with a dotted frame; on release a
// rectangle of positive width and height is cut out of the display copy and
// given to the viewer's OnQuickSelect. Does nothing while the page is centred.
class TQuickSelectMouseHandler : public TMouseHandler {
public:
  void MouseDown(TImageScrollBox& viewer, Qt::MouseButton button, QPoint display) override;
  void MouseUp(TImageScrollBox& viewer, Qt::MouseButton button, QPoint display) override;
  void MouseMove(TImageScrollBox& viewer, Qt::MouseButtons buttons, QPoint display) override;
  void Paint(TImageScrollBox& viewer, QPainter& painter) override;
  Qt::CursorShape Cursor() const override { return Qt::CrossCursor; }

  // The frame shown, in display coordinates, normalised; empty when none.
  QRect Frame() const;

private:
  QPoint FStart;
  QPoint FEnd;
  bool FSelecting = false;
};
