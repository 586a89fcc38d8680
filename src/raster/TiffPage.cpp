#include "raster/TiffPage.h"

#include "core/Rounding.h"

#include <algorithm>

namespace {

bool IsFaxCompression(uint16_t compression) {
  return compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
         compression == COMPRESSION_CCITTFAX4 || compression == COMPRESSION_CCITTRLEW;
}

// A resolution that no scanner gives (not a number, negative, absurd) counts as unknown: 0.
int ResolutionDpi(TIFF* tiff, ttag_t tag, uint16_t unit) {
  float value = 0;
  if (!TIFFGetField(tiff, tag, &value) || !(value > 0 && value < 1e6f)) return 0;
  const auto dpi = unit == RESUNIT_CENTIMETER ? Round(value * 2.54) : Round(value);
  return static_cast<int>(std::clamp<int64_t>(dpi, 1, 1000000));
}

// Colour samples of a pixel before any extra (alpha) samples.
uint16_t ColourSamples(uint16_t photometric, uint16_t samplesPerPixel) {
  switch (photometric) {
  case PHOTOMETRIC_RGB:
  case PHOTOMETRIC_YCBCR:
  case PHOTOMETRIC_CIELAB:
  case PHOTOMETRIC_ICCLAB:
  case PHOTOMETRIC_ITULAB:
    return 3;
  case PHOTOMETRIC_SEPARATED:
    return std::min<uint16_t>(samplesPerPixel, 4);
  default:
    return 1;
  }
}

// A decoding buffer may be larger than its page's rows at the file's depth
// (whole tiles, a subsampled strip), but not by more than this or this factor.
constexpr uint64_t kBufferSlack = uint64_t{16} << 20;

void CheckBuffer(uint64_t bufferBytes, const TTiffPageInfo& info, const char* what) {
  const uint64_t pageBytes =
      (uint64_t{info.width} * info.bitsPerSample * info.samplesPerPixel + 7) / 8 * info.length;
  const uint64_t limit = std::min<uint64_t>(kMaxImageBytes, std::max(kBufferSlack, 2 * pageBytes));
  if (bufferBytes > limit)
    throw ETiffError(std::string("Image too large: ") + what + " of " +
                     std::to_string(bufferBytes) + " bytes for a page of " +
                     std::to_string(info.width) + " x " + std::to_string(info.length) + " pixels");
}

} // namespace

TTiffPageInfo DescribeTiffPage(TIFF* tiff) {
  TTiffPageInfo info;
  info.width = GetTiffField<uint32_t>(tiff, TIFFTAG_IMAGEWIDTH);
  info.length = GetTiffField<uint32_t>(tiff, TIFFTAG_IMAGELENGTH);
  if (info.width == 0 || info.length == 0 || info.width > INT32_MAX || info.length > INT32_MAX)
    throw ETiffError("Invalid image size");
  if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &info.photometric)) info.photometric = 0;
  info.compression = GetTiffField<uint16_t>(tiff, TIFFTAG_COMPRESSION);
  info.fax = IsFaxCompression(info.compression);
  if (!TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &info.bitsPerSample)) info.bitsPerSample = 1;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &info.samplesPerPixel);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &info.planar);
  if (info.bitsPerSample == 0 || info.samplesPerPixel == 0) throw ETiffError("Invalid image size");
  const uint16_t colour = ColourSamples(info.photometric, info.samplesPerPixel);
  info.extraSamples = info.samplesPerPixel > colour ? info.samplesPerPixel - colour : 0;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &info.orientation);
  if (info.orientation < ORIENTATION_TOPLEFT || info.orientation > ORIENTATION_LEFTBOT)
    info.orientation = ORIENTATION_TOPLEFT;
  info.tiled = TIFFIsTiled(tiff) != 0;

  uint16_t unit = RESUNIT_INCH;
  if (!TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit)) unit = RESUNIT_INCH;
  const int x = ResolutionDpi(tiff, TIFFTAG_XRESOLUTION, unit);
  const int y = ResolutionDpi(tiff, TIFFTAG_YRESOLUTION, unit);
  // One resolution alone stands for both; none at all is the default.
  info.xDpi = x > 0 ? x : y > 0 ? y : kDefaultPageDpi;
  info.yDpi = y > 0 ? y : info.xDpi;

  uint32_t rows = 0;
  if (TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &rows))
    info.rowsPerStrip = rows == 0xFFFFFFFF ? info.length : rows;

  if (info.tiled)
    CheckBuffer(TIFFTileSize64(tiff), info, "tiles");
  else
    CheckBuffer(TIFFStripSize64(tiff), info, "strips");
  return info;
}

TTiffFile::TTiffFile(TStream& stream) {
  FHandle = std::make_unique<TTiffHandle>(stream, "r");
  if (!FHandle->IsOpen()) {
    stream.SetPosition(0);
    FHandle = std::make_unique<TTiffHandle>(stream, "r");
    if (!FHandle->IsOpen()) throw ETiffError("TIFFOpen");
  }
}

int TTiffFile::PageCount() {
  if (!TIFFSetDirectory(Get(), 0)) throw ETiffError("TIFFOpen");
  int count = 1;
  while (TIFFReadDirectory(Get())) ++count;
  return count;
}

TTiffPageInfo TTiffFile::Select(int pageIndex) {
  FHandle->ClearReports();
  if (pageIndex < 0 || !TIFFSetDirectory(Get(), static_cast<tdir_t>(pageIndex)))
    throw ETiffError("TIFFSetDirectory: page " + std::to_string(pageIndex));
  if (FHandle->DataMissing()) throw ETiffError("TIFFReadDirectory");
  return DescribeTiffPage(Get());
}
