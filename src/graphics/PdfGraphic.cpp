#include "graphics/PdfGraphic.h"

#include "core/FileStream.h"
#include "core/MemoryStream.h"
#include "core/Rounding.h"
#include "graphics/FlipTransforms.h"
#include "graphics/PdfGraphicWriter.h"
#include "graphics/RotateTransform.h"
#include "pdf/PDFException.h"
#include "pdf/PDFFormat.h"
#include "pdf/PDFImageDecode.h"
#include "pdf/PDFImageReader.h"
#include "pdf/PDFLexer.h"
#include "pdf/PDFObjectCopier.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <sys/stat.h>

namespace {

// Object numbers of a file of one page, and of each page of an appended file.
constexpr int kInfo = 1, kPages = 2, kPage = 3, kResources = 4, kCatalog = 5, kContent = 6,
              kImage = 7;
constexpr int kAppendedCatalog = 3;
int PageObject(int page) {
  return 4 + 4 * page;
}
int ContentObject(int page) {
  return 5 + 4 * page;
}
int ResourcesObject(int page) {
  return 6 + 4 * page;
}
int ImageObject(int page) {
  return 7 + 4 * page;
}

std::vector<uint8_t> ReadToEnd(TStream& stream) {
  const int64_t start = stream.Position();
  const int64_t size = stream.Size();
  std::vector<uint8_t> bytes(size > start ? static_cast<size_t>(size - start) : 0);
  if (!bytes.empty()) stream.ReadBuffer(bytes.data(), bytes.size());
  stream.SetPosition(start);
  return bytes;
}

// A side of the page in points for its pixels at a resolution, at least 1.
std::string Points(int pixels, int dpi) {
  const int64_t points = Round(pixels * 72.0 / dpi);
  return std::to_string(points < 1 ? 1 : points);
}

std::string MediaBoxOf(const TDibGraphic& graphic, std::string& width, std::string& height) {
  width = Points(graphic.Width(), graphic.XDpi() > 0 ? graphic.XDpi() : kDefaultPageDpi);
  height = Points(graphic.Height(), graphic.YDpi() > 0 ? graphic.YDpi() : kDefaultPageDpi);
  return "[0 0 " + width + " " + height + "]";
}

TPdfInfo NewInfo() {
  TPdfInfo info;
  info.CreationDate = "D:" + FormatPDFDate(TPDFDateTime::Now());
  return info;
}

// The information of the file appended to, where it has it.
TPdfInfo InfoOf(TPDFImageReader& reader) {
  TPdfInfo info = NewInfo();
  const TPDFObject* dictionary = reader.Info();
  if (dictionary == nullptr) return info;
  const auto take = [&](const char* key, std::string& text) {
    const TPDFObject* value = reader.File().Get(*dictionary, key);
    if (value != nullptr && value->Kind() == TPDFObject::okString) text = value->Text();
  };
  take("Creator", info.Creator);
  take("CreationDate", info.CreationDate);
  take("Producer", info.Producer);
  take("Author", info.Author);
  take("Title", info.Title);
  take("Subject", info.Subject);
  take("Keywords", info.Keywords);
  return info;
}

// An earlier page to be written again: its boxes, rotation and content as
// they were (the image under its new name), the entries of its image
// dictionary copied, and its image data as stored.
struct TPageCopy {
  std::string MediaBox;
  std::string CropBox; // empty when the page has none
  int Rotate = 0;
  std::vector<TPDFContentOperation> Content;
  TPdfImageObject Image;
};

TPageCopy CopyOf(TPDFImageReader& reader, TPDFObjectCopier& copier, const TPDFImagePage& page) {
  TPDFFile& file = reader.File();
  const TPDFObject& image = *page.Image;
  TPageCopy copy;
  copy.MediaBox = "[" + FormatPDFNumber(page.MediaBox[0]) + " " +
                  FormatPDFNumber(page.MediaBox[1]) + " " + FormatPDFNumber(page.MediaBox[2]) +
                  " " + FormatPDFNumber(page.MediaBox[3]) + "]";
  if (page.CropBox != nullptr) copy.CropBox = SerializePDFObject(copier.Copy(*page.CropBox));
  copy.Rotate = page.Rotate;
  copy.Content = page.Content;
  const TPDFObject* width = file.Get(image, "Width");
  const TPDFObject* height = file.Get(image, "Height");
  if (width == nullptr || height == nullptr || width->Kind() != TPDFObject::okInteger ||
      height->Kind() != TPDFObject::okInteger || width->IntegerValue() < 1 ||
      height->IntegerValue() < 1 || width->IntegerValue() > INT32_MAX ||
      height->IntegerValue() > INT32_MAX)
    PDFDamaged("bad image size");
  copy.Image.Width = static_cast<int>(width->IntegerValue());
  copy.Image.Height = static_cast<int>(height->IntegerValue());
  const auto copied = [&](const char* key) {
    const TPDFObject* value = image.Find(key);
    return value != nullptr ? copier.Copy(*value) : TPDFObject();
  };
  copy.Image.BitsPerComponent = copied("BitsPerComponent");
  copy.Image.ColorSpace = copied("ColorSpace");
  copy.Image.Decode = copied("Decode");
  copy.Image.Filter = copied("Filter");
  copy.Image.DecodeParms = copied("DecodeParms");
  copy.Image.Data = file.RawData(image);
  return copy;
}

std::string ContentText(const std::vector<TPDFContentOperation>& content, int image) {
  std::string text;
  for (const TPDFContentOperation& operation : content) {
    if (operation.Operator == "Do") {
      text += "/Im" + std::to_string(image) + " ";
    } else {
      for (const std::string& operand : operation.Operands) text += operand + " ";
    }
    text += operation.Operator + "\r\n";
  }
  return text;
}

// How a page shows its image: the lengths in points its rows and columns are
// drawn at, and the steps that turn the image as stored into the image as
// seen (a quarter turn clockwise first, then mirroring, then flipping).
struct TPageView {
  double RowPoints = 0;
  double ColumnPoints = 0;
  bool QuarterTurn = false;
  bool Mirror = false;
  bool Flip = false;
};

constexpr double kIdentity[6] = {1, 0, 0, 1, 0, 0};

TPageView ViewOf(const TPDFImagePage& page) {
  // The image's unit square as the page is seen: the drawing's
  // transformation, then the page's turns clockwise.
  double a = page.Matrix[0], b = page.Matrix[1], c = page.Matrix[2], d = page.Matrix[3];
  for (int turn = 0; turn < page.Rotate; turn += 90) {
    const double a0 = a, c0 = c;
    a = b;
    b = -a0;
    c = d;
    d = -c0;
  }
  TPageView view;
  // An image drawn with no transformation at all would be one point square:
  // such a page is taken as showing its image over the whole media box.
  const bool untransformed = std::equal(page.Matrix, page.Matrix + 6, kIdentity);
  view.RowPoints = untransformed ? page.Width() : std::hypot(a, b);
  view.ColumnPoints = untransformed ? page.Height() : std::hypot(c, d);
  if (std::fabs(a * d) >= std::fabs(b * c)) {
    // Rows run across the page: left to right unless mirrored, the first row
    // on top unless flipped.
    view.Mirror = a < 0;
    view.Flip = d < 0;
  } else {
    // Rows run up or down the page: a quarter turn clockwise puts the first
    // row on the right, reading downwards; the others follow from it.
    view.QuarterTurn = true;
    view.Mirror = c < 0;
    view.Flip = b > 0;
  }
  return view;
}

// Loads page imageNumber (from 1) of a file the reader holds into target.
void LoadFromReader(TPDFImageReader& reader, int imageNumber, TPdfGraphic& target) {
  const TPDFImagePage page = reader.Page(imageNumber - 1);
  TDIB image;
  reader.DecodeImage(page, image);
  std::vector<TColour> palette;
  for (int i = 0; i < image.ColorCount(); ++i) palette.push_back(image.PaletteEntry(i) & 0xFFFFFF);
  const TPageView view = ViewOf(page);
  const auto dpi = [](int pixels, double points) {
    const double value = pixels / (points / 72);
    return !(value >= 1) ? 1 : value > 1e6 ? 1000000 : static_cast<int>(Round(value));
  };
  target.ImportDib(image, TDibGraphic::FormatForBits(image.BitCount(), palette),
                   dpi(image.Width(), view.RowPoints), dpi(image.Height(), view.ColumnPoints));
  if (view.QuarterTurn) {
    TRotateTransform turn;
    turn.Apply(target);
  }
  if (view.Mirror) {
    TFlipHorizontalTransform mirror;
    mirror.Apply(target);
  }
  if (view.Flip) {
    TFlipVerticalTransform flip;
    flip.Apply(target);
  }
}

// Writes the file the reader holds with the graphic as page index (from 0):
// in place of that page when the file has it, after the last page when index
// is the page count.
void WriteWithPage(const TPdfGraphic& graphic, TPDFImageReader& reader, TStream& stream,
                   int index) {
  // Everything is read and coded before anything is written.
  const int old = reader.PageCount();
  const int count = index == old ? old + 1 : old;
  std::vector<TPageCopy> copies(static_cast<size_t>(count));
  // Streams the images refer to (colour profiles, palettes, coding tables)
  // follow the pages' objects.
  TPDFObjectCopier copier(reader.File(), ImageObject(count - 1) + 1);
  // Pages that share one image get a copy each: a file may not grow that way
  // far beyond what it holds.
  const uint64_t room = 8 * uint64_t(reader.File().Bytes().size()) + (uint64_t(64) << 20);
  uint64_t copied = 0;
  for (int i = 0; i < old; ++i) {
    if (i == index) continue;
    copies[static_cast<size_t>(i)] = CopyOf(reader, copier, reader.Page(i));
    copied += copies[static_cast<size_t>(i)].Image.Data.size();
    if (copied + copier.StreamBytes() > room)
      throw EPDFReadError("PDF file too large to append to");
  }
  const TPdfImageObject image = EncodePageImage(graphic);
  std::string width, height;
  const std::string mediaBox = MediaBoxOf(graphic, width, height);

  TPdfGraphicWriter writer(stream,
                           ImageObject(count - 1) + static_cast<int>(copier.Streams().size()));
  writer.Header();
  writer.Info(kInfo, InfoOf(reader));
  std::vector<int> kids;
  for (int i = 0; i < count; ++i) kids.push_back(PageObject(i));
  writer.Pages(kPages, kids);
  for (int i = 0; i < count; ++i) {
    if (i == index) {
      writer.Page(PageObject(i), kPages, ResourcesObject(i), ContentObject(i), mediaBox, "", 0);
      writer.Resources(ResourcesObject(i), ImageObject(i));
      writer.Image(ImageObject(i), image);
      writer.Content(ContentObject(i), FullPageContent(width, height, ImageObject(i)));
      continue;
    }
    const TPageCopy& copy = copies[static_cast<size_t>(i)];
    writer.Page(PageObject(i), kPages, ResourcesObject(i), ContentObject(i), copy.MediaBox,
                copy.CropBox, copy.Rotate);
    writer.Resources(ResourcesObject(i), ImageObject(i));
    writer.Content(ContentObject(i), ContentText(copy.Content, ImageObject(i)));
    writer.Image(ImageObject(i), copy.Image);
  }
  for (const TPDFObjectCopier::TStreamCopy& copy : copier.Streams())
    writer.Stream(copy.Number, copy.Dictionary, copy.Data);
  writer.Catalog(kAppendedCatalog, kPages);
  writer.Finish(kAppendedCatalog, kInfo);
}

// Writes the file the reader holds with the graphic as one more page.
void WriteAppended(const TPdfGraphic& graphic, TPDFImageReader& reader, TStream& stream) {
  WriteWithPage(graphic, reader, stream, reader.PageCount());
}

} // namespace

