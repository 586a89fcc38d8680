#include "graphics/PdfGraphicWriter.h"

#include "core/MemoryStream.h"
#include "graphics/Group4Data.h"
#include "graphics/JpegGraphic.h"
#include "pdf/FlateStream.h"
#include "pdf/PDFFormat.h"

#include <cstring>

namespace {

bool GreyRamp(const TDibGraphic& graphic) {
  for (int i = 0; i < graphic.PaletteSize(); ++i)
    if (graphic.PaletteColour(i) != ColourOf(i * 17, i * 17, i * 17)) return false;
  return true;
}

std::vector<uint8_t> Bytes(const TMemoryStream& stream) {
  return stream.Bytes();
}

// The rows' samples, deflated; bits beyond the width in a row's last byte are 0.
std::vector<uint8_t> Flate(const TDibGraphic& graphic) {
  const int bits = graphic.BitCount();
  const auto rowBytes = static_cast<size_t>((graphic.Width() * bits + 7) / 8);
  const int spare = static_cast<int>(rowBytes * 8) - graphic.Width() * bits;
  const auto lastMask = static_cast<uint8_t>(0xFF << spare);
  TMemoryStream data;
  {
    TCompressionStream deflate(data);
    std::vector<uint8_t> row(rowBytes);
    for (int y = 0; y < graphic.Height(); ++y) {
      std::memcpy(row.data(), graphic.ScanLine(y), rowBytes);
      row[rowBytes - 1] &= lastMask;
      deflate.WriteBuffer(row.data(), rowBytes);
    }
    deflate.Finish();
  }
  return Bytes(data);
}

TPDFObject IndexedColourSpace(const TDibGraphic& graphic) {
  std::string palette;
  for (int i = 0; i < graphic.PaletteSize(); ++i) {
    const TColour colour = graphic.PaletteColour(i);
    palette += static_cast<char>(RedOf(colour));
    palette += static_cast<char>(GreenOf(colour));
    palette += static_cast<char>(BlueOf(colour));
  }
  TPDFObject space = TPDFObject::Array();
  space.Add(TPDFObject::Name("Indexed"));
  space.Add(TPDFObject::Name("DeviceRGB"));
  space.Add(TPDFObject::Integer(graphic.PaletteSize() - 1));
  space.Add(TPDFObject::String(std::move(palette)));
  return space;
}

} // namespace

TPdfImageObject EncodePageImage(const TDibGraphic& graphic) {
  if (graphic.Empty() || graphic.Width() <= 0 || graphic.Height() <= 0)
    throw EGraphicError("Graphic is empty");
  TPdfImageObject image;
  image.Width = graphic.Width();
  image.Height = graphic.Height();
  image.BitsPerComponent =
      TPDFObject::Integer(graphic.ImageFormat() == ifTrueColor ? 8 : graphic.BitCount());
  image.ColorSpace = TPDFObject::Name("DeviceGray");
  switch (graphic.ImageFormat()) {
  case ifBlackWhite: {
    image.Filter = TPDFObject::Array();
    image.Filter.Add(TPDFObject::Name("CCITTFaxDecode"));
    TPDFObject parameters = TPDFObject::Dictionary();
    parameters.Set("Columns", TPDFObject::Integer(graphic.Width()));
    parameters.Set("Rows", TPDFObject::Integer(graphic.Height()));
    parameters.Set("K", TPDFObject::Integer(-1));
    image.DecodeParms = TPDFObject::Array();
    image.DecodeParms.Add(std::move(parameters));
    image.OwnedData = Group4Data(graphic);
    break;
  }
  case ifGray16:
  case ifColor16:
  case ifColor256:
    if (graphic.ImageFormat() != ifGray16 || !GreyRamp(graphic))
      image.ColorSpace = IndexedColourSpace(graphic);
    image.Filter = TPDFObject::Name("FlateDecode");
    image.OwnedData = Flate(graphic);
    break;
  case ifGray256:
  case ifTrueColor: {
    if (graphic.ImageFormat() == ifTrueColor) image.ColorSpace = TPDFObject::Name("DeviceRGB");
    image.Filter = TPDFObject::Name("DCTDecode");
    TMemoryStream data;
    WriteGraphicJpeg(graphic, 80, data);
    image.OwnedData = Bytes(data);
    break;
  }
  }
  image.Data = image.OwnedData;
  return image;
}

std::string FullPageContent(const std::string& width, const std::string& height, int image) {
  return "q\r\n1 0 0 1 0 0 cm\r\n" + width + " 0 0 " + height + " 0 0 cm\r\n/Im" +
         std::to_string(image) + " Do\r\nQ\r\n";
}

TPdfGraphicWriter::TPdfGraphicWriter(TStream& stream, int objectCount) : FWriter(stream) {
  for (int i = 0; i < objectCount; ++i) FWriter.NewObjectNumber();
}

void TPdfGraphicWriter::Begin(int number) {
  FWriter.BeginObject(number);
}

void TPdfGraphicWriter::End() {
  FWriter.WriteLine(">>");
  FWriter.WriteLine("endobj");
}

void TPdfGraphicWriter::Header() {
  // The binary bytes after the version mark the file as binary for programs
  // that look at its first line.
  FWriter.WriteLine("%PDF-1.3\xFF\xFE\xFD");
}

