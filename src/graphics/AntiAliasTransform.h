#pragma once

#include "graphics/ImageTransform.h"

#include <cstdint>
#include <vector>

// Reduces a black-and-white page to 256 grey levels, each destination pixel
// showing how much black its source area holds, so that thin strokes stay
// visible. Other pages are copied (Apply leaves them alone).
class TAntiAliasTransform : public TImageTransform {
public:
  const char* ClassName() const override { return "TAntiAliasTransform"; }
  void Apply(TDibGraphic& graphic) override;
  void ApplyOnDest(const TDibGraphic& source, TDibGraphic& dest) override;

  int OutWidth = 0; // 0: the source's width
  int OutHeight = 0;
};

// The grey level of an area of n source pixels of which b are black.
int AntiAliasGrey(int64_t n, int64_t b);

// The reduction's column or row map: map[i] = Trunc(i x source / dest), and
// map[dest] = source - 1.
std::vector<int> AreaMap(int source, int dest);
// Adds to ones[i] the set bits of row from bit xs[i] up to (not including)
// bit xs[i + 1], for every i below xs.size() - 1. The bounds never decrease
// and never pass the row's last pixel.
void AddRowOnes(const uint8_t* row, const std::vector<int>& xs, int64_t* ones);
