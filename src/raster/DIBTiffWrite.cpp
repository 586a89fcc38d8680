#include "raster/DIB.h"

#include "core/FileStream.h"
#include "core/Rounding.h"
#include "raster/RowOps.h"
#include "raster/TiffAppend.h"
#include "raster/TiffBinding.h"

#include <ctime>
#include <vector>

namespace {

struct TCompressionChoice {
  uint16_t tag = COMPRESSION_NONE;
  int t4Options = -1; // -1: no T4Options tag
  bool fax = false;
  bool jpeg = false;
};

TCompressionChoice ResolveCompression(int code, TPixelFormat format) {
  if (code == 0) {
    switch (format) {
    case pf1bit:
      code = 5;
      break;
    case pf4bit:
      code = 2;
      break;
    case pf8bit:
    case pf24bit:
      code = 7;
      break;
    default:
      code = 1;
      break;
    }
  }
  switch (code) {
  case 2:
    return {COMPRESSION_PACKBITS, -1, false, false};
  case 3:
    return {COMPRESSION_CCITTFAX3, 0, true, false};
  case 4:
    return {COMPRESSION_CCITTFAX3, 1, true, false};
  case 5:
    return {COMPRESSION_CCITTFAX4, -1, true, false};
  case 6:
    return {COMPRESSION_DEFLATE, -1, false, false};
  case 7:
    return {COMPRESSION_JPEG, -1, false, true};
  case 8:
    return {COMPRESSION_LZW, -1, false, false};
  default:
    return {COMPRESSION_NONE, -1, false, false};
  }
}

std::string TiffDateTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local);
  return text;
}

// Whether a 4- or 8-bit page's palette is a grey ramp, so that its pixel
// values can be stored as grey levels: the ramp new pages get, or the exact
// ramp of grey TIFF files (i x 17 for 16 levels).
bool HasGreyRamp(const uint32_t* palette, int colours) {
  bool newImageRamp = true, exactRamp = true;
  for (int i = 0; i < colours; ++i) {
    auto ramp = static_cast<uint8_t>(Round(i * 256.0 / colours));
    auto exact = static_cast<uint8_t>(i * 255 / (colours - 1));
    uint32_t entry = palette[i] & 0xFFFFFF;
    newImageRamp = newImageRamp && entry == PaletteColor(ramp, ramp, ramp);
    exactRamp = exactRamp && entry == PaletteColor(exact, exact, exact);
  }
  return newImageRamp || exactRamp;
}

} // namespace

void TDIB::SaveToTiffStream(TStream& stream, bool append, int rowsPerStrip, int compression) {
  RequireNonEmptyPage();
  if (append && stream.Size() > 0) {
    AppendTiffPage(
        stream, [&](TStream& target) { WriteTiffPage(target, true, rowsPerStrip, compression); },
        [] {});
    return;
  }
  WriteTiffPage(stream, false, rowsPerStrip, compression);
}

void TDIB::WriteTiffPage(TStream& stream, bool append, int rowsPerStrip, int compression) {
  if (append) stream.SetPosition(0);
  TTiffHandle handle(stream, append ? "a" : "w");
  if (!handle.IsOpen()) throw ETiffError("TIFFOpen");
  TIFF* tiff = handle.Get();

  const int bits = BitCount();
  TCompressionChoice choice = ResolveCompression(compression, FPixelFormat);
  // Pages whose palette is not a grey ramp keep it as a colour map; JPEG
  // cannot code palette data, so such pages are coded losslessly instead.
  const bool colourMap = (bits == 4 || bits == 8) && !HasGreyRamp(FPalette, FColorCount);
  if (colourMap && choice.jpeg) choice = ResolveCompression(8, FPixelFormat);
  // A bilevel page whose index 0 is white (not the usual black) is stored
  // with the photometric that keeps its look, rows unchanged.
  const bool whiteIsZeroPage = bits == 1 && HasStandardPalette();
  const bool complementRows = bits == 1 && choice.fax && !whiteIsZeroPage;

  SetTiffIntField(tiff, TIFFTAG_ROWSPERSTRIP,
                  choice.jpeg ? 8u : static_cast<uint32_t>(rowsPerStrip > 0 ? rowsPerStrip : 16));
  SetTiffIntField(tiff, TIFFTAG_COMPRESSION, choice.tag);
  if (choice.t4Options >= 0)
    SetTiffIntField(tiff, TIFFTAG_GROUP3OPTIONS, static_cast<uint32_t>(choice.t4Options));
  SetTiffIntField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  SetTiffTextField(tiff, TIFFTAG_SOFTWARE, "Vellumtrace Image Library");
  SetTiffTextField(tiff, TIFFTAG_DATETIME, TiffDateTime());
  SetTiffIntField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  SetTiffFloatField(tiff, TIFFTAG_XRESOLUTION, XResolution());
  SetTiffFloatField(tiff, TIFFTAG_YRESOLUTION, YResolution());
  SetTiffIntField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(Width()));
  SetTiffIntField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(Height()));
  uint16_t photometric;
  switch (bits) {
  case 1:
    SetTiffIntField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    SetTiffIntField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    photometric = choice.fax || whiteIsZeroPage ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK;
    break;
  case 4:
  case 8:
    SetTiffIntField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<uint32_t>(bits));
    SetTiffIntField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    photometric = colourMap ? PHOTOMETRIC_PALETTE : PHOTOMETRIC_MINISBLACK;
    break;
  default:
    SetTiffIntField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    SetTiffIntField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    photometric = PHOTOMETRIC_RGB;
    break;
  }
  SetTiffIntField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
  if (colourMap) {
    std::vector<uint16_t> red, green, blue;
    for (int i = 0; i < FColorCount; ++i) {
      red.push_back(static_cast<uint16_t>(PaletteRed(FPalette[i]) * 257));
      green.push_back(static_cast<uint16_t>(PaletteGreen(FPalette[i]) * 257));
      blue.push_back(static_cast<uint16_t>(PaletteBlue(FPalette[i]) * 257));
    }
    if (!TIFFSetField(tiff, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data()))
      throw ETiffError("TIFFSetField: Tag = " + std::to_string(TIFFTAG_COLORMAP));
  }

  std::vector<uint8_t> copy(static_cast<size_t>(FStride));
  for (int y = 0; y < Height(); ++y) {
    uint8_t* row = ScanLine(y);
    if (complementRows) {
      ComplementBytes(row, copy.data(), copy.size());
      row = copy.data();
    } else if (bits == 24) {
      SwapRedBlue(row, copy.data(), static_cast<size_t>(Width()));
      row = copy.data();
    }
    if (TIFFWriteScanline(tiff, row, static_cast<uint32_t>(y), 0) < 0)
      throw ETiffError("TIFFWriteScanLine, row " + std::to_string(y));
  }
  // Writing the directory can fail too (a full disk); that must not pass for success.
  if (!TIFFWriteDirectory(tiff)) throw ETiffError("TIFFWriteDirectory");
}

void TDIB::SaveToTiffFile(const std::string& fileName, bool append, int rowsPerStrip,
                          int compression) {
  RequireNonEmptyPage();
  if (append) {
    AppendTiffPageToFile(fileName, [&](TStream& stream, bool appending) {
      WriteTiffPage(stream, appending, rowsPerStrip, compression);
    });
    return;
  }
  TReplacingFileStream file(fileName);
  WriteTiffPage(file, false, rowsPerStrip, compression);
  file.Commit();
}
