// "tessivane-cli scan" through the real manager and virtual scanner: what it writes and prints,
// failing profile lines on stderr, status 1 when the scan cannot start or a page is not written.
#include "../twain/TwainFixture.h"

#include "support/WritePointFaults.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace test {
namespace {

using ::testing::ElementsAreArray, ::testing::MatchesRegex, ::testing::UnorderedElementsAreArray;

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream stream(text);
  for (std::string part; std::getline(stream, part, separator);) parts.push_back(part);
  return parts;
}

TEST_F(TwainTest, ScanCommandWritesPrintsAndReports) {
  const std::string b = Dir.File("b"), o = Dir.File("o"), profile = Dir.File("p.tsp");
  std::filesystem::create_directories(b);
  std::filesystem::create_directories(o);
  // %D: the run's folder, holding the batch b and the output folder o. Lines
  // split at '|'; printed and told lines are regular expressions.
  const struct {
    const char *Config, *Arguments; // the scanner's; the command's after the profile
    int Status;
    const char *Out, *Err, *Profile = ""; // setting lines before those of small pages
  } rows[] = {
      {"sheets=3", "--batch %D/b", 0, "%D/b/00000000.tif|%D/b/00000001.tif|%D/b/00000002.tif", ""},
      {"sheets=2", "--file %D/o/scan.pdf", 0, "%D/o/scan.pdf|%D/o/scan.pdf", ""},
      // Each failing line is told, the next applied; "?" keeps the value, asking no one.
      {"sheets=1", "--count-only", 0, "1",
       "\"abc\" is not a valid integer|Tipo di parametro non valido X per PixelType|Parameter "
       "99999 unsupported.|'x' is not a valid floating point value",
       "abc,I,1|257,X,0|99999,I,1|4376,F,?|4376,F,x|"},
      // A target folder that does not exist: the page is kept, the status is 1.
      {"sheets=1", "--file %D/o/missing/scan.tif", 1, "",
       "Unable to save page 1 to %D/o/missing/scan.tif - .* - kept in "
       "%D/tessivane/recovered/.*tif"},
      // Nothing starts: no batch folder, a refused target, a refused MSG_OPENDS (TWCC_BUMMER).
      {"", "--batch %D/none", 1, "", "Batch folder not selected !"},
      {"", "--file %D/o/scan.jpg", 1, "",
       "Unable to scan to %D/o/scan.jpg - only .tif, .tiff and .pdf files can be written"},
      {"fail=3 1025 1", "--batch %D/b", 1, "", "The scan could not start"},
  };
  const auto fill = [&](std::string text, char separator) {
    for (size_t at; (at = text.find("%D")) != std::string::npos;) text.replace(at, 2, Dir.Path());
    return Split(text, separator);
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Arguments);
    std::ofstream(profile) << "\r\n"
                           << std::regex_replace(std::string(row.Profile) +
                                                     "4386,I,13|257,I,0|4376,F,100|4377,F,100|",
                                                 std::regex("\\|"), "\r\n");
    Configure(row.Config);
    std::vector<std::string> command = {BinPath("tessivane-cli"), "scan", "--profile", profile};
    for (const std::string& argument : fill(row.Arguments, ' ')) command.push_back(argument);
    const RunResult run = test::Run(command);
    EXPECT_EQ(run.status, row.Status) << run.err;
    std::vector<::testing::Matcher<std::string>> printed, told;
    for (const std::string& pattern : fill(row.Out, '|')) printed.push_back(MatchesRegex(pattern));
    for (const std::string& pattern : fill(row.Err, '|')) told.push_back(MatchesRegex(pattern));
    // Pages for different files finish in any order.
    EXPECT_THAT(Split(run.out, '\n'), UnorderedElementsAreArray(printed));
    EXPECT_THAT(Split(run.err, '\n'), ElementsAreArray(told));
  }
  // What the batch and the PDF hold, checked by libtiff and qpdf.
  EXPECT_EQ(FolderEntries(b).size(), 3u);
  for (const std::string& name : FolderEntries(b))
    EXPECT_EQ(test::Run({"tiffinfo", "-D", b + "/" + name}).err, "") << name;
  EXPECT_EQ(test::Run({"qpdf", "--check", o + "/scan.pdf"}).status, 0);
  EXPECT_EQ(test::Run({"qpdf", "--show-npages", o + "/scan.pdf"}).out, "2\n");
  EXPECT_EQ(FolderEntries(o), std::set<std::string>{"scan.pdf"});
}

} // namespace
} // namespace test
