#include "core/MemoryStream.h"
#include "graphics/Group4Data.h"
#include "graphics/TiffGraphic.h"
#include "raster/RowOps.h"
#include "raster/TiffAppend.h"
#include "raster/TiffBinding.h"

#include <ctime>
#include <vector>

namespace {

std::string Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local);
  return text;
}

uint16_t TagOf(TTiffCompression compression) {
  switch (compression) {
  case tcPackbits:
    return COMPRESSION_PACKBITS;
  case tcGroup3_1D:
  case tcGroup3_2D:
    return COMPRESSION_CCITTFAX3;
  case tcGroup4:
    return COMPRESSION_CCITTFAX4;
  case tcZLib:
    return COMPRESSION_DEFLATE;
  case tcJpeg:
    return COMPRESSION_JPEG;
  case tcLZW:
    return COMPRESSION_LZW;
  default:
    return COMPRESSION_NONE;
  }
}

// The appending step's own refusals (a file that is no TIFF, a damaged
// page chain) carry the class name like the writer's failures do.
template <typename Work> void WithClassNamedTiffErrors(Work&& work) {
  static const std::string prefix = "ETiffError ";
  try {
    work();
  } catch (const ETiffError& error) {
    if (error.Message().compare(0, prefix.size(), prefix) == 0) throw;
    throw ETiffError(prefix + error.Message());
  }
}

} // namespace

void TTiffGraphic::SaveToStream(TStream& stream) {
  if (stream.Position() == 0) {
    WriteTiff(stream, false);
    return;
  }
  TMemoryStream file;
  WriteTiff(file, false);
  stream.WriteBuffer(file.Memory(), file.Bytes().size());
}

void TTiffGraphic::AppendToStream(TStream& stream) {
  const int64_t start = stream.Position();
  const int64_t size = stream.Size();
  if (size <= start) {
    SaveToStream(stream);
    return;
  }
  if (start != 0) {
    TMemoryStream file;
    file.CopyFrom(stream, size - start);
    file.SetPosition(0);
    AppendToStream(file);
    stream.SetPosition(start);
    stream.WriteBuffer(file.Memory(), file.Bytes().size());
    return;
  }
  WithClassNamedTiffErrors([&] {
    AppendTiffPage(
        stream, [&](TStream& target) { WriteTiff(target, true); }, [] {});
  });
}

void TTiffGraphic::AppendToFile(const std::string& fileName) {
  if (Empty() || Width() <= 0 || Height() <= 0) throw EGraphicError("Graphic is empty");
  WithClassNamedTiffErrors([&] {
    AppendTiffPageToFile(fileName,
                         [&](TStream& stream, bool append) { WriteTiff(stream, append); });
  });
}

