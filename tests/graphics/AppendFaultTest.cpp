#include "core/FileStream.h"
#include "graphics/PdfGraphic.h"
#include "graphics/TiffGraphic.h"
#include "pdf/BatchPdf.h"
#include "raster/DIB.h"
#include "support/TestSupport.h"
#include "support/WritePointFaults.h"

#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <sstream>
#include <tiffio.h>

namespace {

// The width of every page of a TIFF file as libtiff reads it, each page
// decoded whole; empty when the file cannot be opened or a page not read.
std::vector<int> TiffPageWidths(const std::string& path) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  std::vector<int> widths;
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (tiff == nullptr) return {};
  do {
    uint32_t width = 0, height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    if (width == 0 || !TIFFReadRGBAImage(tiff, width, height, pixels.data(), 1)) {
      TIFFClose(tiff);
      return {};
    }
    widths.push_back(static_cast<int>(width));
  } while (TIFFReadDirectory(tiff));
  TIFFClose(tiff);
  return widths;
}

// The width in points of every page of a PDF file that qpdf finds sound, as
// poppler reads it; empty otherwise.
std::vector<int> PdfPageWidths(const std::string& path) {
  if (test::Run({"qpdf", "--check", path}).status != 0) return {};
  std::istringstream lines(test::Run({"pdfinfo", "-f", "1", "-l", "1000", path}).out);
  std::vector<int> widths;
  std::string line;
  while (std::getline(lines, line)) {
    int page = 0;
    double width = 0;
    if (std::sscanf(line.c_str(), "Page %d size: %lf", &page, &width) == 2)
      widths.push_back(static_cast<int>(width + 0.5));
  }
  return widths;
}

void AppendDib(const std::string& path, int width) {
  TDIB page;
  page.NewImage(width, 24, pf1bit, 72, 72);
  page.FillBits(0x5A);
  page.SaveToTiffFile(path, true, 0, 0);
}

void AppendGraphic(TDibGraphic&& page, const std::string& path, int width) {
  page.NewImage(width, 24, 72, 72, nullptr, ifBlackWhite);
  page.AppendToFile(path);
}

struct TAppendCase {
  const char* name;
  const char* file;
  std::function<void(const std::string&, int)> append;
  std::function<std::vector<int>(const std::string&)> widths;
  bool inPlace; // an existing file is appended to where it lies, not replaced
};

const TAppendCase kCases[] = {
    {"raster TIFF", "batch.tif", AppendDib, TiffPageWidths, true},
    {"graphic TIFF", "batch.tif",
     [](const std::string& path, int width) { AppendGraphic(TTiffGraphic(), path, width); },
     TiffPageWidths, true},
    {"graphic PDF", "batch.pdf",
     [](const std::string& path, int width) { AppendGraphic(TPdfGraphic(), path, width); },
     PdfPageWidths, false},
};

std::set<std::string> Only(const std::string& name) {
  return {name};
}

} // namespace

// Killed outright at each write point of an append (to an existing file or
// creating a missing one), the target is the old file, or the new valid one;
// no other file stays once the next write to the folder is done, and that
// next append lands.
TEST(AppendFaults, AKillAtAnyWritePointLeavesTheOldOrTheNewFile) {
  for (bool unnamed : {true, false}) {
    TReplacingFileStream::SetUnnamedTemporaries(unnamed);
    for (const TAppendCase& c : kCases) {
      for (bool existing : {true, false}) {
        int tried = 0, strays = 0;
        for (int point = 1;; ++point) {
          test::TempDir dir;
          const std::string path = dir.File(c.file);
          std::vector<int> before;
          if (existing) {
            c.append(path, 40);
            c.append(path, 41);
            before = {40, 41};
          }
          const std::vector<uint8_t> old = existing ? test::ReadFile(path) : std::vector<uint8_t>{};
          const bool killed = test::KilledAtWritePoint(point, [&] { c.append(path, 50); });
          std::vector<int> after = before;
          after.push_back(50);
          const std::vector<int> now = test::FileExists(path) ? c.widths(path) : std::vector<int>{};
          EXPECT_TRUE(now == before || now == after) << c.name << " at point " << point;
          if (now == before && existing) {
            const std::vector<uint8_t> bytes = test::ReadFile(path);
            EXPECT_TRUE(bytes.size() >= old.size() &&
                        std::equal(old.begin(), old.end(), bytes.begin()))
                << c.name << " at point " << point;
          }
          if (!killed) {
            EXPECT_EQ(now, after) << c.name;
            EXPECT_EQ(test::FolderEntries(dir.Path()), Only(c.file)) << c.name;
            break;
          }
          ++tried;
          const size_t expectedEntries = test::FileExists(path) ? 1 : 0;
          if (test::FolderEntries(dir.Path()).size() > expectedEntries) ++strays;
          c.append(path, 60);
          std::vector<int> next = now;
          next.push_back(60);
          EXPECT_EQ(c.widths(path), next) << c.name << " after a kill at point " << point;
          EXPECT_EQ(test::FolderEntries(dir.Path()), Only(c.file))
              << c.name << " at point " << point;
        }
        std::cout << c.name << (existing ? " append" : " create")
                  << (unnamed ? "" : " (named new files)") << ": " << tried
                  << " kill points tried, " << strays
                  << " left a temporary for the next write to remove\n";
        EXPECT_GE(tried, 4) << c.name;
      }
    }
  }
  TReplacingFileStream::SetUnnamedTemporaries(true);
}

