#pragma once

#include "core/Exception.h"

#include <string>

// A file operation on the batch that could not be done. The message names the
// files and the system's reason.
class EBatchFileError : public Exception {
public:
  using Exception::Exception;
};

// Raises EBatchFileError ("The path is longer than the system allows: " +
// path) when path as a whole, or one of its names, is longer than Linux
// allows (PATH_MAX bytes with the terminating zero, NAME_MAX bytes a name).
// Paths are refused, never cut short.
void CheckPathLength(const std::string& path);

// Copies one regular file to target without asking anything. When target
// already exists the copy is renamed "<name> (2).<ext>", "<name> (3).<ext>"
// and so on in the target's folder; an existing file is never overwritten and
// a failed copy leaves no partial file. Returns false, copying nothing, when
// source does not exist, is not a regular file (a folder, say) or the copy
// fails; the name the copy got is stored in *copiedTo when given and the copy
// succeeded. Over-long paths raise EBatchFileError (CheckPathLength).
bool CopyFileIntoBatch(const std::string& source, const std::string& target,
                       std::string* copiedTo = nullptr);

// Moves one file into the freedesktop trash of the user (the trash under
// XDG_DATA_HOME, or the trash folder of the file's own mount point), where the
// file manager can restore it. Returns false, touching nothing, when path does
// not exist, is a folder, or cannot be trashed. Over-long paths raise
// EBatchFileError.
bool RecycleFile(const std::string& path);

// Where the two pages are after SwapBatchFiles(a, b).
struct TSwappedPaths {
  std::string PageOfB; // a's name with b's extension: now holds b's page
  std::string PageOfA; // b's name with a's extension: now holds a's page (the moved page)
};

// Exchanges the places of two batch files in batch order: a is the page being
// moved, b the page whose place it takes. The base names are exchanged and each
// page keeps its own extension, so swapping a.tif with b.jpg leaves a.jpg
// (b's page) and b.tif (a's page). Three renames, each refusing to replace an
// existing entry: a to a parking name (a's name with ".bak", or a fresh
// "<name>.<random>.bak" when that name is taken), b to a's name with b's
// extension, the parked file to b's name with a's extension.
//
// When any step fails, the steps done are undone so that both files have
// their own names again, and EBatchFileError is raised naming both files and
// the system's reason; if undoing fails too, the message also says where the
// parked file is, so no page is ever lost. Computed names longer than the
// system allows are refused before anything is renamed. a and b the same path:
// nothing happens and the paths are returned unchanged.
TSwappedPaths SwapBatchFiles(const std::string& a, const std::string& b);