void TTiffGraphic::WriteTiff(TStream& stream, bool append) {
  if (Empty() || Width() <= 0 || Height() <= 0) throw EGraphicError("Graphic is empty");
  if (!CompressionAllowed(FCompression, ImageFormat()))
    throw EGraphicError(FormatText("%s compression not supported with %s images",
                                   CompressionText(FCompression),
                                   FormatDescription(ImageFormat())));
  RegisterTiffApplicationTags();
  try {
    if (append) stream.SetPosition(0);
    TTiffHandle handle(stream, append ? "a" : "w");
    if (!handle.IsOpen()) throw ETiffError("TIFFOpen");
    TIFF* tiff = handle.Get();
    const TImageFormat format = ImageFormat();
    const bool fax =
        FCompression == tcGroup3_1D || FCompression == tcGroup3_2D || FCompression == tcGroup4;

    if (FCompression == tcJpeg)
      SetTiffIntField(tiff, TIFFTAG_ROWSPERSTRIP, 8);
    else if (FRowsPerStrip > 0)
      SetTiffIntField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(FRowsPerStrip));
    SetTiffIntField(tiff, TIFFTAG_COMPRESSION, TagOf(FCompression));
    if (FCompression == tcGroup3_1D || FCompression == tcGroup3_2D)
      SetTiffIntField(tiff, TIFFTAG_GROUP3OPTIONS, FCompression == tcGroup3_2D ? 1 : 0);
    SetTiffIntField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    const std::string software = Tag(TIFFTAG_SOFTWARE);
    SetTiffTextField(tiff, TIFFTAG_SOFTWARE,
                     software.empty() ? "Quillmere Image Library" : software);
    const std::string dateTime = Tag(TIFFTAG_DATETIME);
    SetTiffTextField(tiff, TIFFTAG_DATETIME, dateTime.empty() ? Now() : dateTime);
    for (const auto& [tag, text] : FTags)
      if (tag != TIFFTAG_SOFTWARE && tag != TIFFTAG_DATETIME)
        SetTiffTextField(tiff, static_cast<ttag_t>(tag), text);
    SetTiffIntField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    SetTiffFloatField(tiff, TIFFTAG_XRESOLUTION, XDpi());
    SetTiffFloatField(tiff, TIFFTAG_YRESOLUTION, YDpi());
    SetTiffIntField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(Width()));
    SetTiffIntField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(Height()));
    SetTiffIntField(tiff, TIFFTAG_BITSPERSAMPLE,
                    format == ifTrueColor ? 8u : static_cast<uint32_t>(BitCount()));
    SetTiffIntField(tiff, TIFFTAG_SAMPLESPERPIXEL, format == ifTrueColor ? 3 : 1);

    // How the stored values become the file's: bilevel rows keep their look
    // whichever palette entry is white; grey pages are written as the levels
    // their palette shows; palette pages (and 16-level grey pages whose
    // palette is not the plain ramp) carry a colour map.
    bool complement = false;
    bool colourMap = format == ifColor16 || format == ifColor256;
    bool mapLevels = false;
    uint8_t levels[256] = {};
    uint16_t photometric = PHOTOMETRIC_RGB;
    switch (format) {
    case ifBlackWhite: {
      const bool blackIsZero = GreyOf(PaletteColour(0)) <= GreyOf(PaletteColour(1));
      photometric = fax || !blackIsZero ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK;
      complement = fax && blackIsZero;
      break;
    }
    case ifGray16:
      for (int i = 0; i < 16; ++i)
        colourMap = colourMap || PaletteColour(i) != ColourOf(i * 17, i * 17, i * 17);
      photometric = colourMap ? PHOTOMETRIC_PALETTE : PHOTOMETRIC_MINISBLACK;
      break;
    case ifGray256:
      for (int i = 0; i < 256; ++i) {
        levels[i] = static_cast<uint8_t>(GreenOf(PaletteColour(i)));
        mapLevels = mapLevels || levels[i] != i;
      }
      photometric = PHOTOMETRIC_MINISBLACK;
      break;
    case ifColor16:
    case ifColor256:
      photometric = PHOTOMETRIC_PALETTE;
      break;
    case ifTrueColor:
      break;
    }
    SetTiffIntField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
    if (colourMap) {
      // Full-scale 16-bit components (x 257), so that 255 stays 255 when read back.
      std::vector<uint16_t> red, green, blue;
      for (int i = 0; i < PaletteSize(); ++i) {
        red.push_back(static_cast<uint16_t>(RedOf(PaletteColour(i)) * 257));
        green.push_back(static_cast<uint16_t>(GreenOf(PaletteColour(i)) * 257));
        blue.push_back(static_cast<uint16_t>(BlueOf(PaletteColour(i)) * 257));
      }
      if (!TIFFSetField(tiff, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data()))
        throw ETiffError("TIFFSetField: Tag = " + std::to_string(TIFFTAG_COLORMAP));
    }

    // A Group 4 page in one strip goes through our own coder, which makes
    // libtiff's bytes in well under half its time.
    if (FCompression == tcGroup4 && FRowsPerStrip >= Height()) {
      std::vector<uint8_t> data = Group4Data(*this);
      if (TIFFWriteRawStrip(tiff, 0, data.data(), static_cast<tmsize_t>(data.size())) < 0)
        throw ETiffError("TIFFWriteScanLine");
      if (!TIFFWriteDirectory(tiff)) throw ETiffError("TIFFWriteDirectory");
      return;
    }
    std::vector<uint8_t> copy(static_cast<size_t>(Stride()));
    for (int y = 0; y < Height(); ++y) {
      uint8_t* row = ScanLine(y);
      if (complement) {
        for (size_t i = 0; i < copy.size(); ++i) copy[i] = static_cast<uint8_t>(~row[i]);
        row = copy.data();
      } else if (mapLevels) {
        for (int x = 0; x < Width(); ++x) copy[static_cast<size_t>(x)] = levels[row[x]];
        row = copy.data();
      } else if (format == ifTrueColor) {
        SwapRedBlue(row, copy.data(), static_cast<size_t>(Width()));
        row = copy.data();
      }
      if (TIFFWriteScanline(tiff, row, static_cast<uint32_t>(y), 0) < 0)
        throw ETiffError("TIFFWriteScanLine");
    }
    if (!TIFFWriteDirectory(tiff)) throw ETiffError("TIFFWriteDirectory");
  } catch (const ETiffError& error) {
    throw ETiffError("ETiffError " + error.Message());
  }
}
