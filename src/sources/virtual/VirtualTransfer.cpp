// Image description and the three transfer mechanisms of the virtual scanner.
#include "VirtualScanner.h"

#include "tessivane/pagemem.h"

#include "core/Exception.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace {

constexpr double kPhysicalWidth = 8.5;
constexpr double kPhysicalHeight = 14.0;

size_t RowBytes(const TPageLayout& layout) {
  return (static_cast<size_t>(layout.Width) * static_cast<size_t>(layout.BitDepth) + 7) / 8;
}

} // namespace

TPageLayout TVirtualScanner::Layout() const {
  TPageLayout layout;
  const double width = FromFix32(FSettings.Frame.Right) - FromFix32(FSettings.Frame.Left);
  const double height = FromFix32(FSettings.Frame.Bottom) - FromFix32(FSettings.Frame.Top);
  layout.XDpi = static_cast<int>(std::lround(FSettings.XDpi));
  layout.YDpi = static_cast<int>(std::lround(FSettings.YDpi));
  layout.Width = std::max(1, static_cast<int>(std::lround(width * FSettings.XDpi)));
  layout.Height = std::max(1, static_cast<int>(std::lround(height * FSettings.YDpi)));
  layout.PixelType = FSettings.PixelType;
  layout.BitDepth = FSettings.BitDepth;
  return layout;
}

TW_UINT16 TVirtualScanner::ImageInfo(pTW_IMAGEINFO info) {
  if (FState != 6 && FState != 7) return Fail(TWCC_SEQERROR);
  const TPageLayout layout = Layout();
  *info = UncompressedImageInfo(layout.Width, layout.Height, layout.PixelType, layout.BitDepth,
                                FSettings.XDpi, FSettings.YDpi, UnitsPerInch());
  return TWRC_SUCCESS;
}

