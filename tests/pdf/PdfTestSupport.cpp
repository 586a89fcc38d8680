#include "PdfTestSupport.h"

#include "core/FileStream.h"
#include "support/TestSupport.h"
#include "support/LibjpegEncode.h"

#include <array>
#include <cmath>

#include <cstdarg>
#include <cstdio>
#include <jpeglib.h>
#include <cstdio>
#include <random>
#include <sstream>
#include <stdexcept>
#include <tiffio.h>
#include <zlib.h>

namespace pdftest {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      if (start < text.size()) lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
}

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = test::ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

TCheck QpdfCheck(const std::string& path) {
  const test::RunResult run = test::Run({"qpdf", "--check", path});
  return {run.status, run.out + run.err};
}

TPdfInfo PdfInfo(const std::string& path) {
  const test::RunResult run = test::Run({"pdfinfo", "-f", "1", "-l", "100000", path});
  if (run.status != 0) throw std::runtime_error("pdfinfo failed: " + run.err);
  TPdfInfo info;
  std::istringstream in(run.out);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Pages:", 0) == 0) info.pages = std::stoi(line.substr(6));
    // "Page    1 size: 612 x 792 pts (letter)"
    const size_t size = line.find(" size: ");
    if (line.rfind("Page ", 0) == 0 && size != std::string::npos) {
      const size_t pts = line.find(" pts", size);
      std::string text = line.substr(size + 7, pts - size - 7);
      text.erase(0, text.find_first_not_of(' '));
      info.sizes.push_back(text);
    }
  }
  return info;
}

void Render(const std::string& pdf, int page, int dpi, const std::string& mode, TDIB& out) {
  test::TempDir dir;
  std::vector<std::string> args = {"pdftocairo", "-png", "-r", std::to_string(dpi), "-f",
                                   std::to_string(page), "-l", std::to_string(page),
                                   "-singlefile"};
  if (mode == "mono") args.push_back("-mono");
  if (mode == "gray") args.push_back("-gray");
  args.push_back(pdf);
  args.push_back(dir.File("page"));
  const test::RunResult run = test::Run(args);
  if (run.status != 0) throw std::runtime_error("pdftocairo failed: " + run.err);
  TFileStream file(dir.File("page.png"), TFileStream::fmOpenRead);
  out.LoadPngFromStream(file);
}

namespace {

std::array<int, 3> Colour(const TDIB& page, int x, int y) {
  if (page.BitCount() == 24) {
    const uint8_t* p = page.ScanLine(y) + 3 * x;
    return {p[2], p[1], p[0]};
  }
  const uint32_t entry = page.PaletteEntry(page.GetPixel(x, y));
  return {PaletteRed(entry), PaletteGreen(entry), PaletteBlue(entry)};
}

} // namespace

int DifferentPixels(const TDIB& a, const TDIB& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height())
    throw std::runtime_error("pages of different sizes");
  int different = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) different += Colour(a, x, y) != Colour(b, x, y);
  return different;
}

double MeanError(const TDIB& a, const TDIB& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height())
    throw std::runtime_error("pages of different sizes");
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      const std::array<int, 3> p = Colour(a, x, y), q = Colour(b, x, y);
      for (int c = 0; c < 3; ++c) sum += std::abs(p[c] - q[c]);
    }
  return sum / (3.0 * a.Width() * a.Height());
}

void RandomRunsPage(TDIB& page, int width, int height, uint64_t seed, int meanRun) {
  page.NewImage(width, height, pf1bit, 300, 300);
  std::mt19937_64 random(seed);
  std::geometric_distribution<int> runs(1.0 / meanRun);
  std::uniform_int_distribution<int> chance(0, 99);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = page.ScanLine(y);
    for (int i = 0; i < page.Stride(); ++i) row[i] = static_cast<uint8_t>(random());
    int colour = chance(random) < 30 ? 0 : 1; // 0 black
    int x = 0;
    while (x < width) {
      int run = 1 + runs(random);
      if (chance(random) < 3) run += 2500 + chance(random) * 40; // beyond the 2560 make-up code
      for (int end = std::min(width, x + run); x < end; ++x) page.SetPixel(x, y, colour);
      colour = 1 - colour;
    }
  }
}

namespace {

std::string gLibtiffMessage;

void CaptureTiffError(const char* module, const char* format, va_list args) {
  char text[1024];
  std::vsnprintf(text, sizeof text, format, args);
  gLibtiffMessage = std::string(module ? module : "") + ": " + text;
}

} // namespace

