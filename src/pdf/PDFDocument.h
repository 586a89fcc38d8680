#pragma once

#include "pdf/PDFFormat.h"
#include "pdf/PDFImage.h"
#include "pdf/PDFPage.h"
#include "pdf/PDFTypes.h"

#include <functional>
#include <memory>
#include <string>

class TStream;
class TPDFWriter;

// The document information record.
struct TPDFDocInfo {
  std::string Author;
  std::string Creator = "Vellumtrace SDK";
  std::string Keywords;
  std::string Subject;
  std::string Title = "No Title";
  std::string Producer = "Vellumtrace PDF Library";
  TPDFDateTime CreationDate = TPDFDateTime::Now();
  int ObjectNumber = 0;
};

// Writes one PDF file from top to bottom in a single pass: pages are built in
// memory as lists of content operators and written at EndDoc (or, in
// one-pass mode, as each page ends); images are compressed when they are
// added and written once, with the first page that draws them. The file ends
// with a classic cross-reference table.
//
// The file is written beside FileName under a temporary name and takes
// FileName's place only when EndDoc has written all of it: a failed or
// aborted document leaves no partial file and whatever FileName held before.
class TPDFDocument {
public:
  TPDFDocument();
  TPDFDocument(const TPDFDocument&) = delete;
  TPDFDocument& operator=(const TPDFDocument&) = delete;
  ~TPDFDocument();

  // Properties. Those that may not change while generating raise
  // "Generation PDF file in progress".
  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& fileName);
  TPDFVersion Version() const { return FVersion; }
  void SetVersion(TPDFVersion version) { FVersion = version; }
  TCompressionType Compression() const { return FCompression; }
  void SetCompression(TCompressionType compression) { FCompression = compression; }
  int JPEGQuality() const { return FJPEGQuality; }
  void SetJPEGQuality(int quality) { FJPEGQuality = quality; }
  // Device units per inch of page coordinates, fixed per page when the page
  // is made; at least 1.
  int Resolution() const { return FResolution; }
  void SetResolution(int resolution);
  bool OnePass() const { return FOnePass; }
  void SetOnePass(bool onePass);
  bool AutoLaunch() const { return FAutoLaunch; }
  void SetAutoLaunch(bool autoLaunch) { FAutoLaunch = autoLaunch; }
  TPageLayout PageLayout() const { return FPageLayout; }
  void SetPageLayout(TPageLayout layout) { FPageLayout = layout; }
  TPageMode PageMode() const { return FPageMode; }
  void SetPageMode(TPageMode mode) { FPageMode = mode; }
  const TViewerPreferences& ViewerPreferences() const { return FViewerPreferences; }
  void SetViewerPreferences(const TViewerPreferences& preferences) { FViewerPreferences = preferences; }
  // Assigning copies Creator, CreationDate, Author, Title, Subject and
  // Keywords; Producer stays the library's.
  const TPDFDocInfo& DocumentInfo() const { return FInfo; }
  void SetDocumentInfo(const TPDFDocInfo& info);
  // When set, the document is made in memory and copied to this stream at
  // EndDoc; no file is created or deleted. The stream is the caller's.
  TStream* OutputStream() const { return FOutputStream; }
  void SetOutputStream(TStream* stream) { FOutputStream = stream; }
  // 32 lower-case hexadecimal digits used as the file identifier by every
  // following BeginDoc instead of random ones, so that whole files can be
  // compared; empty restores random identifiers.
  void SetFixedIdentifier(const std::string& identifier);
  // The identifier of the document being (or last) generated.
  const std::string& FileIdentifier() const { return FIdentifier; }
  // How a finished file is opened when AutoLaunch is set. The library starts
  // no program itself: without a launcher AutoLaunch only records the wish.
  // Failures of the launcher are ignored.
  void SetLauncher(std::function<void(const std::string&)> launcher);

  bool Generating() const { return FGenerating; }
  bool Aborted() const { return FAborted; }
  // The page being built; none outside generation.
  TPDFPage* CurrentPage() const { return FCurrentPage; }
  TPDFPages& Pages() { return FPages; }
  TPDFImages& Images() { return FImages; }

  void BeginDoc();
  void NewPage();
  // Compresses the image now and appends it to the image list; returns its
  // index. From a file: loaded as a BMP file, and when that or building the
  // image fails, loaded again as a JPEG file (whose error is then the one
  // raised).
  int AddImage(const std::string& fileName, TImageCompression kind);
  int AddImage(const TDIB& bitmap, TImageCompression kind);
  int AddImage(const TJPEGImage& jpeg, TImageCompression kind);
  // Ends the current page and writes the rest of the file. When a step fails
  // the document is aborted (the partial file removed) and the failure
  // raised again.
  void EndDoc();
  // Discards the document and its partial file.
  void Abort();

private:
  void Reset();
  void CheckGenerating() const;
  void CheckIdle() const;
  void CreatePage();
  void EndCurrentPage();
  void WriteInfo();
  void WritePagesNode();
  void WriteCatalog();
  void WriteTrailer(int64_t crossReference);

  std::string FFileName;
  TPDFVersion FVersion = v13;
  TCompressionType FCompression = ctNone;
  int FJPEGQuality = kDefaultJPEGQuality;
  int FResolution = 72;
  bool FOnePass = false;
  bool FAutoLaunch = false;
  TPageLayout FPageLayout = plSinglePage;
  TPageMode FPageMode = pmUseNone;
  TViewerPreferences FViewerPreferences;
  TPDFDocInfo FInfo;
  TStream* FOutputStream = nullptr;
  std::string FFixedIdentifier;
  std::function<void(const std::string&)> FLauncher;

  bool FGenerating = false;
  bool FAborted = false;
  std::string FIdentifier;
  int FPagesNumber = 0;
  int FCatalogNumber = 0;
  // Where the document goes: a temporary file that replaces FileName, or
  // memory copied to the caller's stream (kept as chosen at BeginDoc).
  std::unique_ptr<TStream> FOutput;
  TStream* FTarget = nullptr;
  std::unique_ptr<TPDFWriter> FWriter;
  TPDFPages FPages;
  TPDFImages FImages;
  TPDFPage* FCurrentPage = nullptr;
};
