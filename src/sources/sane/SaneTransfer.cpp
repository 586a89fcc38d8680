// Image description and the native and memory transfers of a SANE source.
#include "SaneSource.h"

#include "SaneStatus.h"
#include "core/Exception.h"
#include "tessivane/pagemem.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <system_error>

namespace {

constexpr uint32_t kPreferredStrip = 65536;

} // namespace

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
    const TW_FRAME frame = FSettings->Frame();
    layout->Frame.Left = ToFix32(FromFix32(frame.Left) * u);
    layout->Frame.Top = ToFix32(FromFix32(frame.Top) * u);
    layout->Frame.Right = ToFix32(FromFix32(frame.Right) * u);
    layout->Frame.Bottom = ToFix32(FromFix32(frame.Bottom) * u);
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
  const double u = UnitsPerInch();
  *info = TW_IMAGEINFO{};
  info->XResolution = ToFix32(FPageXDpi / u);
  info->YResolution = ToFix32(FPageYDpi / u);
  info->ImageWidth = page.Width;
  info->ImageLength = page.Height;
  if (page.PixelType == TWPT_RGB) {
    info->SamplesPerPixel = 3;
    info->BitsPerSample[0] = info->BitsPerSample[1] = info->BitsPerSample[2] = 8;
  } else {
    info->SamplesPerPixel = 1;
    info->BitsPerSample[0] = static_cast<TW_INT16>(page.BitsPerPixel);
  }
  info->BitsPerPixel = static_cast<TW_INT16>(page.BitsPerPixel);
  info->PixelType = static_cast<TW_INT16>(page.PixelType);
  info->Compression = TWCP_NONE;
  return TWRC_SUCCESS;
}

TW_UINT16 TSaneSource::SetupMemXfer(TLock& lock, pTW_SETUPMEMXFER setup) {
  if (FState != 6 && FState != 7) return Fail(TWCC_SEQERROR);
  if (!WaitForPage(lock)) return Fail(TWCC_SEQERROR);
  const auto row = static_cast<uint32_t>(std::max<size_t>(1, FResults.front().Page.RowBytes));
  setup->MinBufSize = row;
  setup->MaxBufSize = TWON_DONTCARE32;
  setup->Preferred = row * std::max<uint32_t>(1, kPreferredStrip / row);
  return TWRC_SUCCESS;
}

TW_UINT16 TSaneSource::NativeXfer(TLock& lock, TW_HANDLE* handle) {
  if (FState != 6) return Fail(TWCC_SEQERROR);
  *handle = nullptr;
  if (!WaitForPage(lock)) return Fail(TWCC_SEQERROR);
  if (FResults.front().Status != SANE_STATUS_GOOD) return PageFailed();
  const std::unique_ptr<TDIB> dib = FResults.front().Page.ToDIB(
      static_cast<int>(std::lround(FPageXDpi)), static_cast<int>(std::lround(FPageYDpi)));
  // The page goes to the application in a block of the manager's memory.
  const size_t size = dib->BlockSize();
  TW_HANDLE block = FMemory.Alloc(size);
  void* target = block != nullptr ? FMemory.LockHandle(block) : nullptr;
  if (target == nullptr) {
    if (block != nullptr) FMemory.FreeHandle(block);
    return Fail(TWCC_LOWMEMORY);
  }
  std::memcpy(target, dib->Lock(), size);
  dib->Unlock();
  FMemory.UnlockHandle(block);
  *handle = block;
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
  const size_t left = static_cast<size_t>(page.Height) - FRowsSent;
  const size_t rows = std::min<size_t>(strip->Memory.Length / page.RowBytes, left);
  if (rows == 0) return Fail(TWCC_BADVALUE);
  std::memcpy(strip->Memory.TheMem, page.Rows.data() + FRowsSent * page.RowBytes,
              rows * page.RowBytes);
  strip->Compression = TWCP_NONE;
  strip->BytesPerRow = static_cast<TW_UINT32>(page.RowBytes);
  strip->Columns = static_cast<TW_UINT32>(page.Width);
  strip->Rows = static_cast<TW_UINT32>(rows);
  strip->XOffset = 0;
  strip->YOffset = static_cast<TW_UINT32>(FRowsSent);
  strip->BytesWritten = static_cast<TW_UINT32>(rows * page.RowBytes);
  FRowsSent += rows;
  if (FRowsSent < static_cast<size_t>(page.Height)) return TWRC_SUCCESS;
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
  const std::unique_ptr<TDIB> dib = FResults.front().Page.ToDIB(
      static_cast<int>(std::lround(FPageXDpi)), static_cast<int>(std::lround(FPageYDpi)));
  const std::string name = FFileXfer.Name();
  // A file that cannot be written keeps the page: the application may name
  // another and transfer it again.
  try {
    if (FFileXfer.Format == TWFF_TIFF)
      dib->SaveToTiffFile(name, false, 0, 0);
    else
      dib->SaveToBmpFile(name);
  } catch (const Exception&) {
    return Fail(TWCC_FILEWRITEERROR);
  }
  TakeFront();
  FState = 7;
  return TWRC_XFERDONE;
}