TW_UINT16 TVirtualScanner::ImageLayout(TW_UINT16 MSG, pTW_IMAGELAYOUT layout) {
  const double u = UnitsPerInch();
  auto report = [&](const TW_FRAME& inches) {
    layout->Frame = FrameInUnits(inches, u);
    layout->DocumentNumber = 1;
    layout->PageNumber = static_cast<TW_UINT32>(PageNumber());
    layout->FrameNumber = 1;
  };
  switch (MSG) {
  case MSG_GET:
  case MSG_GETCURRENT:
    report(FSettings.Frame);
    return TWRC_SUCCESS;
  case MSG_GETDEFAULT: {
    const TW_FRAME current = FSettings.Frame;
    const int size = FSettings.SupportedSize;
    SelectSize(TWSS_A4);
    report(FSettings.Frame);
    FSettings.Frame = current;
    FSettings.SupportedSize = size;
    return TWRC_SUCCESS;
  }
  case MSG_RESET:
    if (FState != 4) return Fail(TWCC_SEQERROR);
    SelectSize(TWSS_A4);
    report(FSettings.Frame);
    return TWRC_SUCCESS;
  case MSG_SET: {
    if (FState != 4) return Fail(TWCC_SEQERROR);
    const double left = FromFix32(layout->Frame.Left) / u;
    const double top = FromFix32(layout->Frame.Top) / u;
    const double right = FromFix32(layout->Frame.Right) / u;
    const double bottom = FromFix32(layout->Frame.Bottom) / u;
    constexpr double slack = 0.001;
    if (left < -slack || top < -slack || right <= left || bottom <= top ||
        right > kPhysicalWidth + slack || bottom > kPhysicalHeight + slack)
      return Fail(TWCC_BADVALUE);
    FSettings.Frame.Left = ToFix32(left);
    FSettings.Frame.Top = ToFix32(top);
    FSettings.Frame.Right = ToFix32(right);
    FSettings.Frame.Bottom = ToFix32(bottom);
    FSettings.SupportedSize = TWSS_NONE;
    return TWRC_SUCCESS;
  }
  default:
    return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TVirtualScanner::SetupMemXfer(pTW_SETUPMEMXFER setup) {
  if (FState < 4 || FState > 6) return Fail(TWCC_SEQERROR);
  *setup = StripSizes(RowBytes(Layout()));
  return TWRC_SUCCESS;
}

TW_UINT16 TVirtualScanner::SetupFileXfer(TW_UINT16 MSG, pTW_SETUPFILEXFER setup) {
  const TW_UINT16 condition = FFileXfer.Setup(MSG, setup, FState);
  return condition == TWCC_SUCCESS ? TW_UINT16{TWRC_SUCCESS} : Fail(condition);
}

TW_UINT16 TVirtualScanner::Palette(pTW_PALETTE8 palette) {
  if (FSettings.PixelType == TWPT_RGB) return Fail(TWCC_BADPROTOCOL);
  const int levels = FSettings.PixelType == TWPT_BW ? 2 : 1 << FSettings.BitDepth;
  *palette = TW_PALETTE8{};
  palette->NumColors = static_cast<TW_UINT16>(levels);
  palette->PaletteType = TWPA_GRAY;
  for (int i = 0; i < levels; ++i) {
    auto level = static_cast<TW_UINT8>(i * 255 / (levels - 1));
    if (FSettings.PixelFlavor == TWPF_VANILLA) level = static_cast<TW_UINT8>(255 - level);
    palette->Colors[i] = TW_ELEMENT8{static_cast<TW_UINT8>(i), level, level, level};
  }
  return TWRC_SUCCESS;
}

TW_UINT16 TVirtualScanner::PageFault() {
  if (PageNumber() == FConfig->CancelPage) return TWRC_CANCEL;
  if (PageNumber() == FConfig->FailPage) {
    if (std::find(FSettings.DeviceEvents.begin(), FSettings.DeviceEvents.end(), TWDE_PAPERJAM) !=
        FSettings.DeviceEvents.end()) {
      TW_DEVICEEVENT event{};
      event.Event = TWDE_PAPERJAM;
      std::snprintf(event.DeviceName, sizeof event.DeviceName, "%s", FIdentity.ProductName);
      FDeviceEvents.push_back(event);
      FNotifier.Post(MSG_DEVICEEVENT);
    }
    return TWRC_FAILURE;
  }
  return TWRC_SUCCESS;
}

bool TVirtualScanner::RenderCurrentPage() {
  if (FPage) return true;
  try {
    FPage = RenderPage(Layout(), PageNumber());
  } catch (const Exception&) {
    FPage.reset();
  }
  FRowsSent = 0;
  return FPage != nullptr;
}

TW_UINT16 TVirtualScanner::StartPage() {
  const TW_UINT16 fault = PageFault();
  if (fault == TWRC_CANCEL) {
    FState = 7;
    return TWRC_CANCEL;
  }
  if (fault == TWRC_FAILURE) return Fail(TWCC_PAPERJAM);
  if (!RenderCurrentPage()) return Fail(TWCC_LOWMEMORY);
  return TWRC_SUCCESS;
}

TW_UINT16 TVirtualScanner::NativeXfer(TW_HANDLE* handle) {
  if (FState != 6) return Fail(TWCC_SEQERROR);
  *handle = nullptr;
  if (const TW_UINT16 result = StartPage(); result != TWRC_SUCCESS) return result;
  // A vanilla bilevel page comes with white as pixel value 0, its palette
  // reversed to match, so it looks the same.
  if (FSettings.PixelType == TWPT_BW && FSettings.PixelFlavor == TWPF_VANILLA)
    FPage->InvertKeepingAppearance();
  // The page goes to the application as a packed DIB in a block of the
  // manager's memory, which the application frees through the same manager.
  const TSV_HANDLE own = FPage->Handle();
  TW_HANDLE block = FMemory.Copy(tsv_mem_lock(own), tsv_mem_size(own));
  tsv_mem_unlock(own);
  if (block == nullptr) return Fail(TWCC_LOWMEMORY);
  *handle = block;
  FPage.reset();
  FState = 7;
  ImageDone();
  return TWRC_XFERDONE;
}

TW_UINT16 TVirtualScanner::MemXfer(pTW_IMAGEMEMXFER strip) {
  if (FState != 6 && FState != 7) return Fail(TWCC_SEQERROR);
  if (FState == 6) {
    if (const TW_UINT16 result = StartPage(); result != TWRC_SUCCESS) return result;
    FState = 7;
  }
  if (!FPage) return Fail(TWCC_SEQERROR);
  if (!(strip->Memory.Flags & TWMF_POINTER) || strip->Memory.TheMem == nullptr)
    return Fail(TWCC_BADVALUE);

  const TPageLayout layout = Layout();
  const size_t bytesPerRow = RowBytes(layout);
  const int left = FPage->Height() - FRowsSent;
  const int rows = static_cast<int>(
      std::min<size_t>(strip->Memory.Length / bytesPerRow, static_cast<size_t>(left)));
  if (rows <= 0) return Fail(TWCC_BADVALUE);

  const bool vanilla = FSettings.PixelFlavor == TWPF_VANILLA;
  auto* out = static_cast<uint8_t*>(strip->Memory.TheMem);
  std::memset(out, 0, bytesPerRow * static_cast<size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    const int y = FRowsSent + r;
    uint8_t* row = out + static_cast<size_t>(r) * bytesPerRow;
    for (int x = 0; x < FPage->Width(); ++x) {
      switch (layout.PixelType) {
      case TWPT_BW: {
        const bool white = GreyLevel(*FPage, x, y) >= 128;
        if (white != vanilla) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
        break;
      }
      case TWPT_GRAY: {
        int level = GreyLevel(*FPage, x, y);
        if (layout.BitDepth == 4) {
          level >>= 4;
          if (vanilla) level = 15 - level;
          row[x >> 1] |= static_cast<uint8_t>((x & 1) ? level : level << 4);
        } else {
          row[x] = static_cast<uint8_t>(vanilla ? 255 - level : level);
        }
        break;
      }
      default: {
        const int value = FPage->GetPixel(x, y); // red in the low byte
        row[3 * x] = static_cast<uint8_t>(value);
        row[3 * x + 1] = static_cast<uint8_t>(value >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(value >> 16);
        break;
      }
      }
    }
  }
  strip->Compression = TWCP_NONE;
  strip->BytesPerRow = static_cast<TW_UINT32>(bytesPerRow);
  strip->Columns = static_cast<TW_UINT32>(FPage->Width());
  strip->Rows = static_cast<TW_UINT32>(rows);
  strip->XOffset = 0;
  strip->YOffset = static_cast<TW_UINT32>(FRowsSent);
  strip->BytesWritten = static_cast<TW_UINT32>(bytesPerRow * static_cast<size_t>(rows));
  FRowsSent += rows;
  if (FRowsSent < FPage->Height()) return TWRC_SUCCESS;
  FPage.reset();
  ImageDone();
  return TWRC_XFERDONE;
}

TW_UINT16 TVirtualScanner::FileXfer() {
  if (FState != 6) return Fail(TWCC_SEQERROR);
  if (const TW_UINT16 result = StartPage(); result != TWRC_SUCCESS) return result;
  const std::string name = FFileXfer.Name();
  try {
    if (FFileXfer.Format == TWFF_TIFF)
      FPage->SaveToTiffFile(name, false, 0, 0);
    else
      FPage->SaveToBmpFile(name);
  } catch (const Exception&) {
    return Fail(TWCC_FILEWRITEERROR);
  }
  FPage.reset();
  FState = 7;
  ImageDone();
  return TWRC_XFERDONE;
}