std::unique_ptr<TDibGraphic> TPdfGraphic::CreateEmpty() const {
  return std::make_unique<TPdfGraphic>();
}

bool TPdfGraphic::IsFormatStream(TStream& stream) {
  return StartsWith(stream, "%PDF-");
}

int TPdfGraphic::ImageCount(TStream& stream) {
  return TPdfPages(stream).Count();
}

void TPdfGraphic::LoadImage(TStream& stream, int imageNumber) {
  TPdfPages(stream).Load(imageNumber, *this);
}

struct TPdfPages::TImpl {
  explicit TImpl(std::vector<uint8_t> file) : Reader(std::move(file)) {}
  TPDFImageReader Reader;
};

TPdfPages::TPdfPages(TStream& stream) : TPdfPages(ReadToEnd(stream)) {}

TPdfPages::TPdfPages(std::vector<uint8_t> file) {
  WithoutForeignErrors<EPDFReadError>([&] { FImpl = std::make_unique<TImpl>(std::move(file)); });
}

TPdfPages::~TPdfPages() = default;

int TPdfPages::Count() const {
  return FImpl->Reader.PageCount();
}

void TPdfPages::Load(int imageNumber, TPdfGraphic& target) {
  WithoutForeignErrors<EPDFReadError>([&] { LoadFromReader(FImpl->Reader, imageNumber, target); });
}

