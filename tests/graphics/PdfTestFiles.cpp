#include "graphics/PdfTestFiles.h"

#include "core/FileStream.h"
#include "graphics/GraphicTestSupport.h"
#include "graphics/PdfGraphic.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <tiffio.h>
#include <zlib.h>

namespace test {

RunResult Tool(const std::vector<std::string>& arguments) {
  RunResult result = Run(arguments);
  if (result.status != 0) {
    std::string command;
    for (const std::string& argument : arguments) command += argument + " ";
    ADD_FAILURE() << command << "-> " << result.status << "\n" << result.out << result.err;
  }
  return result;
}

namespace {

std::string Offset10(size_t offset) {
  char text[16];
  std::snprintf(text, sizeof text, "%010zu", offset);
  return text;
}

} // namespace

std::string BuildPdf(const std::vector<std::string>& bodies, const std::string& trailer) {
  std::string file = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < bodies.size(); ++i) {
    offsets.push_back(file.size());
    if (bodies[i].empty()) continue;
    file += std::to_string(i + 1) + " 0 obj\n" + bodies[i] + "\nendobj\n";
  }
  const size_t table = file.size();
  file += "xref\n0 " + std::to_string(bodies.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t i = 0; i < bodies.size(); ++i)
    file += bodies[i].empty() ? "0000000000 65535 f \n" : Offset10(offsets[i]) + " 00000 n \n";
  file += "trailer\n<< /Size " + std::to_string(bodies.size() + 1) + " " + trailer +
          " >>\nstartxref\n" + std::to_string(table) + "\n%%EOF\n";
  return file;
}

std::string BuildPdfWithXRefStream(const std::vector<std::string>& bodies,
                                   const std::vector<TXRefEntry>& entries,
                                   const std::string& trailer) {
  std::string file = "%PDF-1.5\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < bodies.size(); ++i) {
    offsets.push_back(file.size());
    if (!bodies[i].empty()) file += std::to_string(i + 1) + " 0 obj\n" + bodies[i] + "\nendobj\n";
  }
  const size_t count = bodies.size() + 2;
  std::string data;
  const auto put = [&](int type, uint32_t field, uint16_t index) {
    data += static_cast<char>(type);
    for (int shift = 24; shift >= 0; shift -= 8) data += static_cast<char>(field >> shift & 0xFF);
    data += static_cast<char>(index >> 8);
    data += static_cast<char>(index & 0xFF);
  };
  put(0, 0, 65535);
  for (size_t i = 0; i < bodies.size(); ++i) {
    const int number = static_cast<int>(i + 1);
    bool kept = false;
    for (const TXRefEntry& entry : entries)
      if (entry.number == number) {
        put(entry.type, entry.field, entry.index);
        kept = true;
      }
    if (!kept) put(bodies[i].empty() ? 0 : 1, static_cast<uint32_t>(offsets[i]), 0);
  }
  const size_t stream = file.size();
  put(1, static_cast<uint32_t>(stream), 0);
  file +=
      std::to_string(bodies.size() + 1) + " 0 obj\n" +
      StreamObject("/Type /XRef /W [1 4 2] /Size " + std::to_string(count) + " " + trailer, data) +
      "\nendobj\nstartxref\n" + std::to_string(stream) + "\n%%EOF\n";
  return file;
}

std::string StreamObject(const std::string& entries, const std::string& data) {
  return "<< " + entries + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
         "\nendstream";
}

std::string ImagePdf(const std::string& imageEntries, const std::string& data,
                     const std::string& mediaBox, const std::string& content) {
  return BuildPdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                   "<< /Type /Page /Parent 2 0 R /MediaBox " + mediaBox +
                       " /Resources << /XObject << /Im0 5 0 R >> >> /Contents 4 0 R >>",
                   StreamObject("", content),
                   StreamObject("/Type /XObject /Subtype /Image " + imageEntries, data)},
                  "/Root 1 0 R");
}

void WriteText(const std::string& path, const std::string& text) {
  WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& bytes) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  std::vector<uint8_t> out(size);
  if (compress(out.data(), &size, bytes.data(), static_cast<uLong>(bytes.size())) != Z_OK)
    throw std::runtime_error("compress");
  out.resize(size);
  return out;
}

