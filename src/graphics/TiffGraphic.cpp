#include "graphics/TiffGraphic.h"

#include "core/MemoryStream.h"
#include "core/Rounding.h"
#include "raster/TiffBinding.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace {

TIFFExtendProc gParentExtender = nullptr;
char gTagNames[TTiffGraphic::kApplicationTagCount][16];
TIFFFieldInfo gApplicationFields[TTiffGraphic::kApplicationTagCount];

void ExtendTags(TIFF* tiff) {
  TIFFMergeFieldInfo(tiff, gApplicationFields, TTiffGraphic::kApplicationTagCount);
  if (gParentExtender != nullptr) gParentExtender(tiff);
}

TTiffCompression CompressionOfTag(uint16_t tag, uint32_t t4Options) {
  switch (tag) {
  case COMPRESSION_NONE:
    return tcNone;
  case COMPRESSION_CCITTRLE:
  case COMPRESSION_CCITTRLEW:
    return tcGroup3_1D;
  case COMPRESSION_CCITTFAX3:
    return (t4Options & GROUP3OPT_2DENCODING) ? tcGroup3_2D : tcGroup3_1D;
  case COMPRESSION_CCITTFAX4:
    return tcGroup4;
  case COMPRESSION_LZW:
    return tcLZW;
  case COMPRESSION_JPEG:
    return tcJpeg;
  case COMPRESSION_PACKBITS:
    return tcPackbits;
  case COMPRESSION_DEFLATE:
  case COMPRESSION_ADOBE_DEFLATE: // the same zlib data under its registered number
    return tcZLib;
  default:
    throw ETiffError(FormatText("Unsupported compression tag, %d", tag));
  }
}

bool IsFax(uint16_t compression) {
  return compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
         compression == COMPRESSION_CCITTFAX4 || compression == COMPRESSION_CCITTRLEW;
}

// What is decided about a page before its pixels are read.
struct TPageFacts {
  TTiffCompression compression = tcNone;
  int rowsPerStrip = INT_MAX;
  int xDpi = 0;
  int yDpi = 0;
  uint16_t photometric = 0;
  // Pages the raster reader cannot hold (16-bit grey, odd bit counts) are
  // decoded here through libtiff's RGBA interface.
  enum { Raster, Grey16, Rgba } path = Raster;
  std::map<int, std::string> tags;
};

int Dpi(TIFF* tiff, ttag_t tag, uint16_t unit) {
  float value = 0;
  // A resolution that no scanner gives (not a number, negative, absurd) counts as unknown.
  if (!TIFFGetField(tiff, tag, &value) || !(value > 0 && value < 1e6f)) return 0;
  return static_cast<int>(unit == RESUNIT_CENTIMETER ? Round(value * 2.54) : Round(value));
}

TPageFacts ReadFacts(TIFF* tiff) {
  TPageFacts facts;
  const auto compression = GetTiffField<uint16_t>(tiff, TIFFTAG_COMPRESSION);
  uint32_t t4Options = 0;
  if (compression == COMPRESSION_CCITTFAX3) TIFFGetField(tiff, TIFFTAG_GROUP3OPTIONS, &t4Options);
  facts.compression = CompressionOfTag(compression, t4Options);
  uint16_t bitsPerSample = 1;
  if (!TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample) && !IsFax(compression))
    throw ETiffError("Bits per sample not specified");
  if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &facts.photometric)) facts.photometric = 0;
  uint16_t samplesPerPixel = 1, planar = PLANARCONFIG_CONTIG;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  uint16_t unit = RESUNIT_INCH;
  if (!TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit)) unit = RESUNIT_INCH;
  facts.xDpi = Dpi(tiff, TIFFTAG_XRESOLUTION, unit);
  facts.yDpi = Dpi(tiff, TIFFTAG_YRESOLUTION, unit);
  uint32_t rowsPerStrip = 0;
  if (TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip))
    facts.rowsPerStrip = static_cast<int>(std::min<uint32_t>(rowsPerStrip, INT_MAX));
  for (int tag : TTiffGraphic::kTextTags) {
    char* text = nullptr;
    if (TIFFGetField(tiff, static_cast<ttag_t>(tag), &text) && text != nullptr)
      facts.tags[tag] = text;
  }
  for (int i = 0; i < TTiffGraphic::kApplicationTagCount; ++i) {
    const int tag = TTiffGraphic::kFirstApplicationTag + i;
    char* text = nullptr;
    if (TIFFGetField(tiff, static_cast<ttag_t>(tag), &text) && text != nullptr)
      facts.tags[tag] = text;
  }

  const auto width = GetTiffField<uint32_t>(tiff, TIFFTAG_IMAGEWIDTH);
  const bool grey =
      facts.photometric == PHOTOMETRIC_MINISWHITE || facts.photometric == PHOTOMETRIC_MINISBLACK;
  if (grey && bitsPerSample == 16 && samplesPerPixel == 1) {
    facts.path = TPageFacts::Grey16;
    return facts;
  }
  // The bit count as the raster reader works it out.
  const bool jpegYCbCr = compression == COMPRESSION_JPEG &&
                         facts.photometric == PHOTOMETRIC_YCBCR && planar == PLANARCONFIG_CONTIG;
  if (jpegYCbCr) TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  const tmsize_t scanlineSize = TIFFScanlineSize(tiff);
  if (width == 0 || scanlineSize <= 0) throw ETiffError("Invalid image size");
  const int bytesPerPixel =
      facts.photometric == PHOTOMETRIC_YCBCR && compression != COMPRESSION_JPEG
          ? samplesPerPixel
          : std::max(1, static_cast<int>(Round(static_cast<double>(scanlineSize) / width)));
  const auto bitCount =
      static_cast<int>(std::min<int64_t>(int64_t{bitsPerSample} * bytesPerPixel, 24));
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24)
    facts.path = TPageFacts::Rgba;
  return facts;
}

