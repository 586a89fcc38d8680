#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The batch: the page-image files directly inside one folder. The folder's
// content is the whole state of a batch; this class keeps only the folder's
// name and the counter for new file names, and reads the folder afresh on
// every call. Main thread only.
//
// A batch file is an entry directly inside the folder (sub-folders are not
// searched) that is a regular file, or a symbolic link to one, whose name does
// not start with "." (hidden) and whose extension, ignoring case, is ".tif",
// ".tiff", ".pdf", ".jpg" or ".bmp". Read-only files belong; folders, devices,
// pipes, sockets, dangling links and names without extension do not.
//
// Batch order: ascending by file name ignoring case, with the collation of the
// user's locale; names that collate equal (such as "A.tif" and "a.tif", which a
// Linux folder can hold side by side) are ordered by their bytes, so the order
// is total and the same on every call.
class TBatchFolder {
public:
  TBatchFolder() = default;

  // The open batch folder with a trailing "/", or empty when none is open.
  const std::string& Folder() const { return FBatchFolder; }
  bool IsOpen() const { return !FBatchFolder.empty(); }
  // True when a folder is open and still exists as a folder on disk.
  bool Exists() const;

  // Makes path the batch folder when it names an existing folder (a trailing
  // "/" is added, nothing else of the text is changed) and returns true;
  // otherwise closes the batch (Folder() becomes empty) and returns false.
  bool Open(const std::string& path);
  void Close() { FBatchFolder.clear(); }

  // The batch files' full paths in batch order; empty with no folder open or
  // when the folder cannot be read.
  std::vector<std::string> ListBatchFiles() const;
  // The number of batch files on disk; 0 with no folder open.
  int CountBatchFiles() const;

  // A fresh name for a file to be added: the folder + FNextFileNumber in
  // decimal, padded on the left with "0" to eight digits (more digits are
  // kept as they are) + ".tif". The counter grows by one for every candidate
  // tried; candidates that name an existing entry of any kind are skipped.
  // Raises EBatchFileError with kNoBatchFolderText when no folder is open,
  // rather than naming a file in the current working folder.
  std::string NewBatchFileName() { return NewBatchFileName(".tif"); }
  // The same with another extension (with its dot), for a copied file whose
  // format the name must keep so that it can be read back (".jpg", ".pdf").
  std::string NewBatchFileName(const std::string& extension);
  int64_t NextFileNumber() const { return FNextFileNumber; }
  // Only the program start resets the counter; tests and the command line
  // may start it elsewhere.
  void SetNextFileNumber(int64_t number) { FNextFileNumber = number; }

  // Whether one entry of a folder is a batch file by the rules above.
  static bool IsBatchFile(const std::string& path);
  // Whether a file name (without folder) has one of the batch extensions.
  static bool HasBatchExtension(const std::string& fileName);

private:
  std::string FBatchFolder;
  int64_t FNextFileNumber = 0;
};

// Sorts paths into batch order (see TBatchFolder).
void SortBatchOrder(std::vector<std::string>& paths);

// Whether two texts name the same batch file. Linux file names are case
// sensitive, so the comparison is exact after removing "." and ".." steps and
// doubled "/"; "a.tif" and "A.tif" are two files.
bool SameBatchPath(const std::string& a, const std::string& b);

enum class TMoveDirection { Prior, Next };

// The file whose place the page at path takes when it is moved one step in
// batch order: the previous one for Prior, the next one for Next. None when
// path is not among files, or is already first (Prior) or last (Next).
std::optional<std::string> MovePartner(const std::vector<std::string>& files,
                                       const std::string& path, TMoveDirection direction);
