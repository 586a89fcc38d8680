// "tessivane-cli scan" through the real manager and virtual scanner: what it
// writes and prints, the profile's failing lines on the standard error
// stream, and status 1 when the scan cannot start or a page is not written.
#include "../twain/TwainFixture.h"

#include "support/WritePointFaults.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace test {
namespace {

using ::testing::ElementsAreArray, ::testing::MatchesRegex;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

TEST_F(TwainTest, ScanCommandWritesPrintsAndReports) {
  // Small, fast pages: A6, black and white, 100 dots per inch.
  const std::vector<std::string> small = {"4386,I,13", "257,I,0", "4376,F,100", "4377,F,100"};
  const std::string batch = Dir.File("batch"), out = Dir.File("out"), profile = Dir.File("p.tsp");
  std::filesystem::create_directories(batch);
  std::filesystem::create_directories(out);
  const struct {
    const char* Name;
    std::vector<std::string> Profile; // setting lines after the empty scanner line
    std::string Config;               // the scanner's, besides the trace
    std::vector<std::string> Arguments;
    int Status;
    std::vector<std::string> Out, Err; // regular expressions, one a line
  } rows[] = {
      {"batch",
       small,
       "sheets=3",
       {"--batch", batch},
       0,
       {batch + "/00000000\\.tif", batch + "/00000001\\.tif", batch + "/00000002\\.tif"},
       {}},
      {"pdf",
       small,
       "sheets=2",
       {"--file", out + "/scan.pdf"},
       0,
       {out + "/scan\\.pdf", out + "/scan\\.pdf"},
       {}},
      // Each failing line is told and the next applied; "?" keeps the
      // scanner's value without an operator; the scan goes on.
      {"failing lines",
       {"abc,I,1", "257,X,0", "99999,I,1", "4376,F,?", "4376,F,x", "4386,I,13", "4376,F,100",
        "4377,F,100"},
       "sheets=1",
       {"--count-only"},
       0,
       {"1"},
       {"\"abc\" is not a valid integer", "Tipo di parametro non valido X per PixelType",
        "Parameter 99999 unsupported\\.", "'x' is not a valid floating point value"}},
      // A target folder that does not exist: the pages are kept and the status is 1.
      {"unwritable",
       small,
       "sheets=1",
       {"--file", out + "/missing/scan.tif"},
       1,
       {},
       {"Unable to save page 1 to " + out + "/missing/scan\\.tif - .* - kept in " + Dir.Path() +
        "/tessivane/recovered/.*\\.tif"}},
      // The scan cannot start: no batch folder, a refused target, a scanner
      // that does not open (DAT_IDENTITY 3, MSG_OPENDS 1025, TWCC_BUMMER 1).
      {"no folder",
       small,
       "",
       {"--batch", Dir.File("none")},
       1,
       {},
       {"Batch folder not selected !"}},
      {"jpeg",
       small,
       "",
       {"--file", out + "/scan.jpg"},
       1,
       {},
       {"Unable to scan to " + out +
        "/scan\\.jpg - only \\.tif, \\.tiff and \\.pdf files can be written"}},
      {"refused open",
       small,
       "fail=3 1025 1",
       {"--batch", batch},
       1,
       {},
       {"The scan could not start"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    std::vector<std::string> lines = {""};
    lines.insert(lines.end(), row.Profile.begin(), row.Profile.end());
    std::ofstream(profile) << [&] {
      std::string text;
      for (const std::string& line : lines) text += line + "\r\n";
      return text;
    }();
    Configure(row.Config);
    std::vector<std::string> command = {BinPath("tessivane-cli"), "scan", "--profile", profile};
    command.insert(command.end(), row.Arguments.begin(), row.Arguments.end());
    const RunResult run = test::Run(command);
    EXPECT_EQ(run.status, row.Status) << run.err;
    std::vector<::testing::Matcher<std::string>> printed, told;
    for (const std::string& pattern : row.Out) printed.push_back(MatchesRegex(pattern));
    for (const std::string& pattern : row.Err) told.push_back(MatchesRegex(pattern));
    // Printed in the order the pages arrived, whichever finished first.
    EXPECT_THAT(Lines(run.out), ElementsAreArray(printed));
    EXPECT_THAT(Lines(run.err), ElementsAreArray(told));
  }
  // What the batch and the PDF hold, checked by libtiff and qpdf.
  EXPECT_EQ(FolderEntries(batch),
            (std::set<std::string>{"00000000.tif", "00000001.tif", "00000002.tif"}));
  for (const std::string& name : FolderEntries(batch))
    EXPECT_EQ(test::Run({"tiffinfo", "-D", batch + "/" + name}).err, "") << name;
  EXPECT_EQ(test::Run({"qpdf", "--check", out + "/scan.pdf"}).status, 0);
  EXPECT_EQ(test::Run({"qpdf", "--show-npages", out + "/scan.pdf"}).out, "2\n");
  EXPECT_EQ(FolderEntries(out), std::set<std::string>{"scan.pdf"});
}

} // namespace
} // namespace test
