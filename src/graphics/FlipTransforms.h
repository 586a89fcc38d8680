#pragma once

#include "graphics/ImageTransform.h"

// Mirrors a page left to right: pixel (x, y) goes to (width - 1 - x, y).
class TFlipHorizontalTransform : public TImageTransform {
public:
  const char* ClassName() const override { return "TFlipHorizontalTransform"; }
  void ApplyOnDest(const TDibGraphic& source, TDibGraphic& dest) override;
};

// Flips a page top to bottom: pixel (x, y) goes to (x, height - 1 - y).
class TFlipVerticalTransform : public TImageTransform {
public:
  const char* ClassName() const override { return "TFlipVerticalTransform"; }
  void ApplyOnDest(const TDibGraphic& source, TDibGraphic& dest) override;
};
