#include "pdf/PDFImageReader.h"

#include "pdf/PDFException.h"
#include "pdf/PDFImageDecode.h"
#include "pdf/PDFLexer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace {

std::string PageText(const char* pattern, int number) {
  char text[96];
  std::snprintf(text, sizeof text, pattern, number);
  return text;
}

bool IsNumberToken(const TPDFToken& token) {
  return token.Type == TPDFToken::ttInteger || token.Type == TPDFToken::ttReal;
}

double NumberOf(const std::string& operand) {
  TPDFLexer lexer(reinterpret_cast<const uint8_t*>(operand.data()), operand.size());
  const TPDFToken token = lexer.Next();
  return token.Type == TPDFToken::ttInteger ? static_cast<double>(token.Integer) : token.Real;
}

// Deepest nesting of saved graphics states a page may use.
constexpr size_t kMaxSavedStates = 256;

// The transformation in force where the content draws its image: each "cm"
// is put in front of the one in force, "q" saves it and "Q" restores it.
void DrawingMatrix(const std::vector<TPDFContentOperation>& content, int number,
                   double (&matrix)[6]) {
  std::array<double, 6> current = {1, 0, 0, 1, 0, 0};
  std::vector<std::array<double, 6>> saved;
  for (const TPDFContentOperation& operation : content) {
    if (operation.Operator == "q") {
      if (saved.size() >= kMaxSavedStates)
        PDFDamaged(PageText("page %d saves graphics states too deeply", number));
      saved.push_back(current);
    } else if (operation.Operator == "Q") {
      if (!saved.empty()) {
        current = saved.back();
        saved.pop_back();
      }
    } else if (operation.Operator == "cm") {
      double m[6];
      for (size_t i = 0; i < 6; ++i) m[i] = NumberOf(operation.Operands[i]);
      const std::array<double, 6> c = current;
      current = {m[0] * c[0] + m[1] * c[2],        m[0] * c[1] + m[1] * c[3],
                 m[2] * c[0] + m[3] * c[2],        m[2] * c[1] + m[3] * c[3],
                 m[4] * c[0] + m[5] * c[2] + c[4], m[4] * c[1] + m[5] * c[3] + c[5]};
    } else if (operation.Operator == "Do") {
      break;
    }
  }
  std::copy(current.begin(), current.end(), matrix);
}

} // namespace

double TPDFImagePage::Width() const {
  return std::fabs(MediaBox[2] - MediaBox[0]);
}

double TPDFImagePage::Height() const {
  return std::fabs(MediaBox[3] - MediaBox[1]);
}

TPDFImageReader::TPDFImageReader(std::vector<uint8_t> bytes) : FFile(std::move(bytes)) {
  const TPDFObject* catalogue = FFile.Get(FFile.Trailer(), "Root");
  const TPDFObject* root = catalogue != nullptr ? FFile.Get(*catalogue, "Pages") : nullptr;
  if (root == nullptr || !root->IsDictionary()) PDFDamaged("no page tree");
  Walk(*root, {}, 0);
}

const TPDFObject* TPDFImageReader::Info() {
  const TPDFObject* info = FFile.Get(FFile.Trailer(), "Info");
  return info != nullptr && info->IsDictionary() ? info : nullptr;
}

void TPDFImageReader::Walk(const TPDFObject& node, TPageEntry inherited, int depth) {
  if (depth > kMaxPDFPageTreeDepth) PDFDamaged("page tree too deep");
  // A node among its own ancestors is a loop; a kid listed twice is shared.
  if (!FVisited.insert(&node).second) PDFDamaged("page tree refers to itself");
  if (++FNodesWalked > 2 * kMaxPDFPages) PDFDamaged("too many pages");
  if (const TPDFObject* box = node.Find("MediaBox")) inherited.MediaBox = box;
  if (const TPDFObject* box = node.Find("CropBox")) inherited.CropBox = box;
  if (const TPDFObject* resources = node.Find("Resources")) inherited.Resources = resources;
  if (const TPDFObject* rotate = node.Find("Rotate")) inherited.Rotate = rotate;
  const TPDFObject* type = FFile.Get(node, "Type");
  const TPDFObject* kids = FFile.Get(node, "Kids");
  if (kids != nullptr && kids->Kind() == TPDFObject::okArray &&
      (type == nullptr || type->IsName("Pages"))) {
    for (const TPDFObject& kid : kids->Items()) {
      const TPDFObject& child = FFile.Resolve(kid);
      if (!child.IsDictionary()) PDFDamaged("bad page tree");
      Walk(child, inherited, depth + 1);
    }
    FVisited.erase(&node);
    return;
  }
  FVisited.erase(&node);
  if (FPages.size() >= kMaxPDFPages) PDFDamaged("too many pages");
  inherited.Page = &node;
  FPages.push_back(inherited);
}

