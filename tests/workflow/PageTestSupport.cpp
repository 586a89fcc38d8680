#include "workflow/PageTestSupport.h"

#include "graphics/GraphicRegistry.h"

#include <algorithm>
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
  const TColour block = colour ? ColourOf(200, 30, 30) : 0,
                stripe = colour ? ColourOf(20, 40, 220) : 0,
                noise = colour ? ColourOf(90, 160, 60) : 0x404040;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      page->SetPixel(x, y,
                     x < width / 3 && y < height / 4 ? block
                     : y > height - 4                ? stripe
                     : random() % 17 == 0            ? noise
                                                     : 0xFFFFFF);
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

::testing::AssertionResult SamePixels(const TDibGraphic& a, const TDibGraphic& b, int tolerance) {
  const int differing = CountDifferences(Looks(a), Looks(b), tolerance);
  if (differing == 0 && a.Width() == b.Width()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << differing << " pixels differ (-1: the sizes)";
}

std::vector<std::string> TiffCompressions(const std::string& fileName) {
  std::vector<std::string> schemes;
  std::istringstream in(Run({"tiffinfo", fileName}).out);
  for (std::string line; std::getline(in, line);)
    if (const auto at = line.find("Compression Scheme: "); at != std::string::npos)
      schemes.push_back(line.substr(at + 20));
  return schemes;
}

std::vector<std::string> PdfImages(const std::string& fileName, const TempDir& folder) {
  Run({"pdfimages", "-j", "-ccitt", fileName, folder.File("p")});
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
    if (entry.path().extension() != ".params") names.push_back(entry.path().string());
  std::sort(names.begin(), names.end());
  return names;
}

} // namespace test
