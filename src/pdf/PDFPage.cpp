#include "pdf/PDFPage.h"

#include "core/MemoryStream.h"
#include "core/Rounding.h"
#include "pdf/FlateStream.h"
#include "pdf/PDFException.h"
#include "pdf/PDFFormat.h"
#include "pdf/PDFWriter.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

struct TPaperSize {
  int width;
  int height;
};

// Paper sizes in points for the size codes 1 to 19.
constexpr TPaperSize kPaperSizes[19] = {
    {612, 792},  {595, 842}, {842, 1190}, {612, 1008}, {516, 728},  {459, 649}, {595, 792},
    {728, 1031}, {419, 595}, {612, 936},  {522, 756},  {728, 1031}, {499, 708}, {323, 459},
    {312, 623},  {279, 540}, {279, 639},  {297, 684},  {324, 747},
};

constexpr int kDefaultPageSize = 2;

int RoundToInt(long double value) {
  return static_cast<int>(Round(static_cast<double>(value)));
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

} // namespace

void TPDFCanvas::Draw(const std::vector<std::string>& operatorLines, double right, double bottom) {
  FLines.insert(FLines.end(), operatorLines.begin(), operatorLines.end());
  FRight = std::max(FRight, right);
  FBottom = std::max(FBottom, bottom);
}

TPDFPage::TPDFPage(TPDFWriter& writer, TPDFImages& images, int resolution)
    : FImages(images), FObjectNumber(writer.NewObjectNumber()),
      FFactor(static_cast<long double>(resolution) / 72.0L) {
  SetPageSize(kDefaultPageSize);
  FContent.push_back("q");
}

TPDFPage::~TPDFPage() = default;

int TPDFPage::Width() const {
  return RoundToInt(FWidth * FFactor);
}
int TPDFPage::Height() const {
  return RoundToInt(FHeight * FFactor);
}

void TPDFPage::CheckNotDrawing() const {
  if (FDrawingStarted) throw TPDFException(kPageInProgress);
}

void TPDFPage::SetWidth(int value) {
  CheckNotDrawing();
  const int points = RoundToInt(value / FFactor);
  if (points == FWidth) return;
  FWidth = points;
  FPageSize = 0;
}

void TPDFPage::SetHeight(int value) {
  CheckNotDrawing();
  const int points = RoundToInt(value / FFactor);
  if (points == FHeight) return;
  FHeight = points;
  FPageSize = 0;
}

void TPDFPage::SetPageSize(int code) {
  CheckNotDrawing();
  FPageSize = code;
  if (code >= 1 && code <= 19) {
    FWidth = kPaperSizes[code - 1].width;
    FHeight = kPaperSizes[code - 1].height;
  }
  SetOrientation(FOrientation);
}

void TPDFPage::SetOrientation(int orientation) {
  CheckNotDrawing();
  if (orientation != 0 && orientation != 1) throw TPDFException(kOutOfRange);
  FOrientation = orientation;
  if ((orientation == 0 && FHeight < FWidth) || (orientation == 1 && FWidth < FHeight))
    std::swap(FWidth, FHeight);
}

void TPDFPage::SetRotation(int rotation) {
  if (rotation < 0 || rotation > 3) throw TPDFException(kOutOfRange);
  FRotation = rotation;
}

void TPDFPage::GStateSave() {
  FContent.push_back("q");
  ++FStateDepth;
}

void TPDFPage::GStateRestore() {
  if (FStateDepth <= 1) return;
  FContent.push_back("Q");
  --FStateDepth;
}

double TPDFPage::ToPointsX(double x) {
  FDrawingStarted = true;
  return static_cast<double>(x / FFactor);
}

double TPDFPage::ToPointsY(double y) {
  FDrawingStarted = true;
  return static_cast<double>(FHeight - y / FFactor);
}

double TPDFPage::ToPointsSize(double size) {
  FDrawingStarted = true;
  return static_cast<double>(size / FFactor);
}

