#pragma once

#include <cstdint>
#include <vector>

// A point of a group being traced: its position and whether its neighbours
// have been visited yet.
struct TPointRecord {
  int32_t X;
  int32_t Y;
  int32_t Expanded; // 0 or 1
};

// An owning list of points in insertion order.
class TPointList {
public:
  void Add(int32_t x, int32_t y) { FItems.push_back({x, y, 0}); }
  TPointRecord& Item(int index) { return FItems.at(static_cast<size_t>(index)); }
  const TPointRecord& Item(int index) const { return FItems.at(static_cast<size_t>(index)); }
  int Count() const { return static_cast<int>(FItems.size()); }
  void Clear() { FItems.clear(); }

private:
  std::vector<TPointRecord> FItems;
};
