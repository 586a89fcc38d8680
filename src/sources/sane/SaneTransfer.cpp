// Image description and the native and memory transfers of a SANE source.
#include "SaneSource.h"

#include "SaneStatus.h"
#include "core/Exception.h"
#include "tessivane/pagemem.h"

#include <algorithm>
#include <system_error>

bool TSaneSource::WaitForPage(TLock& lock) {
  FChanged.wait(lock, [this] { return !FResults.empty() || FEnded || FStopping; });
  return !FResults.empty();
}

void TSaneSource::TakeFront() {
  FResults.pop_front();
  FStripping = false;
  ++FTaken;
  FChanged.notify_all();
}

TW_UINT16 TSaneSource::PageFailed() {
  const SANE_Status status = FResults.front().Status;
  TakeFront();
  FState = 7;
  return Answer(status);
}

TW_UINT16 TSaneSource::ImageLayout(TW_UINT16 MSG, pTW_IMAGELAYOUT layout) {
  // The device's options are read and set only while it is not scanning.
  if (FState != 4) return Fail(TWCC_SEQERROR);
  if (!FSettings->HasArea()) return Fail(TWCC_BADPROTOCOL);
  const double u = UnitsPerInch();
  auto report = [&] {
    layout->Frame = FrameInUnits(FSettings->Frame(), u);
    layout->DocumentNumber = 1;
    layout->PageNumber = static_cast<TW_UINT32>(FTaken + 1);
    layout->FrameNumber = 1;
  };
  switch (MSG) {
  case MSG_GET:
  case MSG_GETCURRENT:
    report();
    return TWRC_SUCCESS;
  case MSG_GETDEFAULT:
    *layout = TW_IMAGELAYOUT{};
    layout->Frame.Right = ToFix32(FSettings->MaxWidth() * u);
    layout->Frame.Bottom = ToFix32(FSettings->MaxHeight() * u);
    layout->DocumentNumber = layout->PageNumber = layout->FrameNumber = 1;
    return TWRC_SUCCESS;
  case MSG_RESET:
    FSettings->SetFrame(0, 0, FSettings->MaxWidth(), FSettings->MaxHeight());
    FSupportedSize = TWSS_NONE;
    report();
    return TWRC_SUCCESS;
  case MSG_SET:
    FSettings->SetFrame(FromFix32(layout->Frame.Left) / u, FromFix32(layout->Frame.Top) / u,
                        FromFix32(layout->Frame.Right) / u, FromFix32(layout->Frame.Bottom) / u);
    FSupportedSize = TWSS_NONE;
    return TWRC_SUCCESS;
  default:
    return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TSaneSource::ImageInfo(TLock& lock, pTW_IMAGEINFO info) {
  if (FState != 6 && FState != 7) return Fail(TWCC_SEQERROR);
  if (!WaitForPage(lock)) return Fail(TWCC_SEQERROR);
  const TScanResult& front = FResults.front();
  if (front.Status != SANE_STATUS_GOOD) return Answer(front.Status);
  const TSanePage& page = front.Page;
  *info = UncompressedImageInfo(page.Width(), page.Height(), page.PixelType(), page.BitsPerPixel(),
                                FPageXDpi, FPageYDpi, UnitsPerInch());
  return TWRC_SUCCESS;
}

TW_UINT16 TSaneSource::SetupMemXfer(TLock& lock, pTW_SETUPMEMXFER setup) {
  if (FState != 6 && FState != 7) return Fail(TWCC_SEQERROR);
  if (!WaitForPage(lock)) return Fail(TWCC_SEQERROR);
  *setup = StripSizes(FResults.front().Page.RowBytes());
  return TWRC_SUCCESS;
}

TW_UINT16 TSaneSource::NativeXfer(TLock& lock, TW_HANDLE* handle) {
  if (FState != 6) return Fail(TWCC_SEQERROR);
  *handle = nullptr;
  if (!WaitForPage(lock)) return Fail(TWCC_SEQERROR);
  if (FResults.front().Status != SANE_STATUS_GOOD) return PageFailed();
  // The page is already in a block of the manager's memory.
  *handle = FResults.front().Page.Release();
  TakeFront();
  FState = 7;
  return TWRC_XFERDONE;
}

TW_UINT16 TSaneSource::MemXfer(TLock& lock, pTW_IMAGEMEMXFER strip) {
  if (FState == 6) {
    if (!WaitForPage(lock)) return Fail(TWCC_SEQERROR);
    if (FResults.front().Status != SANE_STATUS_GOOD) return PageFailed();
    FState = 7;
    FStripping = true;
    FRowsSent = 0;
  }
  if (FState != 7 || !FStripping || FResults.empty()) return Fail(TWCC_SEQERROR);
  if (!(strip->Memory.Flags & TWMF_POINTER) || strip->Memory.TheMem == nullptr)
    return Fail(TWCC_BADVALUE);
  const TSanePage& page = FResults.front().Page;
  const size_t rowBytes = page.RowBytes();
  const size_t left = static_cast<size_t>(page.Height()) - FRowsSent;
  const size_t rows = std::min<size_t>(strip->Memory.Length / rowBytes, left);
  if (rows == 0) return Fail(TWCC_BADVALUE);
  auto* out = static_cast<uint8_t*>(strip->Memory.TheMem);
  for (size_t row = 0; row < rows; ++row)
    page.CopyRow(static_cast<int>(FRowsSent + row), out + row * rowBytes);
  strip->Compression = TWCP_NONE;
  strip->BytesPerRow = static_cast<TW_UINT32>(rowBytes);
  strip->Columns = static_cast<TW_UINT32>(page.Width());
  strip->Rows = static_cast<TW_UINT32>(rows);
  strip->XOffset = 0;
  strip->YOffset = static_cast<TW_UINT32>(FRowsSent);
  strip->BytesWritten = static_cast<TW_UINT32>(rows * rowBytes);
  FRowsSent += rows;
  if (FRowsSent < static_cast<size_t>(page.Height())) return TWRC_SUCCESS;
  TakeFront();
  return TWRC_XFERDONE;
}

TW_UINT16 TSaneSource::SetupFileXfer(TW_UINT16 MSG, pTW_SETUPFILEXFER setup) {
  const TW_UINT16 condition = FFileXfer.Setup(MSG, setup, FState);
  return condition == TWCC_SUCCESS ? TW_UINT16{TWRC_SUCCESS} : Fail(condition);
}

TW_UINT16 TSaneSource::FileXfer(TLock& lock) {
  if (FState != 6) return Fail(TWCC_SEQERROR);
  if (!WaitForPage(lock)) return Fail(TWCC_SEQERROR);
  if (FResults.front().Status != SANE_STATUS_GOOD) return PageFailed();
  TDIB image = FResults.front().Page.ToDIB();
  const std::string name = FFileXfer.Name();
  // A file that cannot be written keeps the page: the application may name
  // another and transfer it again.
  try {
    if (FFileXfer.Format == TWFF_TIFF)
      image.SaveToTiffFile(name, false, 0, 0);
    else
      image.SaveToBmpFile(name);
  } catch (const Exception&) {
    return Fail(TWCC_FILEWRITEERROR);
  }
  TakeFront();
  FState = 7;
  return TWRC_XFERDONE;
}
