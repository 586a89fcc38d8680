#include "pdf/PDFImageDecode.h"

#include "core/MemoryStream.h"
#include "pdf/JpegCodec.h"
#include "pdf/PDFException.h"
#include "pdf/PDFFaxDecode.h"
#include "pdf/PDFJbig2Decode.h"
#include "pdf/PDFJpxDecode.h"
#include "pdf/PDFLexer.h"

#include <algorithm>

namespace {

struct TColourSpace {
  int Components = 0; // 1 grey, 3 RGB; 0 when the image does not say
  bool Indexed = false;
  int HighValue = 0;
  std::vector<uint32_t> Palette; // palette entries (blue in the low byte)
};

[[noreturn]] void Unsupported(const std::string& what) {
  throw EPDFReadError("PDF image: " + what + " not supported");
}

bool BooleanOf(const TPDFObject* value, bool otherwise) {
  return value != nullptr && value->Kind() == TPDFObject::okBoolean ? value->BooleanValue()
                                                                    : otherwise;
}

int DeviceComponents(const std::string& name) {
  if (name == "DeviceGray" || name == "G" || name == "CalGray") return 1;
  if (name == "DeviceRGB" || name == "RGB" || name == "CalRGB") return 3;
  // Taken only for JPEG data, which is converted as it is decoded.
  if (name == "DeviceCMYK" || name == "CMYK") return 4;
  return 0;
}

TColourSpace ReadColourSpace(TPDFFile& file, const TPDFObject& value, bool allowIndexed) {
  TColourSpace space;
  const TPDFObject& resolved = file.Resolve(value);
  if (resolved.Kind() == TPDFObject::okName) {
    space.Components = DeviceComponents(resolved.Text());
    if (space.Components == 0)
      Unsupported("colour space " + SerializePDFObject(resolved).substr(0, 40));
    return space;
  }
  if (resolved.Kind() != TPDFObject::okArray || resolved.Items().empty())
    Unsupported("colour space");
  const TPDFObject& family = file.Resolve(resolved.Items()[0]);
  if (family.Kind() != TPDFObject::okName) Unsupported("colour space");
  const std::string& name = family.Text();
  if (name == "CalGray" || name == "CalRGB" || name == "DeviceGray" || name == "DeviceRGB") {
    space.Components = DeviceComponents(name);
  } else if (name == "ICCBased" && resolved.Items().size() >= 2) {
    const TPDFObject& profile = file.Resolve(resolved.Items()[1]);
    const int64_t n = IntegerOf(file.Get(profile, "N"), 0);
    if (n != 1 && n != 3 && n != 4)
      Unsupported("colour space of " + std::to_string(n) + " components");
    space.Components = static_cast<int>(n);
  } else if ((name == "Indexed" || name == "I") && allowIndexed && resolved.Items().size() == 4) {
    const TColourSpace base = ReadColourSpace(file, resolved.Items()[1], false);
    if (base.Components == 4) Unsupported("palette of CMYK colours");
    const int64_t high = IntegerOf(&file.Resolve(resolved.Items()[2]), -1);
    if (high < 0 || high > 255) PDFDamaged("bad palette size");
    space.Components = 1;
    space.Indexed = true;
    space.HighValue = static_cast<int>(high);
    const size_t needed = static_cast<size_t>(high + 1) * static_cast<size_t>(base.Components);
    const TPDFObject& lookup = file.Resolve(resolved.Items()[3]);
    std::vector<uint8_t> table;
    if (lookup.Kind() == TPDFObject::okString) {
      table.assign(lookup.Text().begin(), lookup.Text().end());
    } else if (lookup.Kind() == TPDFObject::okStream) {
      table = file.DecodeStream(lookup, needed).Data;
    } else {
      PDFDamaged("bad palette");
    }
    if (table.size() < needed) PDFDamaged("palette cut short");
    for (int i = 0; i <= high; ++i) {
      const uint8_t* entry =
          table.data() + static_cast<size_t>(i) * static_cast<size_t>(base.Components);
      space.Palette.push_back(base.Components == 1 ? PaletteColor(entry[0], entry[0], entry[0])
                                                   : PaletteColor(entry[0], entry[1], entry[2]));
    }
  } else {
    Unsupported("colour space /" + SerializePDFObject(family).substr(1, 40));
  }
  return space;
}

// Whether the Decode array inverts the samples: false for the default
// mapping, true for the reversed one; anything else is not taken.
bool ReadInversion(TPDFFile& file, const TPDFObject& image, int components, double maximum) {
  const TPDFObject* decode = file.Get(image, "Decode");
  if (decode == nullptr) return false;
  if (decode->Kind() != TPDFObject::okArray ||
      decode->Items().size() != static_cast<size_t>(2 * components))
    Unsupported("Decode array");
  int inverted = 0;
  for (int c = 0; c < components; ++c) {
    const TPDFObject& low = file.Resolve(decode->Items()[static_cast<size_t>(2 * c)]);
    const TPDFObject& high = file.Resolve(decode->Items()[static_cast<size_t>(2 * c + 1)]);
    if (!low.IsNumber() || !high.IsNumber()) Unsupported("Decode array");
    if (low.NumberValue() == 0 && high.NumberValue() == maximum) continue;
    if (low.NumberValue() == maximum && high.NumberValue() == 0) {
      ++inverted;
      continue;
    }
    Unsupported("Decode array");
  }
  if (inverted != 0 && inverted != components) Unsupported("Decode array");
  return inverted != 0;
}

void SetGreyPalette(TDIB& page) {
  const int count = page.ColorCount();
  for (int i = 0; i < count; ++i) {
    const auto level = static_cast<uint8_t>(i * 255 / (count - 1));
    page.SetPaletteEntry(i, PaletteColor(level, level, level));
  }
}

void InvertRows(TDIB& page) {
  const size_t bytes = static_cast<size_t>(page.RowBytes());
  for (int y = 0; y < page.Height(); ++y) {
    uint8_t* row = page.ScanLine(y);
    for (size_t i = 0; i < bytes; ++i) row[i] = static_cast<uint8_t>(~row[i]);
  }
}

int Sample(const uint8_t* row, size_t index, int bits) {
  switch (bits) {
  case 1:
    return row[index >> 3] >> (7 - (index & 7)) & 1;
  case 2:
    return row[index >> 2] >> (6 - 2 * (index & 3)) & 3;
  case 4:
    return row[index >> 1] >> (4 - 4 * (index & 1)) & 15;
  case 8:
    return row[index];
  default:
    return row[2 * index]; // 16 bits: the high byte
  }
}

void SetNibble(uint8_t* row, int x, int value) {
  uint8_t& byte = row[x >> 1];
  byte = (x & 1) ? static_cast<uint8_t>((byte & 0xF0) | value)
                 : static_cast<uint8_t>((byte & 0x0F) | value << 4);
}

// Raw samples, rows of rowBytes from the top, into the page.
void BuildFromSamples(const std::vector<uint8_t>& data, int width, int height, int bits,
                      const TColourSpace& space, bool inverted, TDIB& page) {
  const int maximum = bits == 16 ? 255 : (1 << bits) - 1;
  const size_t rowBytes = (static_cast<size_t>(width) * static_cast<size_t>(space.Components) *
                               static_cast<size_t>(bits) +
                           7) /
                          8;
  const auto value = [&](const uint8_t* row, size_t index) {
    const int sample = Sample(row, index, bits);
    return inverted ? maximum - sample : sample;
  };
  if (space.Indexed) {
    if (bits == 16) Unsupported("16-bit palette image");
    page.NewImage(width, height, bits == 1 ? pf1bit : bits == 8 ? pf8bit : pf4bit, 0, 0);
    for (int i = 0; i < page.ColorCount(); ++i)
      page.SetPaletteEntry(i, i < static_cast<int>(space.Palette.size())
                                  ? space.Palette[static_cast<size_t>(i)]
                                  : 0);
    // Indices beyond the palette show its last entry.
    for (int y = 0; y < height; ++y) {
      const uint8_t* source = data.data() + rowBytes * static_cast<size_t>(y);
      uint8_t* row = page.ScanLine(y);
      for (int x = 0; x < width; ++x) {
        const int index = std::min(value(source, static_cast<size_t>(x)), space.HighValue);
        if (bits == 8)
          row[x] = static_cast<uint8_t>(index);
        else
          page.SetPixel(x, y, index);
      }
    }
    return;
  }
  if (space.Components == 1) {
    const TPixelFormat format = bits == 1 ? pf1bit : bits <= 4 ? pf4bit : pf8bit;
    page.NewImage(width, height, format, 0, 0);
    SetGreyPalette(page);
    for (int y = 0; y < height; ++y) {
      const uint8_t* source = data.data() + rowBytes * static_cast<size_t>(y);
      uint8_t* row = page.ScanLine(y);
      if (bits == 1 || bits == 4 || bits == 8) {
        std::copy(source, source + rowBytes, row);
      } else if (bits == 2) {
        for (int x = 0; x < width; ++x)
          SetNibble(row, x, Sample(source, static_cast<size_t>(x), 2) * 5);
      } else {
        for (int x = 0; x < width; ++x) row[x] = source[2 * static_cast<size_t>(x)];
      }
    }
    if (inverted) InvertRows(page);
    return;
  }
  page.NewImage(width, height, pf24bit, 0, 0);
  for (int y = 0; y < height; ++y) {
    const uint8_t* source = data.data() + rowBytes * static_cast<size_t>(y);
    uint8_t* row = page.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        const int level = value(source, static_cast<size_t>(3 * x + c)) * 255 / maximum;
        row[3 * x + 2 - c] = static_cast<uint8_t>(level);
      }
    }
  }
}

