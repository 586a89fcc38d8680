#include "pdf/PDFFaxDecode.h"

#include "core/MemoryStream.h"
#include "pdf/PDFException.h"
#include "raster/TiffBinding.h"

#include <vector>

namespace {

// Whether the data begins with an end-of-line code (eleven or more 0 bits,
// then a 1), which one-dimensional data without them never does.
bool StartsWithEndOfLine(std::span<const uint8_t> data) {
  int zeros = 0;
  for (uint8_t byte : data) {
    for (int bit = 7; bit >= 0; --bit) {
      if (byte >> bit & 1) return zeros >= 11;
      ++zeros;
    }
    if (zeros > 64) return false;
  }
  return false;
}

} // namespace

void DecodeFaxData(std::span<const uint8_t> data, const TFaxParameters& parameters, int height,
                   TDIB& page) {
  const int width = parameters.Columns;
  if (width < 1 || height < 1) throw EPDFReadError("PDF file damaged: bad CCITT image size");
  CheckImageSize(width, height, 1);
  const bool endOfLine = parameters.EndOfLine || StartsWithEndOfLine(data);
  uint16_t compression = COMPRESSION_CCITTFAX4;
  uint32_t options = 0;
  int mode = parameters.EncodedByteAlign ? FAXMODE_BYTEALIGN : FAXMODE_CLASSIC;
  if (parameters.K == 0 && !endOfLine) {
    compression = COMPRESSION_CCITTRLE;
    mode |= FAXMODE_NORTC | FAXMODE_NOEOL;
  } else if (parameters.K >= 0) {
    compression = COMPRESSION_CCITTFAX3;
    options = (parameters.K > 0 ? GROUP3OPT_2DENCODING : 0) |
              (parameters.EncodedByteAlign ? GROUP3OPT_FILLBITS : 0);
    mode = FAXMODE_CLASSIC;
  }

  TMemoryStream file;
  {
    TTiffHandle writer(file, "w");
    if (!writer.IsOpen()) throw EPDFReadError("PDF image: TIFFOpen");
    TIFF* tiff = writer.Get();
    SetTiffIntField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
    SetTiffIntField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
    SetTiffIntField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    SetTiffIntField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    SetTiffIntField(tiff, TIFFTAG_COMPRESSION, compression);
    SetTiffIntField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    SetTiffIntField(tiff, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    SetTiffIntField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(height));
    if (compression == COMPRESSION_CCITTFAX3) SetTiffIntField(tiff, TIFFTAG_GROUP3OPTIONS, options);
    std::vector<uint8_t> strip(data.begin(), data.end());
    if (strip.empty()) strip.push_back(0);
    if (TIFFWriteRawStrip(tiff, 0, strip.data(), static_cast<tmsize_t>(strip.size())) < 0 ||
        !TIFFWriteDirectory(tiff))
      throw EPDFReadError("PDF image: TIFFWriteRawStrip");
  }
  file.SetPosition(0);
  TTiffHandle reader(file, "r");
  if (!reader.IsOpen()) throw EPDFReadError("PDF image: TIFFOpen");
  TIFFSetField(reader.Get(), TIFFTAG_FAXMODE, mode);
  const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
  std::vector<uint8_t> rows(rowBytes * static_cast<size_t>(height));
  const tmsize_t read =
      TIFFReadEncodedStrip(reader.Get(), 0, rows.data(), static_cast<tmsize_t>(rows.size()));
  if (read < 0) throw EPDFReadError("PDF file damaged: bad CCITT data");
  if (reader.DataMissing()) throw EPDFReadError("PDF file damaged: image data cut short");

  page.NewImage(width, height, pf1bit, 0, 0);
  page.SetPaletteEntry(0, PaletteColor(0, 0, 0));
  page.SetPaletteEntry(1, PaletteColor(255, 255, 255));
  // libtiff gives 1 for black; the filter's samples are 0 for black unless BlackIs1.
  const uint8_t flip = parameters.BlackIs1 ? 0x00 : 0xFF;
  for (int y = 0; y < height; ++y) {
    const uint8_t* source = rows.data() + rowBytes * static_cast<size_t>(y);
    uint8_t* row = page.ScanLine(y);
    for (size_t i = 0; i < rowBytes; ++i) row[i] = source[i] ^ flip;
  }
}
