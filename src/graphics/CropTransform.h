#pragma once

#include "graphics/ImageTransform.h"

// Cuts a rectangle out of a page: with CropByRect the rectangle from
// (CropLeft, CropTop) to (CropRight, CropBottom), exclusive; otherwise the
// four values are margins taken off the page's sides.
class TCropTransform : public TImageTransform {
public:
  const char* ClassName() const override { return "TCropTransform"; }
  void ApplyOnDest(const TDibGraphic& source, TDibGraphic& dest) override;

  bool CropByRect = false;
  int CropLeft = 0;
  int CropTop = 0;
  int CropRight = 0;
  int CropBottom = 0;
};
