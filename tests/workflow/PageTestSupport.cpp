#include "workflow/PageTestSupport.h"

#include "graphics/GraphicRegistry.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

namespace test {

std::unique_ptr<TDibGraphic> PatternPage(TImageFormat format, int width, int height, int xDpi,
                                         int yDpi, unsigned seed) {
  auto page = std::make_unique<TDibGraphic>();
  page->NewImage(width, height, xDpi, yDpi, nullptr, format);
  std::mt19937 random(seed);
  const bool colour = format == ifTrueColor || format == ifColor16 || format == ifColor256;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      TColour value = 0xFFFFFF;
      if (x < width / 3 && y < height / 4)
        value = colour ? ColourOf(200, 30, 30) : 0;
      else if (y > height - 4)
        value = colour ? ColourOf(20, 40, 220) : 0;
      else if (random() % 17 == 0)
        value = colour ? ColourOf(90, 160, 60) : 0x404040;
      page->SetPixel(x, y, value);
    }
  return page;
}

void SavePage(const TDibGraphic& page, const std::string& fileName) {
  std::unique_ptr<TDibGraphic> target = GraphicForFile(fileName);
  target->Assign(page);
  target->SaveToFile(fileName);
}

void AppendTiffPages(const std::string& fileName,
                     const std::vector<std::pair<TImageFormat, TTiffCompression>>& pages, int width,
                     int height, int xDpi, int yDpi) {
  unsigned seed = 1;
  for (const auto& [format, compression] : pages) {
    TTiffGraphic page;
    page.Assign(*PatternPage(format, width, height, xDpi, yDpi, seed++));
    page.SetCompression(compression);
    page.AppendToFile(fileName);
  }
}

std::unique_ptr<TDibGraphic> LoadPage(const std::string& fileName, int pageNumber) {
  std::unique_ptr<TDibGraphic> page = GraphicForFile(fileName);
  page->SetImageToLoad(pageNumber);
  page->LoadFromFile(fileName);
  return page;
}

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

} // namespace

::testing::AssertionResult SamePixels(const TDibGraphic& a, const TDibGraphic& b, int tolerance) {
  if (a.Width() != b.Width() || a.Height() != b.Height())
    return ::testing::AssertionFailure()
           << a.Width() << "x" << a.Height() << " against " << b.Width() << "x" << b.Height();
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      const TColour p = a.Pixel(x, y), q = b.Pixel(x, y);
      const int worst = std::max({std::abs(RedOf(p) - RedOf(q)), std::abs(GreenOf(p) - GreenOf(q)),
                                  std::abs(BlueOf(p) - BlueOf(q))});
      if (worst > tolerance)
        return ::testing::AssertionFailure()
               << "pixel " << x << "," << y << ": " << std::hex << p << " against " << q;
    }
  return ::testing::AssertionSuccess();
}

double MeanDifference(const TDibGraphic& a, const TDibGraphic& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.Empty()) return 1e9;
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      const TColour p = a.Pixel(x, y), q = b.Pixel(x, y);
      sum += std::abs(RedOf(p) - RedOf(q)) + std::abs(GreenOf(p) - GreenOf(q)) +
             std::abs(BlueOf(p) - BlueOf(q));
    }
  return sum / (3.0 * a.Width() * a.Height());
}

RunResult Cli(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), BinPath("tessivane-cli"));
  return Run(arguments);
}

std::vector<std::string> TiffCompressions(const std::string& fileName) {
  std::vector<std::string> schemes;
  for (const std::string& line : Lines(Run({"tiffinfo", fileName}).out)) {
    const auto at = line.find("Compression Scheme: ");
    if (at != std::string::npos) schemes.push_back(line.substr(at + 20));
  }
  return schemes;
}

std::vector<std::string> PdfImageRows(const std::string& fileName) {
  std::vector<std::string> rows = Lines(Run({"pdfimages", "-list", fileName}).out);
  rows.erase(rows.begin(), rows.begin() + std::min<size_t>(2, rows.size()));
  return rows;
}

std::vector<std::vector<uint8_t>> PdfImageData(const std::string& fileName) {
  TempDir dir;
  Run({"pdfimages", "-j", "-ccitt", fileName, dir.File("img")});
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    if (entry.path().extension() != ".params") names.push_back(entry.path().string());
  std::sort(names.begin(), names.end());
  std::vector<std::vector<uint8_t>> images;
  for (const std::string& name : names) images.push_back(ReadFile(name));
  return images;
}

} // namespace test
