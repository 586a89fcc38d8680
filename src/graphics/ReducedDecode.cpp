#include "graphics/ReducedDecode.h"

#include "core/MemoryStream.h"
#include "core/Rounding.h"
#include "graphics/AntiAliasTransform.h"
#include "graphics/ResizeTransform.h"
#include "graphics/TiffGraphic.h"
#include "raster/JpegCoding.h"
#include "raster/TiffBinding.h"

#include <algorithm>
#include <vector>

TThumbnailSize ThumbnailSizeFor(int width, int height, int cellWidth, int cellHeight) {
  const double factor = std::min(static_cast<double>(cellWidth) / width * 100,
                                 static_cast<double>(cellHeight) / height * 100) /
                        100;
  return {static_cast<int>(std::max<int64_t>(1, Round(width * factor))),
          static_cast<int>(std::max<int64_t>(1, Round(height * factor)))};
}

namespace {

// A page's resolution as TTiffGraphic reads it: centimetres converted,
// every other unit taken as inches, nonsense as unknown (0).
int TiffDpi(TIFF* tiff, ttag_t tag) {
  uint16_t unit = RESUNIT_INCH;
  if (!TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit)) unit = RESUNIT_INCH;
  float value = 0;
  if (!TIFFGetField(tiff, tag, &value) || !(value > 0 && value < 1e6f)) return 0;
  return static_cast<int>(unit == RESUNIT_CENTIMETER ? Round(value * 2.54) : Round(value));
}

bool KnownCompression(uint16_t compression) {
  switch (compression) {
  case COMPRESSION_NONE:
  case COMPRESSION_CCITTRLE:
  case COMPRESSION_CCITTRLEW:
  case COMPRESSION_CCITTFAX3:
  case COMPRESSION_CCITTFAX4:
  case COMPRESSION_LZW:
  case COMPRESSION_PACKBITS:
  case COMPRESSION_DEFLATE:
  case COMPRESSION_ADOBE_DEFLATE:
    return true;
  default:
    return false;
  }
}

// Whether the open directory is a page the row-by-row reduction takes.
bool IsPlainBilevel(TIFF* tiff, uint16_t& photometric) {
  uint16_t compression = COMPRESSION_NONE, bits = 1, samples = 1, orientation = ORIENTATION_TOPLEFT;
  if (!TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression) || !KnownCompression(compression))
    return false;
  if (!TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits) || bits != 1) return false;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
  if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric)) return false;
  return samples == 1 && orientation == ORIENTATION_TOPLEFT && !TIFFIsTiled(tiff) &&
         (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK);
}

} // namespace

std::unique_ptr<TDibGraphic> ReducedBilevelTiff(TStream& stream, int cellWidth, int cellHeight) {
  RegisterTiffApplicationTags();
  stream.SetPosition(0);
  TTiffHandle handle(stream, "r");
  if (!handle.IsOpen()) throw ETiffError("ETiffError TIFFOpen");
  TIFF* tiff = handle.Get();
  uint16_t photometric = 0;
  if (!IsPlainBilevel(tiff, photometric)) return nullptr;
  uint32_t width = 0, height = 0;
  if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0 ||
      width > INT32_MAX || height > INT32_MAX)
    throw ETiffError("ETiffError Invalid image size");
  const int sourceWidth = static_cast<int>(width);
  const int sourceHeight = static_cast<int>(height);
  const TThumbnailSize size = ThumbnailSizeFor(sourceWidth, sourceHeight, cellWidth, cellHeight);
  const std::vector<int> xs = AreaMap(sourceWidth, size.Width);
  const std::vector<int> ys = AreaMap(sourceHeight, size.Height);

  const int rowBytes = (sourceWidth + 7) / 8;
  const tmsize_t scanline = TIFFScanlineSize(tiff);
  if (scanline < rowBytes) throw ETiffError("ETiffError Invalid image size");
  std::vector<uint8_t> row(static_cast<size_t>(scanline));
  // Set bits of every destination pixel's area; rows on the boundary of two
  // destination rows count for both, as in the anti-aliased reduction.
  std::vector<int64_t> ones(static_cast<size_t>(size.Width) * static_cast<size_t>(size.Height));
  int first = 0; // the first destination row whose area may hold the source row
  for (int y = 0; y < sourceHeight; ++y) {
    if (TIFFReadScanline(tiff, row.data(), static_cast<uint32_t>(y), 0) < 0 || handle.DataMissing())
      throw ETiffError("ETiffError TIFFReadScanline");
    while (first < size.Height && ys[static_cast<size_t>(first) + 1] < y) ++first;
    if (first >= size.Height || ys[static_cast<size_t>(first)] > y) continue;
    for (int k = first; k < size.Height && ys[static_cast<size_t>(k)] <= y; ++k)
      AddRowOnes(row.data(), xs,
                 ones.data() + static_cast<size_t>(k) * static_cast<size_t>(size.Width));
  }

  auto picture = std::make_unique<TDibGraphic>();
  // The page as TTiffGraphic reads it has this resolution; the reduction keeps it.
  TDibGraphic page;
  page.NewImage(1, 1, TiffDpi(tiff, TIFFTAG_XRESOLUTION), TiffDpi(tiff, TIFFTAG_YRESOLUTION),
                nullptr, ifBlackWhite);
  picture->NewImage(size.Width, size.Height, page.XDpi(), page.YDpi(), nullptr, ifGray256);
  picture->SetPelsPerMetre(page.XPelsPerMetre(), page.YPelsPerMetre());
  const bool oneIsBlack = photometric == PHOTOMETRIC_MINISWHITE;
  for (int k = 0; k < size.Height; ++k) {
    const int64_t rows = ys[static_cast<size_t>(k) + 1] - ys[static_cast<size_t>(k)] + 1;
    const int64_t* counted = ones.data() + static_cast<size_t>(k) * static_cast<size_t>(size.Width);
    uint8_t* target = picture->ScanLine(k);
    for (int i = 0; i < size.Width; ++i) {
      const int64_t columns =
          std::max(0, xs[static_cast<size_t>(i) + 1] - xs[static_cast<size_t>(i)]);
      const int64_t n = rows * columns;
      const int64_t black = oneIsBlack ? counted[i] : n - counted[i];
      target[i] = static_cast<uint8_t>(AntiAliasGrey(n, black));
    }
  }
  return picture;
}