std::vector<uint8_t> RawStream(const std::string& path, int number) {
  const RunResult result =
      Tool({"qpdf", "--show-object=" + std::to_string(number), "--raw-stream-data", path});
  return {result.out.begin(), result.out.end()};
}

std::vector<std::vector<std::string>> ImageList(const std::string& path) {
  const RunResult result = Tool({"pdfimages", "-list", path});
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(result.out);
  std::string line;
  int skip = 2;
  while (std::getline(lines, line)) {
    if (skip-- > 0) continue;
    std::istringstream fields(line);
    std::vector<std::string> row;
    for (std::string field; fields >> field;) row.push_back(field);
    rows.push_back(row);
  }
  return rows;
}

void ExtractedImage(const std::string& path, int page, TDibGraphic& out) {
  TempDir dir;
  const std::string number = std::to_string(page);
  Tool({"pdfimages", "-png", "-f", number, "-l", number, path, dir.File("x")});
  std::string png;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) png = entry.path();
  ASSERT_FALSE(png.empty());
  TDIB dib;
  TFileStream file(png, TFileStream::fmOpenRead);
  dib.LoadFromStream(file);
  out.ImportPageHandle(dib.Handle());
}

JpegPixels ExtractedJpeg(const std::string& path, int page) {
  TempDir dir;
  const std::string number = std::to_string(page);
  Tool({"pdfimages", "-j", "-f", number, "-l", number, path, dir.File("x")});
  std::string jpeg;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) jpeg = entry.path();
  if (jpeg.empty()) throw std::runtime_error("no image extracted");
  return DecodeJpeg(jpeg);
}

std::vector<uint32_t> JpegLooks(const JpegPixels& pixels) {
  std::vector<uint32_t> looks;
  for (size_t i = 0; i < pixels.samples.size(); i += static_cast<size_t>(pixels.components)) {
    const uint32_t red = pixels.samples[i];
    const uint32_t green = pixels.components == 3 ? pixels.samples[i + 1] : red;
    const uint32_t blue = pixels.components == 3 ? pixels.samples[i + 2] : red;
    looks.push_back(red << 16 | green << 8 | blue);
  }
  return looks;
}

void LoadPdfPage(const std::string& path, int page, TDibGraphic& out) {
  TPdfGraphic graphic;
  graphic.SetImageToLoad(page);
  graphic.LoadFromFile(path);
  out.Assign(graphic);
}

void WriteTiffPage(const std::string& path, const TDibGraphic& page, int photometric,
                   int compression, int group3Options) {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (tiff == nullptr) throw std::runtime_error("TIFFOpen " + path);
  const bool colour = page.ImageFormat() == ifTrueColor;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.Width());
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.Height());
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, colour ? 8 : page.BitCount());
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, colour ? 3 : 1);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
  if (compression == COMPRESSION_CCITTFAX3)
    TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, group3Options);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, page.Height());
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<float>(page.XDpi()));
  TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(page.YDpi()));
  // Bilevel pages are kept 0 = black; white-is-zero files get them complemented.
  const bool complement = page.BitCount() == 1 && photometric == PHOTOMETRIC_MINISWHITE;
  std::vector<uint8_t> row(static_cast<size_t>(page.Stride()));
  const auto bytes =
      static_cast<size_t>(colour ? 3 * page.Width() : (page.Width() * page.BitCount() + 7) / 8);
  for (int y = 0; y < page.Height(); ++y) {
    const uint8_t* source = page.ScanLine(y);
    for (size_t i = 0; i < bytes; ++i)
      row[i] = colour && i % 3 != 1 ? source[i - i % 3 + 2 - i % 3]
               : complement         ? static_cast<uint8_t>(~source[i])
                                    : source[i];
    TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0);
  }
  TIFFClose(tiff);
}

std::vector<uint8_t> RawStrip(const std::string& path) {
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (tiff == nullptr) throw std::runtime_error("TIFFOpen " + path);
  std::vector<uint8_t> strip(static_cast<size_t>(TIFFRawStripSize(tiff, 0)));
  TIFFReadRawStrip(tiff, 0, strip.data(), static_cast<tmsize_t>(strip.size()));
  TIFFClose(tiff);
  return strip;
}

} // namespace test
