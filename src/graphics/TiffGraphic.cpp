#include "graphics/TiffGraphic.h"

#include "core/MemoryStream.h"
#include "core/Rounding.h"
#include "raster/TiffPage.h"

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
  case COMPRESSION_OJPEG: // old-style JPEG is read, and written again as JPEG
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

// What the graphic keeps of a page besides its pixels.
struct TPageFacts {
  TTiffCompression compression = tcNone;
  int rowsPerStrip = INT_MAX;
  std::map<int, std::string> tags;
};

TPageFacts ReadFacts(TIFF* tiff) {
  TPageFacts facts;
  const auto compression = GetTiffField<uint16_t>(tiff, TIFFTAG_COMPRESSION);
  uint32_t t4Options = 0;
  if (compression == COMPRESSION_CCITTFAX3) TIFFGetField(tiff, TIFFTAG_GROUP3OPTIONS, &t4Options);
  facts.compression = CompressionOfTag(compression, t4Options);
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
  return facts;
}

// Runs work, raising every failure as ETiffError with the class name before its message.
template <typename Work> void WithTiffErrors(Work&& work) {
  try {
    WithoutForeignErrors<ETiffError>(work);
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

TTiffCompression CompressionForFormat(TImageFormat format) {
  switch (format) {
  case ifBlackWhite:
    return tcGroup4;
  case ifGray256:
  case ifTrueColor:
    return tcJpeg;
  default:
    return tcLZW;
  }
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
      count = TTiffFile(stream).PageCount();
      stream.SetPosition(0);
      return;
    }
    TMemoryStream copy;
    if (stream.Size() > start) copy.CopyFrom(stream, stream.Size() - start);
    stream.SetPosition(start);
    copy.SetPosition(0);
    count = TTiffFile(copy).PageCount();
  });
  return count;
}

void TTiffGraphic::LoadImage(TStream& stream, int imageNumber) {
  WithTiffErrors([&] {
    RegisterTiffApplicationTags();
    const int64_t start = stream.Position();
    if (start == 0) {
      TTiffFile file(stream);
      LoadPage(file, imageNumber);
      return;
    }
    TMemoryStream copy;
    if (stream.Size() > start) copy.CopyFrom(stream, stream.Size() - start);
    copy.SetPosition(0);
    TTiffFile file(copy);
    LoadPage(file, imageNumber);
  });
}

void TTiffGraphic::LoadFromTiffFile(TTiffFile& file, int imageNumber) {
  WithTiffErrors([&] { LoadPage(file, imageNumber); });
}

void TTiffGraphic::LoadPage(TTiffFile& file, int imageNumber) {
  const TTiffPageInfo info = file.Select(imageNumber - 1);
  TPageFacts facts = ReadFacts(file.Get());
  TDIB dib;
  file.Read(info, dib);
  const bool palette = info.photometric == PHOTOMETRIC_PALETTE && dib.BitCount() <= 8;
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
  ImportDib(dib, format, dib.XResolution(), dib.YResolution());
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
