#pragma once

#include "graphics/DibGraphic.h"
#include "raster/TiffPage.h"

#include <array>
#include <climits>
#include <map>
#include <string>

// Compression of a TIFF graphic's pages. The numbers are the property's values.
enum TTiffCompression : uint8_t {
  tcNone = 0,
  tcPackbits = 1,
  tcGroup3_1D = 2,
  tcGroup3_2D = 3,
  tcGroup4 = 4,
  tcZLib = 5,
  tcJpeg = 6,
  tcLZW = 7
};
const char* CompressionText(TTiffCompression compression);
// Whether pages of the format may be written with the compression.
bool CompressionAllowed(TTiffCompression compression, TImageFormat format);
// The compression a page of the format gets when it is written without one
// of its own: Group 4 when bilevel, JPEG for 256 grey levels and true colour,
// LZW otherwise.
TTiffCompression CompressionForFormat(TImageFormat format);

// Single- and multi-page TIFF files. Failures are raised as ETiffError with
// "ETiffError " before the message.
class TTiffGraphic : public TDibGraphic {
public:
  // The kept text tags, and the first of the twenty application tags.
  static constexpr std::array<int, 9> kTextTags = {269, 270, 271, 272, 285, 305, 306, 315, 316};
  static constexpr int kFirstApplicationTag = 40000;
  static constexpr int kApplicationTagCount = 20;

  const char* ClassName() const override { return "TTiffGraphic"; }
  std::unique_ptr<TDibGraphic> CreateEmpty() const override;
  bool IsFormatStream(TStream& stream) override; // "MM", 0, "*" or "II", "*", 0
  int ImageCount(TStream& stream) override;      // the position is restored
  void LoadImage(TStream& stream, int imageNumber) override;
  // Reads page imageNumber (from 1) of a file already open, so that reading
  // every page of a file opens it once.
  void LoadFromTiffFile(TTiffFile& file, int imageNumber);
  // Sets Group 4 for black and white, Packbits for every other format.
  void NewImage(int width, int height, int xDpi, int yDpi, const std::vector<TColour>* palette,
                int format) override;
  void SaveToStream(TStream& stream) override;
  // Adds the image as the stream's next page (a plain save into an empty
  // stream). A failed append leaves the stream as it was.
  void AppendToStream(TStream& stream) override;
  // Adds the image as the file's next page, creating a missing file; other
  // writers appending at once all land (see AppendTiffPageToFile).
  void AppendToFile(const std::string& fileName) override;

  TTiffCompression Compression() const { return FCompression; }
  // Raises "%s compression not supported with %s images" for a combination
  // the format does not allow.
  void SetCompression(TTiffCompression compression);
  // The rows per strip found in the file (the largest integer when it has
  // none) or set; 0 or less writes no rows-per-strip tag.
  int RowsPerStrip() const { return FRowsPerStrip; }
  void SetRowsPerStrip(int rows); // kept between 1 and the height

  // Text of a kept tag (kTextTags or an application tag); empty when absent.
  std::string Tag(int tag) const;
  void SetTag(int tag, const std::string& text);
  const std::map<int, std::string>& Tags() const { return FTags; }
  // The viewer's annotation text lives in the first application tag.
  std::string Annotation() const { return Tag(kFirstApplicationTag); }

protected:
  void CopyFormatProperties(const TDibGraphic& source) override;

private:
  void LoadPage(TTiffFile& file, int imageNumber);
  void WriteTiff(TStream& stream, bool append);

  TTiffCompression FCompression = tcGroup4;
  int FRowsPerStrip = INT_MAX;
  std::map<int, std::string> FTags;
};

// Registers the application tags with libtiff so that they are read and
// written as text; done once, before any TIFF is opened by this framework.
void RegisterTiffApplicationTags();