// Each write point failed in turn (an I/O error, a full disk): the append is
// reported failed and the target is byte for byte as it was, or still
// missing; no other file stays.
TEST(AppendFaults, AFailureAtAnyWritePointLeavesTheTargetAsItWas) {
  for (const TAppendCase& c : kCases) {
    for (int error : {EIO, ENOSPC}) {
      for (bool existing : {true, false}) {
        for (int point = 1;; ++point) {
          test::TempDir dir;
          const std::string path = dir.File(c.file);
          if (existing) c.append(path, 40);
          const std::vector<uint8_t> old = existing ? test::ReadFile(path) : std::vector<uint8_t>{};
          bool failed = false;
          {
            test::TWritePointFault fault(point, error);
            failed = test::ErrorOf([&] { c.append(path, 50); }) != "(no error)";
          }
          if (!failed) {
            EXPECT_EQ(c.widths(path), (existing ? std::vector<int>{40, 50} : std::vector<int>{50}));
            break;
          }
          // A replacing writer's last steps (closing, flushing the folder)
          // come after the new file is in place: then it is the new one.
          const std::vector<int> now = test::FileExists(path) ? c.widths(path) : std::vector<int>{};
          const bool replaced = now == (existing ? std::vector<int>{40, 50} : std::vector<int>{50});
          // An append in place is undone whatever step failed.
          EXPECT_FALSE(replaced && existing && c.inPlace) << c.name << " at point " << point;
          if (!replaced) {
            EXPECT_EQ(test::FileExists(path), existing) << c.name << " at point " << point;
            if (existing) {
              EXPECT_EQ(test::ReadFile(path), old) << c.name << " at point " << point;
            }
          }
          EXPECT_EQ(test::FolderEntries(dir.Path()).size(), test::FileExists(path) ? 1u : 0u)
              << c.name << " at point " << point;
        }
      }
    }
  }
}

// Eight processes appending five pages each at once: all forty land, each
// process's pages in the order it wrote them, whether the target existed
// or not.
TEST(AppendFaults, ConcurrentAppendsAllLandInOrder) {
  for (const TAppendCase& c : kCases) {
    for (bool existing : {true, false}) {
      test::TempDir dir;
      const std::string path = dir.File(c.file);
      if (existing) c.append(path, 20);
      ASSERT_TRUE(test::RunInChildren(8, [&](int child) {
        for (int i = 0; i < 5; ++i) c.append(path, 100 + child * 10 + i);
      })) << c.name;
      std::vector<int> widths = c.widths(path);
      if (existing && !widths.empty()) {
        EXPECT_EQ(widths.front(), 20);
        widths.erase(widths.begin());
      }
      ASSERT_EQ(widths.size(), 40u) << c.name << (existing ? " existing" : " missing");
      std::vector<int> next(8, 0);
      for (int width : widths) {
        const int child = (width - 100) / 10;
        EXPECT_EQ(width - 100 - child * 10, next[static_cast<size_t>(child)]++) << c.name;
      }
      EXPECT_EQ(test::FolderEntries(dir.Path()), Only(c.file));
    }
  }
}