// Decodes the current directory through the RGBA interface: 256 grey levels
// (the red channel, which for grey pages is the high byte of each sample) or
// true colour.
void ReadRgba(TIFF* tiff, bool grey, TDIB& dib) {
  const auto width = GetTiffField<uint32_t>(tiff, TIFFTAG_IMAGEWIDTH);
  const auto length = GetTiffField<uint32_t>(tiff, TIFFTAG_IMAGELENGTH);
  if (width == 0 || length == 0 || width > INT32_MAX || length > INT32_MAX)
    throw ETiffError("Invalid image size");
  CheckImageSize(width, length, 32);
  std::vector<uint32_t> raster(static_cast<size_t>(width) * length);
  if (!TIFFReadRGBAImageOriented(tiff, width, length, raster.data(), ORIENTATION_TOPLEFT, 1))
    throw ETiffError("TIFFReadRGBAImage");
  dib.NewImage(static_cast<int>(width), static_cast<int>(length), grey ? pf8bit : pf24bit, 0, 0);
  for (int i = 0; i < 256 && grey; ++i)
    dib.SetPaletteEntry(
        i, PaletteColor(static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)));
  for (uint32_t y = 0; y < length; ++y) {
    const uint32_t* source = raster.data() + static_cast<size_t>(y) * width;
    uint8_t* row = dib.ScanLine(static_cast<int>(y));
    for (uint32_t x = 0; x < width; ++x) {
      if (grey) {
        row[x] = static_cast<uint8_t>(TIFFGetR(source[x]));
      } else {
        row[3 * x] = static_cast<uint8_t>(TIFFGetB(source[x]));
        row[3 * x + 1] = static_cast<uint8_t>(TIFFGetG(source[x]));
        row[3 * x + 2] = static_cast<uint8_t>(TIFFGetR(source[x]));
      }
    }
  }
}

// Runs work, raising every failure as ETiffError with the class name before its message.
template <typename Work> void WithTiffErrors(Work&& work) {
  try {
    work();
  } catch (const EAbort&) {
    throw;
  } catch (const Exception& error) {
    throw ETiffError("ETiffError " + error.Message());
  }
}

} // namespace

void RegisterTiffApplicationTags() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int i = 0; i < TTiffGraphic::kApplicationTagCount; ++i) {
      std::snprintf(gTagNames[i], sizeof gTagNames[i], "Application%d", i);
      gApplicationFields[i] = {static_cast<ttag_t>(TTiffGraphic::kFirstApplicationTag + i),
                               TIFF_VARIABLE,
                               TIFF_VARIABLE,
                               TIFF_ASCII,
                               FIELD_CUSTOM,
                               1,
                               0,
                               gTagNames[i]};
    }
    gParentExtender = TIFFSetTagExtender(ExtendTags);
  });
}

const char* CompressionText(TTiffCompression compression) {
  static const char* const texts[8] = {
      "None", "Packbits", "CCITT Group 3, 1D", "CCITT Group 3, 2D", "CCITT Group 4", "ZLib",
      "JPEG", "LZW"};
  return compression <= tcLZW ? texts[compression] : "";
}

bool CompressionAllowed(TTiffCompression compression, TImageFormat format) {
  switch (format) {
  case ifBlackWhite:
    return compression <= tcZLib || compression == tcLZW;
  case ifGray256:
  case ifTrueColor:
    return compression == tcNone || compression == tcPackbits || compression == tcZLib ||
           compression == tcJpeg || compression == tcLZW;
  default:
    return compression == tcNone || compression == tcPackbits || compression == tcZLib ||
           compression == tcLZW;
  }
}

