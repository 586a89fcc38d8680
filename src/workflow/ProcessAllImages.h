#pragma once

#include "workflow/PageOperations.h"

#include <functional>
#include <string>
#include <vector>

class TBatchProgress;
class TLogSink;

// Called after a file's processed page was stored, with the file's path and
// the graphic as stored; the window redraws the thumbnail that carries the
// path from it.
using TPageStoredHandler =
    std::function<void(const std::string& fileName, const TDibGraphic& graphic)>;

struct TProcessSummary {
  int Files = 0;  // files visited
  int Stored = 0; // files whose page was written back
  int Failed = 0; // files whose error went to the log
};

// The batch loop. For each file in the order given (the batch order of
// TBatchFolder::ListBatchFiles): progress position k; the graphic registered
// for the file's extension loads the file's first page; the operation runs
// with the context (file, page index 0); when it returns 0 the page is
// written back as SavePageIntoFile(file, 1, graphic) writes it and onStored
// is called. Any error of one file, reading, processing or writing, adds the
// line "Error processing " + path + " - " + message to log and the loop goes
// on with the next file; a file that failed is left as it was. The progress
// is begun with the number of files and always ended.
//
// Writing a file back (coding its new content, flushing it to the disk,
// renaming it over the file, flushing the folder) goes on while the next
// files are read and processed; a few files are in flight at most. A file is reported
// (onStored, or its error line) only once it is in place and its folder
// flushed, the files always in their order, and every file is reported
// before the progress ends. A file that names one still in flight (a link
// to it) is read only once that one is in place.
TProcessSummary ProcessAllImages(const std::vector<std::string>& files,
                                 const TPageOperation& operation, TLogSink& log,
                                 TBatchProgress* progress = nullptr,
                                 const TPageStoredHandler& onStored = {});

// The log line for a file the batch loop could not process.
std::string ProcessingErrorLine(const std::string& fileName, const std::string& message);
