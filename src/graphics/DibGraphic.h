#pragma once

#include "core/PageHandle.h"
#include "core/Stream.h"
#include "graphics/GraphicTypes.h"
#include "raster/DIB.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QImage;
class QPainter;
class QRectF;
class TRgbToPaletteConverter;

// The page object of the user interface: one image held in DIB layout (a
// packed bitmap whose rows lie bottom-up, each padded to 4 bytes) with one of
// the six image formats, its palette and its resolution. Subclasses add file
// formats; the registry (GraphicRegistry.h) picks one by file extension.
//
// Pixel access takes row 0 as the top. Coordinates must lie inside the image.
class TDibGraphic {
public:
  TDibGraphic();
  TDibGraphic(const TDibGraphic&) = delete;
  TDibGraphic& operator=(const TDibGraphic&) = delete;
  virtual ~TDibGraphic();

  virtual const char* ClassName() const { return "TDibGraphic"; }
  // An empty graphic of the same class.
  virtual std::unique_ptr<TDibGraphic> CreateEmpty() const;

  // Format operations. IsFormatStream restores the stream's position; image
  // numbers count from 1.
  virtual bool IsFormatStream(TStream& stream);
  virtual int ImageCount(TStream& stream);
  virtual void LoadImage(TStream& stream, int imageNumber);
  virtual void AppendToStream(TStream& stream);
  // Replaces the image by a blank one. A dpi of 0 stands for the screen's
  // logical dots per inch; palette null (or short) takes the format's default
  // (or black) entries. On failure the graphic is left empty.
  virtual void NewImage(int width, int height, int xDpi, int yDpi,
                        const std::vector<TColour>* palette, int format);
  // Writes the image in its own DIB layout as a bitmap file.
  virtual void SaveToStream(TStream& stream);

  // Loads ImageCount images into the frames when MultiImage is set, else
  // the image numbered ImageToLoad.
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const std::string& fileName);
  // The file appears whole or not at all.
  void SaveToFile(const std::string& fileName);
  // Appends the image to an existing file, opened for reading and writing
  // under a lock; a missing file is saved as new.
  virtual void AppendToFile(const std::string& fileName);

  // Geometry and resolution
  bool Empty() const { return FDib.Empty(); }
  int Width() const { return FDib.Width(); }
  int Height() const { return FDib.Height(); }
  void SetWidth(int width);   // raises: dimensions change only through NewImage
  void SetHeight(int height); // likewise
  TImageFormat ImageFormat() const { return FImageFormat; }
  int BitCount() const { return FDib.BitCount(); }
  int Stride() const { return FDib.Stride(); }
  int XDpi() const;
  int YDpi() const;
  int32_t XPelsPerMetre() const;
  int32_t YPelsPerMetre() const;
  void SetPelsPerMetre(int32_t x, int32_t y);
  void SetResolution(int xDpi, int yDpi); // 0: the screen's logical dots per inch

  // Palette (2, 16 or 256 entries; none for true colour)
  int PaletteSize() const { return Empty() ? 0 : FDib.ColorCount(); }
  TColour PaletteColour(int index) const { return FDib.PaletteEntry(index) & 0xFFFFFF; }
  std::vector<TColour> Palette() const;
  void SetPaletteColour(int index, TColour colour);
  int NearestIndex(TColour colour);

  // Pixels. Colour values for every format: a palette image gives its
  // entry's colour and stores the nearest entry. Indices only for palette
  // images ("The image does not have a palette" otherwise). Values: the
  // index for palette images, the colour for true colour.
  TColour Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColour colour);
  int PixelIndex(int x, int y) const;
  void SetPixelIndex(int x, int y, int index);
  uint32_t PixelValue(int x, int y) const;
  void SetPixelValue(int x, int y, uint32_t value);
  uint8_t* ScanLine(int y) { return FDib.ScanLine(y); }
  const uint8_t* ScanLine(int y) const { return FDib.ScanLine(y); }
  // The pixels and palette as a raster page, for coders that take one.
  const TDIB& Dib() const { return FDib; }

  // Copies, conversions and drawing
  void Assign(const TDibGraphic& source);
  // Takes the page of source (pixels, palette, format, resolution) without
  // copying it, leaving source empty.
  void TakePage(TDibGraphic& source);
  void Assign(const QImage& image);
  QImage ToQImage() const;
  // Stretches the image onto the target rectangle: nearest neighbour, or
  // smoothed (for reduced views of bilevel pages, say).
  void Draw(QPainter& painter, const QRectF& target, bool smooth = false) const;

  // Page handles: a packed DIB in one relocatable block. Export makes a new
  // block that the caller owns; import copies the block and leaves it alone.
  TPageHandle ExportPageHandle() const;
  void ImportPageHandle(TSV_HANDLE handle);
  // The same as a raster page, and back: the graphic keeps its own copy.
  void ImportDib(const TDIB& dib, TImageFormat format, int xDpi, int yDpi);
  static TImageFormat FormatForBits(int bits, const std::vector<TColour>& palette);

  // Frames
  bool MultiImage() const { return FMultiImage; }
  void SetMultiImage(bool multiImage) { FMultiImage = multiImage; }
  int ImageToLoad() const { return FImageToLoad; }
  void SetImageToLoad(int imageNumber) { FImageToLoad = imageNumber; }
  int FrameCount() const { return static_cast<int>(FFrames.size()); }
  int CurrentFrame() const { return FCurrentFrame + 1; } // 0: none
  void SelectFrame(int frameNumber);
  // Called whenever a frame has been copied into the graphic.
  std::function<void(TDibGraphic& sender)> OnChange;

protected:
  // Whether the stream, from its position, starts with signature; a '?' in
  // the signature stands for any byte. The position is restored.
  static bool StartsWith(TStream& stream, std::string_view signature);
  // Copies what a format keeps besides the pixels (a TIFF page's compression,
  // say) when a frame is shown.
  virtual void CopyFormatProperties(const TDibGraphic& source);

private:
  void Release();

  TDIB FDib;
  TImageFormat FImageFormat = ifTrueColor;
  std::unique_ptr<TRgbToPaletteConverter> FConverter;
  std::vector<std::unique_ptr<TDibGraphic>> FFrames;
  int FCurrentFrame = -1;
  int FImageToLoad = 1;
  bool FMultiImage = false;
};

// Pixels per metre for a resolution in dots per inch, and back.
int32_t PelsPerMetre(int dpi);
int DpiOfPelsPerMetre(int32_t pelsPerMetre);
// The screen's logical dots per inch (96 without a screen).
int ScreenDpiX();
int ScreenDpiY();