std::unique_ptr<TDibGraphic> TTiffGraphic::CreateEmpty() const {
  return std::make_unique<TTiffGraphic>();
}

bool TTiffGraphic::IsFormatStream(TStream& stream) {
  using namespace std::string_view_literals;
  return StartsWith(stream, "MM\0*"sv) || StartsWith(stream, "II*\0"sv);
}

int TTiffGraphic::ImageCount(TStream& stream) {
  int count = 0;
  WithTiffErrors([&] {
    RegisterTiffApplicationTags();
    const int64_t start = stream.Position();
    if (start == 0) {
      count = TDIB::TiffPageCount(stream);
      stream.SetPosition(0);
      return;
    }
    TMemoryStream copy;
    if (stream.Size() > start) copy.CopyFrom(stream, stream.Size() - start);
    stream.SetPosition(start);
    copy.SetPosition(0);
    count = TDIB::TiffPageCount(copy);
  });
  return count;
}

void TTiffGraphic::LoadImage(TStream& stream, int imageNumber) {
  WithTiffErrors([&] {
    const int64_t start = stream.Position();
    if (start == 0) {
      LoadFromStart(stream, imageNumber);
      return;
    }
    TMemoryStream copy;
    if (stream.Size() > start) copy.CopyFrom(stream, stream.Size() - start);
    copy.SetPosition(0);
    LoadFromStart(copy, imageNumber);
  });
}

void TTiffGraphic::LoadFromStart(TStream& stream, int imageNumber) {
  RegisterTiffApplicationTags();
  TPageFacts facts;
  TDIB dib;
  {
    TTiffHandle handle(stream, "r");
    if (!handle.IsOpen()) throw ETiffError("TIFFOpen");
    if (imageNumber < 1 || !TIFFSetDirectory(handle.Get(), static_cast<tdir_t>(imageNumber - 1)))
      throw ETiffError("TIFFSetDirectory");
    if (handle.DataMissing()) throw ETiffError("TIFFReadDirectory");
    facts = ReadFacts(handle.Get());
    if (facts.path != TPageFacts::Raster) {
      ReadRgba(handle.Get(), facts.path == TPageFacts::Grey16, dib);
      if (handle.DataMissing()) throw ETiffError("TIFFReadRGBAImage");
    }
  }
  if (facts.path == TPageFacts::Raster) {
    stream.SetPosition(0);
    dib.LoadTiffFromStream(stream, imageNumber - 1);
  }
  const bool palette = facts.path == TPageFacts::Raster && facts.photometric == PHOTOMETRIC_PALETTE;
  TImageFormat format;
  switch (dib.BitCount()) {
  case 1:
    format = ifBlackWhite;
    break;
  case 4:
    format = palette ? ifColor16 : ifGray16;
    break;
  case 8:
    format = palette ? ifColor256 : ifGray256;
    break;
  default:
    format = ifTrueColor;
    break;
  }
  ImportDib(dib, format, facts.xDpi, facts.yDpi);
  FCompression = facts.compression;
  FRowsPerStrip = facts.rowsPerStrip;
  FTags = std::move(facts.tags);
}

void TTiffGraphic::NewImage(int width, int height, int xDpi, int yDpi,
                            const std::vector<TColour>* palette, int format) {
  TDibGraphic::NewImage(width, height, xDpi, yDpi, palette, format);
  FCompression = ImageFormat() == ifBlackWhite ? tcGroup4 : tcPackbits;
}

void TTiffGraphic::SetCompression(TTiffCompression compression) {
  if (!CompressionAllowed(compression, ImageFormat()))
    throw EGraphicError(FormatText("%s compression not supported with %s images",
                                   CompressionText(compression), FormatDescription(ImageFormat())));
  FCompression = compression;
}

void TTiffGraphic::SetRowsPerStrip(int rows) {
  FRowsPerStrip = std::clamp(rows, 1, std::max(1, Height()));
}

std::string TTiffGraphic::Tag(int tag) const {
  auto found = FTags.find(tag);
  return found == FTags.end() ? std::string() : found->second;
}

void TTiffGraphic::SetTag(int tag, const std::string& text) {
  const bool known =
      std::find(kTextTags.begin(), kTextTags.end(), tag) != kTextTags.end() ||
      (tag >= kFirstApplicationTag && tag < kFirstApplicationTag + kApplicationTagCount);
  if (!known) throw EGraphicError(FormatText("Tag %d is not kept", tag));
  if (text.empty())
    FTags.erase(tag);
  else
    FTags[tag] = text;
}

void TTiffGraphic::CopyFormatProperties(const TDibGraphic& source) {
  if (const auto* tiff = dynamic_cast<const TTiffGraphic*>(&source)) {
    FCompression = tiff->FCompression;
    FRowsPerStrip = tiff->FRowsPerStrip;
    FTags = tiff->FTags;
  }
}