namespace {

// The smallest of libjpeg's scales M / 8 that keeps twice the picture's size.
int JpegScale(int width, int height, TThumbnailSize size) {
  int scale = 1;
  while (scale < 8 && (int64_t{width} * scale + 7) / 8 < 2 * int64_t{size.Width}) ++scale;
  while (scale < 8 && (int64_t{height} * scale + 7) / 8 < 2 * int64_t{size.Height}) ++scale;
  return scale;
}

int64_t Scaled(int64_t side, int scale) {
  return (side * scale + 7) / 8;
}

// Decodes the started decompression's rows into the graphic from a row on.
void ReadScaledRows(TJpegDecoder& decoder, jpeg_decompress_struct& info, TDibGraphic& into,
                    int firstRow) {
  if (static_cast<int64_t>(info.output_width) != into.Width() ||
      firstRow + static_cast<int64_t>(info.output_height) > into.Height())
    throw EGraphicError("JPEG data does not match the page's size");
  while (info.output_scanline < info.output_height) {
    JSAMPROW rowPointer = into.ScanLine(firstRow + static_cast<int>(info.output_scanline));
    JDIMENSION read = 0;
    decoder.Call<EGraphicError>([&] { read = jpeg_read_scanlines(&info, &rowPointer, 1); });
    if (read == 0) throw EGraphicError("JPEG decoding stopped early");
  }
  decoder.Call<EGraphicError>([&] { jpeg_finish_decompress(&info); });
}

std::unique_ptr<TDibGraphic> Smoothed(const TDibGraphic& scaled, TThumbnailSize size) {
  auto picture = std::make_unique<TDibGraphic>();
  TResizeTransform resize;
  resize.OutWidth = size.Width;
  resize.OutHeight = size.Height;
  resize.Smooth = true;
  resize.ApplyOnDest(scaled, *picture);
  return picture;
}

} // namespace

std::unique_ptr<TDibGraphic> ReducedJpeg(TStream& stream, int cellWidth, int cellHeight) {
  TJpegDecoder decoder(stream);
  jpeg_decompress_struct& info = decoder.Info();
  decoder.Call<EGraphicError>([&] { jpeg_read_header(&info, TRUE); });
  if (info.num_components != 1 && info.num_components != 3) return nullptr;
  if (info.image_width == 0 || info.image_height == 0 || info.image_width > INT32_MAX ||
      info.image_height > INT32_MAX)
    throw EGraphicError("Invalid image size");
  const int width = static_cast<int>(info.image_width);
  const int height = static_cast<int>(info.image_height);
  const TThumbnailSize size = ThumbnailSizeFor(width, height, cellWidth, cellHeight);
  info.scale_num = static_cast<unsigned>(JpegScale(width, height, size));
  info.scale_denom = 8;
  info.out_color_space = info.num_components == 1 ? JCS_GRAYSCALE : JCS_EXT_BGR;
  decoder.Call<EGraphicError>([&] { jpeg_start_decompress(&info); });
  int xDpi = 0, yDpi = 0;
  if (info.density_unit == 1) {
    xDpi = info.X_density;
    yDpi = info.Y_density;
  } else if (info.density_unit == 2) {
    xDpi = static_cast<int>(Round(info.X_density * 2.54));
    yDpi = static_cast<int>(Round(info.Y_density * 2.54));
  }
  TDibGraphic scaled;
  scaled.NewImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height), xDpi,
                  yDpi, nullptr, info.num_components == 1 ? ifGray256 : ifTrueColor);
  ReadScaledRows(decoder, info, scaled, 0);
  return Smoothed(scaled, size);
}

