#pragma once

#include "core/Exception.h"

#include <memory>
#include <string>

class TDibGraphic;
class TFileStream;
class TReplacingFileStream;

// A page that could not be written back into its file.
class ESavePageError : public Exception {
public:
  using Exception::Exception;
};

// Writes graphic as page pageNumber (from 1) of file, in the file's own
// format, chosen by its extension as the graphic registry chooses readers:
// - TIFF: every page is written again; the others keep their content and
//   their own compression, the new page gets Group 4 when bilevel, JPEG for
//   256 grey levels and true colour, LZW otherwise.
// - PDF: the other pages' image data is copied as stored (never decoded and
//   coded again); only the new page is coded, as TPdfGraphic codes a page.
// - JPEG (single page): coded again at the graphic's quality when it is a
//   JPEG graphic, else at the JPEG graphic's default quality.
// - BMP (single page): written as a bitmap file.
// When file does not exist it is made as a new one-page file of its
// extension's format (pageNumber is then not looked at).
//
// The file is replaced whole or not at all: the new content is made aside
// and renamed over the file only when all of it is written and flushed, so a
// failure at any point (an unreadable file, a full disk) leaves the file
// byte for byte as it was and leaves no temporary file. No backup name is
// ever used, so no other file is touched. While the file is rewritten other
// writers of it wait (an exclusive lock on the file).
//
// Raises ESavePageError "Page %d does not exist in %s" (the number, the
// path) before anything is written when an existing file has no such page,
// rather than writing nothing and reporting success; the format's error for
// a file it cannot read or a graphic it cannot store.
void SavePageIntoFile(const std::string& file, int pageNumber, const TDibGraphic& graphic);

// SavePageIntoFile in two steps, for a loop that puts one file in place
// while it makes the next: PreparePageIntoFile does everything short of
// putting the new content in place (the file is locked against other
// writers and its new content written and held aside), PutInPlace finishes
// it. Dropping a prepared page leaves the file as it was; its lock is held
// until the prepared page is dropped.
class TPreparedPage {
public:
  TPreparedPage(std::unique_ptr<TFileStream> source,
                std::unique_ptr<TReplacingFileStream> replacement);
  ~TPreparedPage();
  TPreparedPage(const TPreparedPage&) = delete;
  TPreparedPage& operator=(const TPreparedPage&) = delete;

  // The new content takes the file's place, its data flushed to the disk
  // first; the folder is not flushed (see
  // TReplacingFileStream::CommitLeavingFolderUnflushed): the caller flushes
  // it before reporting the page stored. Raises like SavePageIntoFile; the
  // file is then as it was.
  void PutInPlace();
  // The file written: the file with its symbolic links followed.
  const std::string& TargetName() const;

private:
  std::unique_ptr<TFileStream> FSource; // null when the file is made new
  std::unique_ptr<TReplacingFileStream> FReplacement;
};

std::unique_ptr<TPreparedPage> PreparePageIntoFile(const std::string& file, int pageNumber,
                                                   const TDibGraphic& graphic);
