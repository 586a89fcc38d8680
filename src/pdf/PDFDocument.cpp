#include "pdf/PDFDocument.h"

#include "core/FileStream.h"
#include "core/MemoryStream.h"
#include "pdf/PDFException.h"
#include "pdf/PDFWriter.h"

#include <cerrno>
#include <sys/random.h>

namespace {

// 16 bytes from the system's random source as 32 lower-case hexadecimal
// digits: an identifier no other file shares.
std::string RandomIdentifier() {
  uint8_t bytes[16];
  size_t filled = 0;
  while (filled < sizeof bytes) {
    const ssize_t got = getrandom(bytes + filled, sizeof bytes - filled, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw TPDFException("No random bytes for the file identifier");
    filled += static_cast<size_t>(got);
  }
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (uint8_t byte : bytes) {
    text += kHex[byte >> 4];
    text += kHex[byte & 15];
  }
  return text;
}

const char* LayoutName(TPageLayout layout) {
  switch (layout) {
  case plOneColumn: return "/PageLayout /OneColumn";
  case plTwoColumnLeft: return "/PageLayout /TwoColumnLeft";
  case plTwoColumnRight: return "/PageLayout /TwoColumnRight";
  default: return "/PageLayout /SinglePage";
  }
}

const char* ModeName(TPageMode mode) {
  switch (mode) {
  case pmUseOutlines: return "/PageMode /UseOutlines";
  case pmUseThumbs: return "/PageMode /UseThumbs";
  case pmFullScreen: return "/PageMode /FullScreen";
  default: return "/PageMode /UseNone";
  }
}

const char* PreferenceLine(TViewerPreference preference) {
  switch (preference) {
  case vpHideToolBar: return "/HideToolbar true";
  case vpHideMenuBar: return "/HideMenubar true";
  case vpHideWindowUI: return "/HideWindowUI true";
  case vpFitWindow: return "/FitWindow true";
  default: return "/CenterWindow true";
  }
}

} // namespace

TPDFDocument::TPDFDocument() = default;

TPDFDocument::~TPDFDocument() = default;

void TPDFDocument::CheckGenerating() const {
  if (!FGenerating) throw TPDFException(kGenerationNotActivated);
}

void TPDFDocument::CheckIdle() const {
  if (FGenerating) throw TPDFException(kGenerationInProgress);
}

void TPDFDocument::SetFileName(const std::string& fileName) {
  CheckIdle();
  FFileName = fileName;
}

void TPDFDocument::SetResolution(int resolution) {
  if (resolution < 1) throw TPDFException(kOutOfRange);
  FResolution = resolution;
}

void TPDFDocument::SetOnePass(bool onePass) {
  CheckIdle();
  FOnePass = onePass;
}

void TPDFDocument::SetDocumentInfo(const TPDFDocInfo& info) {
  FInfo.Creator = info.Creator;
  FInfo.CreationDate = info.CreationDate;
  FInfo.Author = info.Author;
  FInfo.Title = info.Title;
  FInfo.Subject = info.Subject;
  FInfo.Keywords = info.Keywords;
}

void TPDFDocument::SetFixedIdentifier(const std::string& identifier) {
  const bool valid =
      identifier.empty() ||
      (identifier.size() == 32 && identifier.find_first_not_of("0123456789abcdef") == std::string::npos);
  if (!valid) throw TPDFException(kOutOfRange);
  FFixedIdentifier = identifier;
}

void TPDFDocument::SetLauncher(std::function<void(const std::string&)> launcher) {
  FLauncher = std::move(launcher);
}

void TPDFDocument::Reset() {
  FInfo.ObjectNumber = 0;
  FPagesNumber = 0;
  FCatalogNumber = 0;
  FCurrentPage = nullptr;
  FPages.Clear();
  FImages.Clear();
  FWriter.reset();
  FOutput.reset();
  FTarget = nullptr;
}

void TPDFDocument::BeginDoc() {
  CheckIdle();
  Reset();
  FIdentifier = FFixedIdentifier.empty() ? RandomIdentifier() : FFixedIdentifier;
  if (FOutputStream != nullptr) {
    FOutput = std::make_unique<TMemoryStream>();
    FTarget = FOutputStream;
  } else {
    if (FFileName.empty()) throw EFCreateError(FFileName, ENOENT);
    FOutput = std::make_unique<TReplacingFileStream>(FFileName);
  }
  FWriter = std::make_unique<TPDFWriter>(*FOutput);
  FWriter->WriteLine(FVersion == v14 ? "%PDF-1.4" : "%PDF-1.3");
  FGenerating = true;
  FAborted = false;
  FPagesNumber = FWriter->NewObjectNumber();
  CreatePage();
}

void TPDFDocument::CreatePage() {
  FCurrentPage = &FPages.Add(std::make_unique<TPDFPage>(*FWriter, FImages, FResolution));
  FCurrentPage->CreateCanvas();
}

void TPDFDocument::EndCurrentPage() {
  FCurrentPage->End();
  if (FOnePass) FCurrentPage->Write(*FWriter, FCompression, FPagesNumber);
}

void TPDFDocument::NewPage() {
  CheckGenerating();
  EndCurrentPage();
  CreatePage();
}

int TPDFDocument::AddImage(const std::string& fileName, TImageCompression kind) {
  CheckGenerating();
  std::unique_ptr<TPDFImage> image;
  try {
    TDIB bitmap;
    {
      TFileStream file(fileName, TFileStream::fmOpenRead);
      bitmap.LoadBmpFromStream(file);
    }
    image = std::make_unique<TPDFImage>(bitmap, kind, FJPEGQuality);
  } catch (const std::exception&) {
    image = std::make_unique<TPDFImage>(TJPEGImage::LoadFromFile(fileName), kind);
  }
  return FImages.Add(std::move(image));
}

int TPDFDocument::AddImage(const TDIB& bitmap, TImageCompression kind) {
  CheckGenerating();
  return FImages.Add(std::make_unique<TPDFImage>(bitmap, kind, FJPEGQuality));
}

int TPDFDocument::AddImage(const TJPEGImage& jpeg, TImageCompression kind) {
  CheckGenerating();
  return FImages.Add(std::make_unique<TPDFImage>(jpeg, kind));
}

void TPDFDocument::WriteInfo() {
  TPDFWriter& w = *FWriter;
  w.BeginObject(FInfo.ObjectNumber);
  w.WriteLine("/Creator " + FormatPDFString(FInfo.Creator));
  w.WriteLine("/CreationDate " + FormatPDFString("D:" + FormatPDFDate(FInfo.CreationDate)));
  w.WriteLine("/Producer " + FormatPDFString(FInfo.Producer));
  w.WriteLine("/Author " + FormatPDFString(FInfo.Author));
  w.WriteLine("/Title " + FormatPDFString(FInfo.Title));
  w.WriteLine("/Subject " + FormatPDFString(FInfo.Subject));
  w.WriteLine("/Keywords " + FormatPDFString(FInfo.Keywords));
  w.WriteLine(">>");
  w.WriteLine("endobj");
}

void TPDFDocument::WritePagesNode() {
  TPDFWriter& w = *FWriter;
  w.BeginObject(FPagesNumber);
  w.WriteLine("/Type /Pages");
  w.WriteLine("/Kids [");
  for (int i = 0; i < FPages.Count(); ++i)
    w.WriteLine(std::to_string(FPages[i].ObjectNumber()) + " 0 R");
  w.WriteLine("]");
  w.WriteLine("/Count " + std::to_string(FPages.Count()));
  w.WriteLine(">>");
  w.WriteLine("endobj");
}

void TPDFDocument::WriteCatalog() {
  TPDFWriter& w = *FWriter;
  w.BeginObject(FCatalogNumber);
  w.WriteLine("/Type /Catalog");
  w.WriteLine(" /Pages " + std::to_string(FPagesNumber) + " 0 R");
  w.WriteLine(LayoutName(FPageLayout));
  if (!FViewerPreferences.empty()) {
    w.WriteLine("/ViewerPreferences <<");
    for (TViewerPreference preference : FViewerPreferences) w.WriteLine(PreferenceLine(preference));
    w.WriteLine(">>");
  }
  w.WriteLine(ModeName(FPageMode));
  w.WriteLine(">>");
  w.WriteLine("endobj");
}

void TPDFDocument::WriteTrailer(int64_t crossReference) {
  TPDFWriter& w = *FWriter;
  w.WriteLine("trailer");
  w.WriteLine("<<");
  w.WriteLine("/Size " + std::to_string(w.ObjectCount() + 1));
  w.WriteLine("/Root " + std::to_string(FCatalogNumber) + " 0 R");
  w.WriteLine("/Info " + std::to_string(FInfo.ObjectNumber) + " 0 R");
  w.WriteLine("/ID [<" + FIdentifier + "><" + FIdentifier + ">]");
  w.WriteLine(">>");
  w.WriteLine("startxref");
  w.WriteLine(std::to_string(crossReference));
  w.WriteLine("%%EOF");
}

void TPDFDocument::EndDoc() {
  CheckGenerating();
  TStream* target = FTarget;
  try {
    EndCurrentPage();
    WriteInfo();
    WritePagesNode();
    if (!FOnePass)
      for (int i = 0; i < FPages.Count(); ++i) FPages[i].Write(*FWriter, FCompression, FPagesNumber);
    WriteCatalog();
    if (!FOnePass)
      for (int i = 0; i < FImages.Count(); ++i) FImages[i].WriteXObject(*FWriter);
    WriteTrailer(FWriter->WriteCrossReference());
    FWriter->Flush();
    if (target != nullptr) {
      FOutput->SetPosition(0);
      target->CopyFrom(*FOutput, 0);
    } else {
      static_cast<TReplacingFileStream&>(*FOutput).Commit();
    }
  } catch (...) {
    Abort();
    throw;
  }
  Reset();
  FGenerating = false;
  FAborted = false;
  if (target == nullptr && FAutoLaunch && FLauncher) {
    try {
      FLauncher(FFileName);
    } catch (...) {
      // Opening the finished file is a convenience; the file itself is done.
    }
  }
}

void TPDFDocument::Abort() {
  CheckGenerating();
  Reset();
  FAborted = true;
  FGenerating = false;
}
