#pragma once

#include <cstdint>
#include <vector>

// A rectangle of pixels, both corners inclusive: columns Left to Right, rows
// Top to Bottom.
struct TPixelRect {
  int32_t Left;
  int32_t Top;
  int32_t Right;
  int32_t Bottom;
};

// A group of 8-connected black pixels: its bounding rectangle and how many
// pixels it has.
struct TBlob {
  TPixelRect Rect;
  int32_t PixelCount;

  int32_t Width() const { return Rect.Right - Rect.Left + 1; }
  int32_t Height() const { return Rect.Bottom - Rect.Top + 1; }
};

// An owning list of groups in the order they were found.
class TBlobList {
public:
  void Add(const TPixelRect& rect, int32_t pixelCount) { FItems.push_back({rect, pixelCount}); }
  const TBlob& Item(int index) const { return FItems.at(static_cast<size_t>(index)); }
  int Count() const { return static_cast<int>(FItems.size()); }
  void Clear() { FItems.clear(); }

private:
  std::vector<TBlob> FItems;
};
