#pragma once

#include "core/Exception.h"
#include "workflow/ScanTarget.h"

#include <string>
#include <vector>

class TBatchProgress;

// A batch that could not be saved, or an output name refused.
class ESaveBatchError : public Exception {
public:
  using Exception::Exception;
};

// The formats a batch is saved in are those a scan is written in.
using TBatchOutputKind = TScanFileFormat;

// The output format an output name selects, as PageFileFormat chooses it:
// ".tif" and ".tiff" in any case select TIFF, ".pdf" in any case selects
// PDF. Any other extension, or none, raises ESaveBatchError "Cannot save
// the batch as %s: the name must end in .tif, .tiff or .pdf".
TBatchOutputKind BatchOutputKind(const std::string& outputName);

// The information text shown after a batch was saved: "Created file %s with
// %d images." with the full path and the number of pages.
std::string CreatedFileText(const std::string& outputName, int written);

struct TBatchSaveResult {
  std::string FileName; // the output's full path
  int Written = 0;      // pages written, all files together
};

// Writes every page of every file, in the order given (the strip's order),
// into one output file, TIFF or PDF by BatchOutputKind(outputName), which is
// decided (and a wrong name refused) before anything is read or written.
// Every file is read through the graphic registry by its extension (TIFF,
// JPEG, BMP, PDF), each of its pages in turn.
// - TIFF: each page is appended to the output (a missing file is made by the
//   first page; an existing TIFF keeps its pages and gets the batch after
//   them), 16 rows a strip, compressed by depth as the raster library's
//   TIFF writer chooses (Group 4 for bilevel, PackBits for 16 levels, JPEG
//   for 256 levels and true colour, palette colour pages losslessly).
// - PDF: a new file; each page becomes one image filling one page sized from
//   its pixels and resolution (72 device units an inch): Group 4 for a
//   bilevel page, JPEG at quality 80 otherwise; the data of a JPEG file goes
//   into the PDF unchanged. Pages go to the PDF writer in memory.
// The progress is begun with the number of files, its position is the index
// of the file being read, and it is always ended.
//
// Failures stop at the page where they happen and are raised: the output
// gets the pages completed before (when none was, it is left as it was). The
// output is made aside and put in place whole, so a failure while writing it
// (a full disk) leaves it as it was. An empty
// list of files, and an output that is one of the files, are refused with
// ESaveBatchError before anything is written.
TBatchSaveResult SaveBatchAs(const std::string& outputName, const std::vector<std::string>& files,
                             TBatchProgress* progress = nullptr);