std::unique_ptr<TDibGraphic> ReducedJpegTiff(TStream& stream, int cellWidth, int cellHeight) {
  RegisterTiffApplicationTags();
  stream.SetPosition(0);
  TTiffHandle handle(stream, "r");
  if (!handle.IsOpen()) throw ETiffError("ETiffError TIFFOpen");
  TIFF* tiff = handle.Get();
  uint16_t compression = 0, bits = 0, samples = 1, photometric = 0;
  uint16_t orientation = ORIENTATION_TOPLEFT, planar = PLANARCONFIG_CONTIG;
  if (!TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression) || compression != COMPRESSION_JPEG ||
      !TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits) || bits != 8 ||
      !TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) || TIFFIsTiled(tiff))
    return nullptr;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  J_COLOR_SPACE space;
  if (samples == 1 && photometric == PHOTOMETRIC_MINISBLACK)
    space = JCS_GRAYSCALE;
  else if (samples == 3 && photometric == PHOTOMETRIC_YCBCR)
    space = JCS_YCbCr;
  else if (samples == 3 && photometric == PHOTOMETRIC_RGB)
    space = JCS_RGB;
  else
    return nullptr;
  if (orientation != ORIENTATION_TOPLEFT || planar != PLANARCONFIG_CONTIG) return nullptr;
  uint32_t width = 0, height = 0, rowsPerStrip = 0;
  if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0 ||
      width > INT32_MAX || height > INT32_MAX)
    throw ETiffError("ETiffError Invalid image size");
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, height);
  const TThumbnailSize size =
      ThumbnailSizeFor(static_cast<int>(width), static_cast<int>(height), cellWidth, cellHeight);
  const int scale = JpegScale(static_cast<int>(width), static_cast<int>(height), size);
  const uint32_t strips = TIFFNumberOfStrips(tiff);
  if (strips != (height + rowsPerStrip - 1) / rowsPerStrip) return nullptr;
  int64_t scaledHeight = 0;
  for (uint32_t s = 0; s < strips; ++s)
    scaledHeight += Scaled(std::min(rowsPerStrip, height - s * rowsPerStrip), scale);

  // The tables every strip shares, without their end marker: each strip's
  // data, without its start marker, follows them as one whole JPEG stream.
  std::vector<uint8_t> tables;
  uint32_t tablesSize = 0;
  const uint8_t* tablesData = nullptr;
  if (TIFFGetField(tiff, TIFFTAG_JPEGTABLES, &tablesSize, &tablesData) && tablesSize >= 4 &&
      tablesData[tablesSize - 2] == 0xFF && tablesData[tablesSize - 1] == 0xD9)
    tables.assign(tablesData, tablesData + tablesSize - 2);

  TDibGraphic scaled;
  scaled.NewImage(static_cast<int>(Scaled(width, scale)), static_cast<int>(scaledHeight),
                  TiffDpi(tiff, TIFFTAG_XRESOLUTION), TiffDpi(tiff, TIFFTAG_YRESOLUTION), nullptr,
                  space == JCS_GRAYSCALE ? ifGray256 : ifTrueColor);
  std::vector<uint8_t> data;
  int row = 0;
  for (uint32_t s = 0; s < strips; ++s) {
    const tmsize_t rawSize = TIFFRawStripSize(tiff, s);
    if (rawSize < 4) throw ETiffError("ETiffError TIFFReadRawStrip");
    data.assign(tables.begin(), tables.end());
    const size_t start = data.size();
    data.resize(start + static_cast<size_t>(rawSize));
    if (TIFFReadRawStrip(tiff, s, data.data() + start, rawSize) != rawSize || handle.DataMissing())
      throw ETiffError("ETiffError TIFFReadRawStrip");
    if (!tables.empty() && data[start] == 0xFF && data[start + 1] == 0xD8)
      data.erase(data.begin() + static_cast<std::ptrdiff_t>(start),
                 data.begin() + static_cast<std::ptrdiff_t>(start) + 2);
    TMemoryStream strip(data.data(), data.size());
    TJpegDecoder decoder(strip);
    jpeg_decompress_struct& info = decoder.Info();
    decoder.Call<EGraphicError>([&] { jpeg_read_header(&info, TRUE); });
    if (info.num_components != samples) throw EGraphicError("JPEG data does not match the page");
    info.jpeg_color_space = space;
    info.out_color_space = space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_EXT_BGR;
    info.scale_num = static_cast<unsigned>(scale);
    info.scale_denom = 8;
    decoder.Call<EGraphicError>([&] { jpeg_start_decompress(&info); });
    const int rows = static_cast<int>(info.output_height);
    ReadScaledRows(decoder, info, scaled, row);
    row += rows;
  }
  if (row != scaled.Height()) throw EGraphicError("JPEG data does not match the page's size");
  return Smoothed(scaled, size);
}