void TPDFPage::ShowImage(int index, double x, double y, double w, double h, double angle) {
  const double left = ToPointsX(x);
  const double bottom = ToPointsY(y) - ToPointsSize(h);
  const double width = ToPointsSize(w);
  const double height = ToPointsSize(h);
  if (index < 0 || index >= FImages.Count()) throw TPDFException(kOutOfRange);
  FContent.push_back("q");
  FContent.push_back("1 0 0 1 " + FormatPDFReal(left) + " " + FormatPDFReal(bottom) + " cm");
  if (std::fabs(angle) > 0.001) {
    const double radians = angle * 0.017453292519943295769;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    FContent.push_back(FormatPDFReal(c) + " " + FormatPDFReal(s) + " " + FormatPDFReal(-s) + " " +
                       FormatPDFReal(c) + " 0 0 cm");
  }
  FContent.push_back(FormatPDFReal(width) + " 0 0 " + FormatPDFReal(height) + " 0 0 cm");
  FContent.push_back("/" + FImages[index].Name() + " Do");
  FContent.push_back("Q");
  if (std::find(FDrawnImages.begin(), FDrawnImages.end(), index) == FDrawnImages.end())
    FDrawnImages.push_back(index);
}

void TPDFPage::CreateCanvas() {
  if (FCanvasCreated) throw TPDFException(kCanvasAlreadyCreated);
  FCanvas = std::make_unique<TPDFCanvas>();
  FCanvasCreated = true;
}

void TPDFPage::End() {
  if (FCanvas && FCanvas->Reaches()) {
    std::vector<std::string> lines = FCanvas->Lines();
    lines.push_back("\r");
    lines.insert(lines.end(), FContent.begin(), FContent.end());
    FContent = std::move(lines);
  }
  FCanvas.reset();
}

void TPDFPage::Write(TPDFWriter& writer, TCompressionType compression, int pagesNumber) {
  for (int index : FDrawnImages) FImages[index].WriteXObject(writer);
  for (int open = FStateDepth - 1; open > 0; --open) GStateRestore();
  int resources = writer.NewObjectNumber();
  int contents = writer.NewObjectNumber();
  FStateDepth = 2;
  GStateRestore();

  writer.BeginObject(resources);
  if (!FDrawnImages.empty()) {
    writer.WriteLine(" /XObject <<");
    for (int index : FDrawnImages) {
      const TPDFImage& image = FImages[index];
      writer.WriteLine("/" + image.Name() + " " + std::to_string(image.ObjectNumber()) + " 0 R");
    }
    writer.WriteLine(">>");
  }
  writer.WriteLine(">>");
  writer.WriteLine("endobj");

  const std::string text = Join(FContent);
  if (compression == ctFlate) {
    TMemoryStream packed;
    {
      TCompressionStream deflater(packed);
      deflater.WriteBuffer(text.data(), text.size());
      deflater.Finish();
    }
    writer.WriteStreamObject(contents,
                             {"/Length " + std::to_string(packed.Size()), "/Filter /FlateDecode"},
                             {packed.Memory(), static_cast<size_t>(packed.Size())}, true);
  } else {
    writer.WriteStreamObject(contents, {"/Length " + std::to_string(text.size())},
                             {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, true);
  }
  FContent.clear();

  writer.BeginObject(FObjectNumber);
  writer.WriteLine("/Type /Page");
  writer.WriteLine("/Parent " + std::to_string(pagesNumber) + " 0 R");
  writer.WriteLine("/Resources " + std::to_string(resources) + " 0 R");
  writer.WriteLine("/Contents [" + std::to_string(contents) + " 0 R]");
  writer.WriteLine("/MediaBox [0 0 " + std::to_string(FWidth) + " " + std::to_string(FHeight) +
                   "]");
  if (FRotation != 0) writer.WriteLine("/Rotate " + std::to_string(FRotation * 90));
  writer.WriteLine(">>");
  writer.WriteLine("endobj");
}

TPDFPage& TPDFPages::Add(std::unique_ptr<TPDFPage> page) {
  FItems.push_back(std::move(page));
  return *FItems.back();
}