std::vector<uint8_t> DecodeWithLibtiff(const std::vector<uint8_t>& coded, int width, int height,
                                       int mode) {
  test::TempDir dir;
  const std::string path = dir.File("fax.tif");
  TIFFErrorHandler previous = TIFFSetErrorHandler(CaptureTiffError);
  TIFFErrorHandler previousWarning = TIFFSetWarningHandler(nullptr);
  gLibtiffMessage.clear();
  TIFF* out = TIFFOpen(path.c_str(), "w");
  TIFFSetField(out, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
  TIFFSetField(out, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
  TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(height));
  TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
  TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  if (mode == 2) {
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  } else {
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, mode == 1 ? GROUP3OPT_2DENCODING : 0);
  }
  TIFFWriteRawStrip(out, 0, const_cast<uint8_t*>(coded.data()), static_cast<tmsize_t>(coded.size()));
  TIFFClose(out);

  TIFF* in = TIFFOpen(path.c_str(), "r");
  const tmsize_t rowBytes = (width + 7) / 8;
  std::vector<uint8_t> rows(static_cast<size_t>(rowBytes) * static_cast<size_t>(height));
  const tmsize_t got = TIFFReadEncodedStrip(in, 0, rows.data(), static_cast<tmsize_t>(rows.size()));
  TIFFClose(in);
  TIFFSetErrorHandler(previous);
  TIFFSetWarningHandler(previousWarning);
  if (got != static_cast<tmsize_t>(rows.size()) || !gLibtiffMessage.empty())
    throw std::runtime_error("libtiff could not decode: " + gLibtiffMessage);
  return rows;
}

std::vector<uint8_t> LibtiffGroup4(const TDIB& page) {
  test::TempDir dir;
  const std::string path = dir.File("g4.tif");
  const size_t rowBytes = static_cast<size_t>(page.Width() + 7) / 8;
  std::vector<uint8_t> rows(rowBytes * static_cast<size_t>(page.Height()));
  for (int y = 0; y < page.Height(); ++y)
    for (size_t i = 0; i < rowBytes; ++i)
      rows[rowBytes * static_cast<size_t>(y) + i] = static_cast<uint8_t>(~page.ScanLine(y)[i]);
  TIFF* out = TIFFOpen(path.c_str(), "w");
  TIFFSetField(out, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page.Width()));
  TIFFSetField(out, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.Height()));
  TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(page.Height()));
  const tmsize_t written =
      TIFFWriteEncodedStrip(out, 0, rows.data(), static_cast<tmsize_t>(rows.size()));
  TIFFClose(out);
  if (written < 0) throw std::runtime_error("libtiff could not code the page");
  TIFF* in = TIFFOpen(path.c_str(), "r");
  uint64_t* counts = nullptr;
  TIFFGetField(in, TIFFTAG_STRIPBYTECOUNTS, &counts);
  std::vector<uint8_t> coded(static_cast<size_t>(counts[0]));
  TIFFReadRawStrip(in, 0, coded.data(), static_cast<tmsize_t>(coded.size()));
  TIFFClose(in);
  return coded;
}

int FirstDifferentRow(const TDIB& page, const std::vector<uint8_t>& rows) {
  const size_t rowBytes = static_cast<size_t>(page.Width() + 7) / 8;
  for (int y = 0; y < page.Height(); ++y) {
    const uint8_t* decoded = rows.data() + rowBytes * static_cast<size_t>(y);
    for (int x = 0; x < page.Width(); ++x) {
      const int black = (decoded[x >> 3] >> (7 - (x & 7))) & 1;
      if (black == page.GetPixel(x, y)) return y;
    }
  }
  return -1;
}

std::vector<uint8_t> GreyJpeg(const TDIB& page, int quality) {
  return test::LibjpegEncode(page.Width(), page.Height(), 1, JCS_GRAYSCALE, quality,
                             [&page](int x, int y, int) { return page.ScanLine(y)[x]; });
}

std::vector<uint8_t> CmykJpeg(int width, int height) {
  return test::LibjpegEncode(width, height, 4, JCS_CMYK, 75, [](int, int, int) { return 60; });
}

std::vector<uint8_t> Inflate(const uint8_t* data, size_t size) {
  z_stream zip{};
  inflateInit(&zip);
  zip.next_in = const_cast<Bytef*>(data);
  zip.avail_in = static_cast<uInt>(size);
  std::vector<uint8_t> out;
  uint8_t buffer[65536];
  int status = Z_OK;
  while (status == Z_OK) {
    zip.next_out = buffer;
    zip.avail_out = sizeof buffer;
    status = inflate(&zip, Z_NO_FLUSH);
    out.insert(out.end(), buffer, buffer + (sizeof buffer - zip.avail_out));
  }
  inflateEnd(&zip);
  if (status != Z_STREAM_END) throw std::runtime_error("not a complete zlib stream");
  return out;
}

} // namespace pdftest