// JPEG data written as two JPEG streams joined, the tables in one and the
// frame in the other (as tiff2pdf's pass-through of JPEG TIFF pages writes
// it): the start and end markers met before the scan are dropped, so that
// libjpeg reads one stream, as other viewers do.
void JoinJpegStreams(std::vector<uint8_t>& data) {
  if (data.size() < 4 || data[0] != 0xFF || data[1] != 0xD8) return;
  size_t at = 2;
  while (at + 4 <= data.size()) {
    if (data[at] != 0xFF) return;
    const uint8_t marker = data[at + 1];
    if (marker == 0xFF) {
      ++at; // fill byte
    } else if (marker == 0xD8 || marker == 0xD9) {
      data.erase(data.begin() + static_cast<ptrdiff_t>(at),
                 data.begin() + static_cast<ptrdiff_t>(at) + 2);
    } else if (marker == 0xDA) {
      return;
    } else if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      at += 2;
    } else {
      at += 2 + (size_t{data[at + 2]} << 8 | data[at + 3]);
    }
  }
}

} // namespace

void DecodePDFImage(TPDFFile& file, const TPDFObject& image, TDIB& page) {
  if (image.Kind() != TPDFObject::okStream) PDFDamaged("image is not a stream");
  if (BooleanOf(file.Get(image, "ImageMask"), false)) Unsupported("image mask");
  const int64_t width = IntegerOf(file.Get(image, "Width"), -1);
  const int64_t height = IntegerOf(file.Get(image, "Height"), -1);
  if (width < 1 || height < 1 || width > INT32_MAX || height > INT32_MAX)
    PDFDamaged("bad image size");
  int64_t bits = IntegerOf(file.Get(image, "BitsPerComponent"), 0);
  TColourSpace space;
  if (const TPDFObject* colourSpace = file.Get(image, "ColorSpace"))
    space = ReadColourSpace(file, *colourSpace, true);

  // The raw size the samples would need; filters before an image coding are
  // held to the same bound.
  const int components = space.Components == 0 ? 1 : space.Components;
  const int rawBits =
      bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 ? static_cast<int>(bits) : 8;
  // Both the samples and the page they become stay within the raster library's bound.
  const int pageBits = components >= 3 ? 24 : rawBits == 1 ? 1 : rawBits <= 4 ? 4 : 8;
  CheckImageSize(width, height, std::max(components * rawBits, pageBits));
  const uint64_t rowBytes = (static_cast<uint64_t>(width) * static_cast<uint64_t>(components) *
                                 static_cast<uint64_t>(rawBits) +
                             7) /
                            8;
  const uint64_t expected = rowBytes * static_cast<uint64_t>(height);
  TDecodedStream decoded = file.DecodeStream(image, static_cast<size_t>(expected), true);

  if (decoded.ImageFilter == "DCTDecode") {
    if (space.Indexed) Unsupported("palette JPEG image");
    JoinJpegStreams(decoded.Data);
    const TJPEGImage jpeg(std::move(decoded.Data));
    if (jpeg.Components() != 1 && jpeg.Components() != 3 && jpeg.Components() != 4)
      Unsupported("JPEG image of " + std::to_string(jpeg.Components()) + " components");
    const bool inverted = ReadInversion(file, image, jpeg.Components(), 1);
    if (jpeg.Components() == 4) {
      // CMYK samples become colours as the Decode array reads them.
      jpeg.Decode(page, inverted);
      return;
    }
    jpeg.Decode(page);
    if (inverted) InvertRows(page);
    return;
  }
  if (decoded.ImageFilter == "JBIG2Decode") {
    if (space.Indexed || space.Components >= 3)
      Unsupported("JBIG2 image that is not black and white");
    std::vector<uint8_t> globals;
    if (const TPDFObject* given = decoded.ImageParameters)
      if (const TPDFObject* stream = file.Get(*given, "JBIG2Globals")) {
        if (stream->Kind() != TPDFObject::okStream) PDFDamaged("bad JBIG2 globals");
        TDecodedStream segments = file.DecodeStream(*stream, kMaxPDFStructureBytes);
        if (segments.Truncated) PDFDamaged("JBIG2 globals too large");
        globals = std::move(segments.Data);
      }
    DecodeJbig2Data(decoded.Data, globals, page);
    if (page.Width() != width || page.Height() != height)
      PDFDamaged("JBIG2 data of another size than the image");
    if (ReadInversion(file, image, 1, 1)) InvertRows(page);
    return;
  }
  if (decoded.ImageFilter == "JPXDecode") {
    // The colour space, when given, is the data's own; a palette is not taken.
    if (space.Indexed) Unsupported("palette JPEG 2000 image");
    DecodeJpxData(decoded.Data, page);
    if (page.Width() != width || page.Height() != height)
      PDFDamaged("JPEG 2000 data of another size than the image");
    return;
  }
  if (decoded.ImageFilter == "CCITTFaxDecode") {
    if (space.Indexed || space.Components >= 3 || (bits != 0 && bits != 1))
      Unsupported("CCITT image that is not black and white");
    TFaxParameters parameters;
    if (const TPDFObject* given = decoded.ImageParameters) {
      const int64_t k = IntegerOf(file.Get(*given, "K"), 0);
      parameters.K = k < 0 ? -1 : k > 0 ? 1 : 0;
      parameters.Columns = static_cast<int>(
          std::clamp<int64_t>(IntegerOf(file.Get(*given, "Columns"), 1728), 0, INT32_MAX));
      parameters.EncodedByteAlign = BooleanOf(file.Get(*given, "EncodedByteAlign"), false);
      parameters.EndOfLine = BooleanOf(file.Get(*given, "EndOfLine"), false);
      parameters.BlackIs1 = BooleanOf(file.Get(*given, "BlackIs1"), false);
    }
    if (parameters.Columns != width) PDFDamaged("CCITT columns differ from the image width");
    DecodeFaxData(decoded.Data, parameters, static_cast<int>(height), page);
    if (ReadInversion(file, image, 1, 1)) InvertRows(page);
    return;
  }
  if (space.Components == 0) PDFDamaged("image without a colour space");
  if (space.Components == 4) Unsupported("colour space /DeviceCMYK");
  if (bits != rawBits) Unsupported(std::to_string(bits) + " bits per component");
  if (decoded.Data.size() < expected) PDFDamaged("image data cut short");
  const bool inverted = ReadInversion(file, image, space.Indexed ? 1 : space.Components,
                                      space.Indexed ? (1 << bits) - 1 : 1);
  BuildFromSamples(decoded.Data, static_cast<int>(width), static_cast<int>(height),
                   static_cast<int>(bits), space, inverted, page);
}
