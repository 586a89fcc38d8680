#pragma once

#include "graphics/ImageTransform.h"

// Turns a page clockwise by RotationAngle degrees. Quarter turns move pixels
// exactly; any other angle maps every destination pixel back to the nearest
// source pixel (no interpolation), FillColour where it falls outside.
class TRotateTransform : public TImageTransform {
public:
  const char* ClassName() const override { return "TRotateTransform"; }
  void ApplyOnDest(const TDibGraphic& source, TDibGraphic& dest) override;

  double RotationAngle = 90;
  TColour FillColour = 0xFFFFFF;

private:
  void Turn(const TDibGraphic& source, TDibGraphic& dest, int degrees);
  void TurnFree(const TDibGraphic& source, TDibGraphic& dest, double degrees);
};