void TPdfGraphicWriter::Info(int number, const TPdfInfo& info) {
  Begin(number);
  FWriter.WriteLine("/Creator " + FormatPDFString(info.Creator));
  FWriter.WriteLine("/CreationDate " + FormatPDFString(info.CreationDate));
  FWriter.WriteLine("/Producer " + FormatPDFString(info.Producer));
  FWriter.WriteLine("/Author " + FormatPDFString(info.Author));
  FWriter.WriteLine("/Title " + FormatPDFString(info.Title));
  FWriter.WriteLine("/Subject " + FormatPDFString(info.Subject));
  FWriter.WriteLine("/Keywords " + FormatPDFString(info.Keywords));
  End();
}

void TPdfGraphicWriter::Pages(int number, const std::vector<int>& kids) {
  Begin(number);
  FWriter.WriteLine("/Type /Pages");
  FWriter.WriteLine("/Kids [");
  for (int kid : kids) FWriter.WriteLine(std::to_string(kid) + " 0 R");
  FWriter.WriteLine("]");
  FWriter.WriteLine("/Count " + std::to_string(kids.size()));
  End();
}

void TPdfGraphicWriter::Page(int number, int parent, int resources, int contents,
                             const std::string& mediaBox, const std::string& cropBox, int rotate) {
  Begin(number);
  FWriter.WriteLine("/Type /Page");
  FWriter.WriteLine("/Parent " + std::to_string(parent) + " 0 R");
  FWriter.WriteLine("/Resources " + std::to_string(resources) + " 0 R");
  FWriter.WriteLine("/Contents [" + std::to_string(contents) + " 0 R]");
  FWriter.WriteLine("/MediaBox " + mediaBox);
  if (!cropBox.empty()) FWriter.WriteLine("/CropBox " + cropBox);
  if (rotate != 0) FWriter.WriteLine("/Rotate " + std::to_string(rotate));
  End();
}

void TPdfGraphicWriter::Resources(int number, int image) {
  Begin(number);
  FWriter.WriteLine(" /XObject << /Im" + std::to_string(image) + " " + std::to_string(image) +
                    " 0 R >>");
  FWriter.WriteLine("/Font << >>");
  End();
}

void TPdfGraphicWriter::Content(int number, const std::string& content) {
  FWriter.WriteStreamObject(number, {"/Length " + std::to_string(content.size())},
                            {reinterpret_cast<const uint8_t*>(content.data()), content.size()},
                            false);
}

void TPdfGraphicWriter::Image(int number, const TPdfImageObject& image) {
  std::vector<std::string> dictionary = {
      "/Type /XObject", "/Subtype /Image", "/Name /Im" + std::to_string(number),
      "/Width " + std::to_string(image.Width), "/Height " + std::to_string(image.Height)};
  if (!image.BitsPerComponent.IsNull())
    dictionary.push_back("/BitsPerComponent " + SerializePDFObject(image.BitsPerComponent));
  if (!image.ColorSpace.IsNull())
    dictionary.push_back("/ColorSpace " + SerializePDFObject(image.ColorSpace));
  if (!image.Decode.IsNull()) dictionary.push_back("/Decode " + SerializePDFObject(image.Decode));
  dictionary.push_back("/Length " + std::to_string(image.Data.size()));
  if (!image.Filter.IsNull()) {
    std::string filter = "/Filter " + SerializePDFObject(image.Filter);
    if (!image.DecodeParms.IsNull())
      filter += " /DecodeParms" + SerializePDFObject(image.DecodeParms);
    dictionary.push_back(std::move(filter));
  }
  FWriter.WriteStreamObject(number, dictionary, image.Data, true);
}

void TPdfGraphicWriter::Stream(int number, const TPDFObject& dictionary,
                               std::span<const uint8_t> data) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < dictionary.Keys().size(); ++i)
    lines.push_back(SerializePDFObject(TPDFObject::Name(dictionary.Keys()[i])) + " " +
                    SerializePDFObject(dictionary.Items()[i]));
  lines.push_back("/Length " + std::to_string(data.size()));
  FWriter.WriteStreamObject(number, lines, data, true);
}

void TPdfGraphicWriter::Catalog(int number, int pages) {
  Begin(number);
  FWriter.WriteLine("/Type /Catalog");
  FWriter.WriteLine("/Pages " + std::to_string(pages) + " 0 R");
  FWriter.WriteLine("/PageLayout /SinglePage");
  FWriter.WriteLine("/PageMode /UseNone");
  End();
}

void TPdfGraphicWriter::Finish(int root, int info) {
  const int64_t crossReference = FWriter.WriteCrossReference();
  FWriter.WriteLine("trailer");
  FWriter.WriteLine("<<");
  FWriter.WriteLine("/Size " + std::to_string(FWriter.ObjectCount() + 1));
  FWriter.WriteLine("/Root " + std::to_string(root) + " 0 R");
  FWriter.WriteLine("/Info " + std::to_string(info) + " 0 R");
  FWriter.WriteLine(">>");
  FWriter.WriteLine("startxref");
  FWriter.WriteLine(std::to_string(crossReference));
  FWriter.WriteLine("%%EOF");
  FWriter.Flush();
}
