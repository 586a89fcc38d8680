#include "PrintTestSupport.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace apptest {

namespace {

// The rest of the line after label in pdfinfo's output, or "" when missing.
std::string InfoLine(const std::string& pdf, const std::string& label) {
  const test::RunResult info = test::Run({"pdfinfo", pdf});
  EXPECT_EQ(info.status, 0) << info.err;
  const size_t at = info.out.find(label);
  if (at == std::string::npos) return "";
  const size_t start = info.out.find_first_not_of(' ', at + label.size());
  return info.out.substr(start, info.out.find('\n', start) - start);
}

} // namespace

std::vector<TPlacedImage> PlacedImages(const std::string& pdf) {
  const test::RunResult listed = test::Run({"pdfimages", "-list", pdf});
  EXPECT_EQ(listed.status, 0) << listed.err;
  std::vector<TPlacedImage> images;
  std::istringstream lines(listed.out);
  std::string line;
  for (int header = 0; header < 2 && std::getline(lines, line); ++header) {
  }
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    TPlacedImage image;
    int number = 0, object = 0, generation = 0;
    std::string type, colour, components, bits, encoding, interpolate;
    if (fields >> image.Page >> number >> type >> image.Width >> image.Height >> colour >>
        components >> bits >> encoding >> interpolate >> object >> generation >> image.XPpi >>
        image.YPpi)
      images.push_back(image);
  }
  return images;
}

int PdfPageCount(const std::string& pdf) {
  const std::string pages = InfoLine(pdf, "Pages:");
  return pages.empty() ? -1 : std::stoi(pages);
}

std::string PdfPageSize(const std::string& pdf) {
  return InfoLine(pdf, "Page size:");
}

} // namespace apptest
