#pragma once

#include "graphics/ImageTransform.h"

// The negative of a page, in place: grey and bilevel pages have every byte
// of their rows complemented, palette-colour pages their palette, true
// colour pages each pixel's red, green and blue.
class TNegativeTransform : public TImageTransform {
public:
  const char* ClassName() const override { return "TNegativeTransform"; }
  void Apply(TDibGraphic& graphic) override;
  void ApplyOnDest(const TDibGraphic& source, TDibGraphic& dest) override;
};
