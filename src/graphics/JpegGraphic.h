#pragma once

#include "graphics/DibGraphic.h"

// JPEG files (JFIF). Pages of 256 grey levels and true colour can be written.
class TJpegGraphic : public TDibGraphic {
public:
  const char* ClassName() const override { return "TJpegGraphic"; }
  std::unique_ptr<TDibGraphic> CreateEmpty() const override;
  // FF D8 FF E0, then "JFIF" and a zero byte at offsets 6 to 10.
  bool IsFormatStream(TStream& stream) override;
  void LoadImage(TStream& stream, int imageNumber) override;
  void SaveToStream(TStream& stream) override;

  int Quality() const { return FQuality; }
  void SetQuality(int quality); // 1 to 100

private:
  int FQuality = 80;
};

// Writes a page of 256 grey levels (one component, the levels its palette
// shows) or true colour (three components) as JPEG data with its resolution;
// raises "JPEG image must be gray scale or true color" for other formats.
void WriteGraphicJpeg(const TDibGraphic& graphic, int quality, TStream& stream);
