#pragma once

#include "graphics/ImageTransform.h"

// Scales a page to OutWidth x OutHeight. Plain: each destination pixel takes
// one source pixel (rows and columns dropped or repeated), except that true
// colour pages of more than 1024 pixels average the source area each
// destination pixel covers. Smooth: two-pass separable filtered rescaling
// with the filter of FilterIndex. The destination has ForcedFormat when
// ForceFormat is set, else the source's format (and palette).
class TResizeTransform : public TImageTransform {
public:
  const char* ClassName() const override { return "TResizeTransform"; }
  void ApplyOnDest(const TDibGraphic& source, TDibGraphic& dest) override;

  int OutWidth = 300;
  int OutHeight = 200;
  bool Smooth = false;
  int FilterIndex = 0;
  bool ForceFormat = false;
  TImageFormat ForcedFormat = ifTrueColor;

private:
  void Stretch(const TDibGraphic& source, TDibGraphic& dest);
  void Filter(const TDibGraphic& source, TDibGraphic& dest);
};

// The smooth resize's filters: 0 triangle, 1 Hermite, 2 bell, 3 cubic
// B-spline, 4 Lanczos3, 5 Mitchell (B = C = 1/3).
constexpr int kResizeFilterCount = 6;
double ResizeFilter(int filterIndex, double x);
double ResizeFilterSupport(int filterIndex);

// Whether the smooth resize may use the processor's vector instructions
// (AVX2) where it has them; allowed unless turned off. The results are the
// same either way: turning them off gives the plain form, to compare with.
void AllowResizeVectorInstructions(bool allowed);
