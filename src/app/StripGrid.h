#pragma once

#include <QPoint>

// The cells of the thumbnail strip, in rows of a number of columns: the walk
// starts at (space, space) in column 0; each cell moves x on by space + size;
// after the last column of a row y moves on by space + size + 12 (room for
// the caption) and x returns to space. Positions are in the strip's content.
class TStripGrid {
public:
  TStripGrid(int size, int space, int columns);

  QPoint Cell() const { return {FX, FY}; }
  int Column() const { return FColumn; }
  void Advance();
  // Puts the walk at the k-th cell (counting from 0).
  void SeekTo(int k);

private:
  int FSize;
  int FSpace;
  int FColumns;
  int FX;
  int FY;
  int FColumn = 0;
};

// Thumbnails per row for a strip whose client is clientWidth pixels wide:
// (clientWidth - s) div (size + space), where s is the vertical scroll bar's
// width while the strip cannot scroll vertically (so there is room for the
// bar should it appear) and 0 otherwise; at least 1, and 1 too when size and
// space add up to nothing.
int StripColumnCount(int clientWidth, int scrollBarWidth, bool hasVerticalRange, int size,
                     int space);