TPDFImagePage TPDFImageReader::Page(int index) {
  const int number = index + 1;
  if (index < 0 || index >= PageCount())
    throw EPDFReadError(PageText("PDF page %d does not exist", number));
  const TPageEntry& entry = FPages[static_cast<size_t>(index)];
  TPDFImagePage page;

  const TPDFObject* box = entry.MediaBox != nullptr ? &FFile.Resolve(*entry.MediaBox) : nullptr;
  if (box == nullptr || box->Kind() != TPDFObject::okArray || box->Items().size() != 4)
    PDFDamaged(PageText("page %d has no media box", number));
  for (size_t i = 0; i < 4; ++i) {
    const TPDFObject& value = FFile.Resolve(box->Items()[i]);
    if (!value.IsNumber() || !std::isfinite(value.NumberValue()) ||
        std::fabs(value.NumberValue()) > 1e7)
      PDFDamaged(PageText("page %d has a bad media box", number));
    page.MediaBox[i] = value.NumberValue();
  }
  if (!(page.Width() > 0) || !(page.Height() > 0))
    PDFDamaged(PageText("page %d has an empty media box", number));
  if (entry.Rotate != nullptr) {
    const TPDFObject& rotate = FFile.Resolve(*entry.Rotate);
    if (rotate.Kind() == TPDFObject::okInteger && rotate.IntegerValue() % 90 == 0)
      page.Rotate = static_cast<int>((rotate.IntegerValue() % 360 + 360) % 360);
  }

  page.Content = ReadContent(*entry.Page, number);
  const TPDFContentOperation* draw = nullptr;
  for (const TPDFContentOperation& operation : page.Content) {
    if (operation.Operator != "Do") continue;
    if (draw != nullptr)
      throw EPDFReadError(PageText("PDF page %d holds more than one image", number));
    draw = &operation;
  }
  if (draw == nullptr) throw EPDFReadError(PageText("PDF page %d holds no image", number));
  DrawingMatrix(page.Content, number, page.Matrix);
  page.CropBox = entry.CropBox;

  const TPDFObject* resources =
      entry.Resources != nullptr ? &FFile.Resolve(*entry.Resources) : nullptr;
  const TPDFObject* objects = resources != nullptr ? FFile.Get(*resources, "XObject") : nullptr;
  TPDFLexer name(reinterpret_cast<const uint8_t*>(draw->Operands[0].data()),
                 draw->Operands[0].size());
  const TPDFObject* image = objects != nullptr ? FFile.Get(*objects, name.Next().Text) : nullptr;
  if (image == nullptr) PDFDamaged(PageText("page %d draws an image it does not have", number));
  const TPDFObject* subtype = FFile.Get(*image, "Subtype");
  if (image->Kind() != TPDFObject::okStream || subtype == nullptr || !subtype->IsName("Image"))
    throw EPDFReadError(PageText("PDF page %d is not an image-only page", number));
  page.Image = image;
  return page;
}

std::vector<TPDFContentOperation> TPDFImageReader::ReadContent(const TPDFObject& pageObject,
                                                               int number) {
  std::vector<const TPDFObject*> streams;
  if (const TPDFObject* contents = FFile.Get(pageObject, "Contents")) {
    if (contents->Kind() == TPDFObject::okArray) {
      for (const TPDFObject& item : contents->Items()) {
        if (streams.size() >= 256) PDFDamaged(PageText("page %d has too many contents", number));
        streams.push_back(&FFile.Resolve(item));
      }
    } else {
      streams.push_back(contents);
    }
  }
  std::vector<uint8_t> text;
  for (const TPDFObject* stream : streams) {
    if (stream->Kind() != TPDFObject::okStream)
      PDFDamaged(PageText("page %d has bad contents", number));
    TDecodedStream decoded = FFile.DecodeStream(*stream, kMaxPDFContentBytes - text.size());
    // More than an image-only page ever needs: there is more on it.
    if (decoded.Truncated)
      throw EPDFReadError(PageText("PDF page %d is not an image-only page", number));
    text.insert(text.end(), decoded.Data.begin(), decoded.Data.end());
    if (text.size() < kMaxPDFContentBytes) text.push_back('\n');
  }

  std::vector<TPDFContentOperation> operations;
  std::vector<TPDFToken> operands;
  TPDFLexer lexer(text.data(), text.size(), 0, &FFile.Budget());
  for (;;) {
    TPDFToken token = lexer.Next();
    if (token.Type == TPDFToken::ttEnd) break;
    if (token.Type == TPDFToken::ttKeyword) {
      TPDFContentOperation operation;
      operation.Operator = token.Text;
      const bool numbers = std::all_of(operands.begin(), operands.end(), IsNumberToken);
      const bool fits = (token.Text == "q" || token.Text == "Q") ? operands.empty()
                        : token.Text == "cm"                     ? operands.size() == 6 && numbers
                        : token.Text == "Do"
                            ? operands.size() == 1 && operands[0].Type == TPDFToken::ttName
                            : false;
      if (!fits) throw EPDFReadError(PageText("PDF page %d is not an image-only page", number));
      for (const TPDFToken& operand : operands)
        operation.Operands.emplace_back(reinterpret_cast<const char*>(text.data()) + operand.Start,
                                        operand.End - operand.Start);
      operations.push_back(std::move(operation));
      operands.clear();
    } else if ((IsNumberToken(token) || token.Type == TPDFToken::ttName) && operands.size() < 6) {
      operands.push_back(std::move(token));
    } else {
      throw EPDFReadError(PageText("PDF page %d is not an image-only page", number));
    }
  }
  if (!operands.empty())
    throw EPDFReadError(PageText("PDF page %d is not an image-only page", number));
  return operations;
}

void TPDFImageReader::DecodeImage(const TPDFImagePage& page, TDIB& image) {
  DecodePDFImage(FFile, *page.Image, image);
}