void TPdfGraphic::SaveToStream(TStream& stream) {
  const TPdfImageObject image = EncodePageImage(*this);
  std::string width, height;
  const std::string mediaBox = MediaBoxOf(*this, width, height);
  TPdfGraphicWriter writer(stream, 7);
  writer.Header();
  writer.Info(kInfo, NewInfo());
  writer.Pages(kPages, {kPage});
  writer.Page(kPage, kPages, kResources, kContent, mediaBox, "", 0);
  writer.Resources(kResources, kImage);
  writer.Image(kImage, image);
  writer.Content(kContent, FullPageContent(width, height, kImage));
  writer.Catalog(kCatalog, kPages);
  writer.Finish(kCatalog, kInfo);
}

bool TPdfGraphic::WriteReplacing(const std::vector<uint8_t>& file, int pageNumber,
                                 TStream& target) {
  TPDFImageReader reader(file);
  if (pageNumber < 1 || pageNumber > reader.PageCount()) return false;
  WriteWithPage(*this, reader, target, pageNumber - 1);
  return true;
}

void TPdfGraphic::AppendToStream(TStream& stream) {
  const int64_t start = stream.Position();
  if (stream.Size() <= start) {
    SaveToStream(stream);
    return;
  }
  TPDFImageReader reader(ReadToEnd(stream));
  // The new file goes straight over the old one, whose bytes the reader
  // holds: they are what is copied, and what is put back when writing fails.
  const std::vector<uint8_t>& old = reader.File().Bytes();
  try {
    WriteAppended(*this, reader, stream);
    stream.SetSize(stream.Position());
  } catch (...) {
    try {
      stream.SetPosition(start);
      stream.WriteBuffer(old.data(), old.size());
      stream.SetSize(start + static_cast<int64_t>(old.size()));
    } catch (...) {
      // The stream refuses writing back too; the first failure is the one to report.
    }
    throw;
  }
}

void TPdfGraphic::AppendToFile(const std::string& fileName) {
  for (;;) {
    struct stat existing {};
    if (::stat(fileName.c_str(), &existing) != 0 && errno == ENOENT) {
      // Made whole aside and put in place only while the name is still free;
      // when another writer created it meanwhile, this page goes after its.
      TReplacingFileStream created(fileName);
      SaveToStream(created);
      if (created.CommitNew()) return;
      continue;
    }
    // The lock is held on the file the name leads to until the replacement
    // is in place; a writer waiting for it then finds the new file.
    TFileStream file(fileName, TFileStream::fmOpenReadWrite, TFileStream::fmShareDenyWrite);
    TReplacingFileStream replacement(fileName);
    std::vector<uint8_t> bytes = ReadToEnd(file);
    if (bytes.empty()) {
      SaveToStream(replacement);
    } else {
      TPDFImageReader reader(std::move(bytes));
      WriteAppended(*this, reader, replacement);
    }
    replacement.Commit();
    return;
  }
}
