#pragma once

#include "graphics/DibGraphic.h"

// Windows bitmap files (".bmp"). Writing is the graphic's own DIB layout.
class TBitmapGraphic : public TDibGraphic {
public:
  const char* ClassName() const override { return "TBitmapGraphic"; }
  std::unique_ptr<TDibGraphic> CreateEmpty() const override;
  bool IsFormatStream(TStream& stream) override; // "BM"
  void LoadImage(TStream& stream, int imageNumber) override;
};
