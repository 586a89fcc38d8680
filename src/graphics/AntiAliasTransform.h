#pragma once

#include "graphics/ImageTransform.h"

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
