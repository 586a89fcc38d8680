#include "pdf/PDFImage.h"

#include "pdf/CCITTCompression.h"
#include "pdf/FlateStream.h"
#include "pdf/PDFException.h"
#include "pdf/PDFWriter.h"
#include "raster/RowOps.h"

#include <string>

namespace {

constexpr const char* kNotValidImage = "Not valid image.";
constexpr const char* kCCITTOnlyBitmap = "CCITT compression work only for bitmap";

bool IsCCITT(TImageCompression kind) {
  return kind == icCCITT1D || kind == icCCITT2D || kind == icCCITT4;
}

void CheckKind(TImageCompression kind) {
  if (kind > icCCITT4) throw TPDFException(kOutOfRange);
}

} // namespace

TPDFImage::TPDFImage(const TDIB& bitmap, TImageCompression kind, int jpegQuality) : FKind(kind) {
  CheckKind(kind);
  if (bitmap.Empty()) throw TPDFException(kNotValidImage);
  FWidth = bitmap.Width();
  FHeight = bitmap.Height();
  BuildFromBitmap(bitmap, jpegQuality);
}

TPDFImage::TPDFImage(const TJPEGImage& jpeg, TImageCompression kind) : FKind(kind) {
  CheckKind(kind);
  FWidth = jpeg.Width();
  FHeight = jpeg.Height();
  if (IsCCITT(kind)) throw TPDFException(kCCITTOnlyBitmap);
  if (kind == icFlate) {
    TDIB bitmap;
    jpeg.Decode(bitmap);
    BuildFlate(bitmap);
  } else {
    // Only grey and RGB data can be shown through the colour spaces the
    // XObject names; other component counts would give a broken image.
    if (jpeg.Components() != 1 && jpeg.Components() != 3) throw TPDFException(kNotValidImage);
    FData.WriteBuffer(jpeg.Data().data(), jpeg.Data().size());
    FGrayscale = jpeg.Components() == 1;
    FBitsPerComponent = 8;
  }
  FData.SetPosition(0);
}

void TPDFImage::BuildFromBitmap(const TDIB& bitmap, int jpegQuality) {
  switch (FKind) {
  case icJPEG:
    EncodeJpeg(bitmap, jpegQuality, FData);
    FGrayscale = false;
    FBitsPerComponent = 8;
    break;
  case icFlate:
    BuildFlate(bitmap);
    break;
  case icCCITT1D:
  case icCCITT2D:
  case icCCITT4:
    FBitsPerComponent = 1;
    TCCITTCompression::CompressBitmap(bitmap, FData,
                                      static_cast<TCCITTMode>(static_cast<int>(FKind) - icCCITT1D));
    break;
  }
  FData.SetPosition(0);
}

// Rows from the top, each as red, green, blue bytes with nothing between rows.
void TPDFImage::BuildFlate(const TDIB& bitmap) {
  FBitsPerComponent = 8;
  const int width = bitmap.Width();
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  TCompressionStream deflater(FData);
  for (int y = 0; y < bitmap.Height(); ++y) {
    uint8_t* out = row.data();
    if (bitmap.BitCount() == 24) {
      SwapRedBlue(bitmap.ScanLine(y), out, static_cast<size_t>(width));
    } else {
      for (int x = 0; x < width; ++x, out += 3) {
        const uint32_t entry = bitmap.PaletteEntry(bitmap.GetPixel(x, y));
        out[0] = PaletteRed(entry);
        out[1] = PaletteGreen(entry);
        out[2] = PaletteBlue(entry);
      }
    }
    deflater.WriteBuffer(row.data(), row.size());
  }
  deflater.Finish();
}

void TPDFImage::WriteXObject(TPDFWriter& writer) {
  if (FWritten) return;
  std::vector<std::string> dictionary = {
      "/Type /XObject",
      "/Subtype /Image",
      FBitsPerComponent == 1 || FGrayscale ? "/ColorSpace /DeviceGray" : "/ColorSpace /DeviceRGB",
      "/BitsPerComponent " + std::to_string(FBitsPerComponent),
      "/Width " + std::to_string(FWidth),
      "/Height " + std::to_string(FHeight),
      FKind == icFlate  ? "/Filter /FlateDecode"
      : FKind == icJPEG ? "/Filter /DCTDecode"
                        : "/Filter [/CCITTFaxDecode]",
      "/Length " + std::to_string(FData.Size())};
  if (IsCCITT(FKind)) {
    const char* k = FKind == icCCITT1D ? "0" : FKind == icCCITT2D ? "1" : "-1";
    dictionary.push_back(std::string("/DecodeParms [<</K ") + k + " /Columns " +
                         std::to_string(FWidth) + " /Rows " + std::to_string(FHeight) + ">>]");
  }
  writer.WriteStreamObject(FObjectNumber, dictionary,
                           {FData.Memory(), static_cast<size_t>(FData.Size())}, false);
  FData.Clear();
  FWritten = true;
}

int TPDFImages::Add(std::unique_ptr<TPDFImage> image) {
  image->FName = "Im" + std::to_string(FItems.size());
  FItems.push_back(std::move(image));
  return Count() - 1;
}
