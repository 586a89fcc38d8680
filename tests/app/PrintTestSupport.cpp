#include "PrintTestSupport.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <iterator>
#include <regex>
#include <sstream>

namespace apptest {

std::vector<std::string> PlacedImages(const std::string& pdf) {
  const test::RunResult listed = test::Run({"pdfimages", "-list", pdf});
  EXPECT_EQ(listed.status, 0) << listed.err;
  std::vector<std::string> images;
  std::istringstream lines(listed.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    const std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
    if (f.size() >= 14 && std::isdigit(static_cast<unsigned char>(f[0][0])))
      images.push_back(f[0] + ": " + f[3] + "x" + f[4] + " at " + f[12] + "x" + f[13]);
  }
  return images;
}

std::string PdfPageSize(const std::string& pdf) {
  const test::RunResult info = test::Run({"pdfinfo", pdf});
  EXPECT_EQ(info.status, 0) << info.err;
  std::smatch size;
  return std::regex_search(info.out, size, std::regex("Page size: +(.*)")) ? size[1].str() : "";
}

} // namespace apptest
