// The image transfers of the event thread: native, file and memory.
#include "raster/RowOps.h"
#include "twain/Container.h"
#include "twain/DIBSection.h"
#include "twain/Fix32.h"
#include "twain/MemStrip.h"
#include "twain/Messages.h"
#include "twain/NativePage.h"
#include "twain/Thread.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kMaxEmptyStrips = 100;

// Hands a DIB section over for THDT_DIBHANDLE (the block) or THDT_DIBSEC
// (the block, locked once, and pointers into it).
struct TSectionHandover {
  TSV_HANDLE Handle = nullptr;
  void* Bits = nullptr;
  TTwnBitmapInfo* Info = nullptr;
};

TSectionHandover HandOver(TSV_HANDLE section, TTwnHdlType type) {
  TSectionHandover result;
  result.Handle = section;
  if (type == THDT_DIBSEC && section != nullptr) {
    auto* base = static_cast<uint8_t*>(tsv_mem_lock(section));
    result.Info = reinterpret_cast<TTwnBitmapInfo*>(base);
    const uint32_t bits = result.Info->bmiHeader.biBitCount;
    const size_t entries = bits <= 8 ? (size_t{1} << bits) : 0;
    result.Bits = base + 40 + 4 * entries;
  }
  return result;
}

} // namespace

bool TAcqTWAINThread::Contained(uint16_t DAT, const std::function<void()>& raise) {
  try {
    raise();
    return true;
  } catch (...) {
    // A failing handler ends neither the transfer nor the batch; the
    // operator hears of it through OnFailure.
    TTwnFailure failure;
    failure.DG = DG_IMAGE;
    failure.DAT = DAT;
    failure.MSG = MSG_GET;
    failure.Error = TWRC_FAILURE;
    failure.Status = TWCC_OPERATIONERROR;
    RaiseFailureContained(failure);
    return false;
  }
}

void TAcqTWAINThread::RaiseFailureContained(const TTwnFailure& failure) {
  {
    std::lock_guard guard(FSession.FailureLock);
    FSession.LastFailure = failure;
  }
  TTwnEventSink* sink = Sink();
  if (!sink) return;
  try {
    sink->RaiseFailure(this, failure);
  } catch (...) {
    // The failure handler itself failed: nothing more to tell anyone.
  }
}

void TAcqTWAINThread::XferReady() {
  FSession.State = 6;
  if (Mode == TAcquireMode::Idle) return;
  if (TTwnEventSink* sink = Sink()) Contained(DAT_NULL, [&] { sink->RaiseXferReady(this); });
  TransferOne();
}

void TAcqTWAINThread::TransferOne() {
  TTwnEventSink* sink = Sink();
  const TTwnTransferSettings settings = sink ? sink->TransferSettings() : TTwnTransferSettings{};
  switch (settings.XferMech) {
  case TWFX_FILES:
  case TWFX_FILES2:
    FTransferDAT = DAT_IMAGEFILEXFER;
    FileTransfer(settings);
    break;
  case TWFX_MEMORY:
    FTransferDAT = DAT_IMAGEMEMXFER;
    MemoryTransfer(settings);
    break;
  default:
    FTransferDAT = DAT_IMAGENATIVEXFER;
    NativeTransfer(settings);
    break;
  }
  NextImageStep();
  if (FPending != 0 && FSession.SourceOpen) {
    // Through the queue, so that what arrived meanwhile is handled between images.
    PostMessage(TWM_NEXTXFER);
  } else if (FSession.SourceOpen && Mode == TAcquireMode::DisableAfterAcquire) {
    ShutdownConnection();
  }
}

void TAcqTWAINThread::NextImageStep() {
  TTwnEventSink* sink = Sink();
  if (!sink) return;
  int numImages = FPending;
  bool skipNext = false;
  bool assigned = false;
  if (!Contained(DAT_PENDINGXFERS,
                 [&] { assigned = sink->RaiseXferNext(this, numImages, skipNext); }) ||
      !assigned || !FSession.SourceOpen)
    return;
  if (skipNext) {
    EndXfer();
  } else if (numImages == 0 && FPending != 0) {
    TW_PENDINGXFERS pending{};
    Triplet(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending, sizeof pending, true);
    FPending = 0;
    FSession.State = 5;
    if (Mode == TAcquireMode::DisableAfterAcquire) ShutdownConnection();
  }
}

void TAcqTWAINThread::ShutdownConnection() {
  Connect(TWM_DISABLEDS, kSessionTimeout);
  Connect(TWM_CLOSEDS, kSessionTimeout);
  Connect(TWM_CLOSEDSM, kSessionTimeout);
  Mode = TAcquireMode::Idle;
}

void TAcqTWAINThread::CloseRequest() {
  const TAcquireMode mode = Mode;
  if (mode == TAcquireMode::Idle) return;
  if (mode == TAcquireMode::DisableAfterAcquire) {
    ShutdownConnection();
  } else {
    // The operator closed the source's window: the source goes back to
    // state 4 and stays open for the application.
    Connect(TWM_DISABLEDS, kSessionTimeout);
    Mode = TAcquireMode::Idle;
  }
  if (TTwnEventSink* sink = Sink()) Contained(DAT_NULL, [&] { sink->RaiseCloseSource(this); });
}

void TAcqTWAINThread::EndXfer() {
  TW_PENDINGXFERS pending{};
  const uint16_t result = Triplet(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending,
                                  sizeof pending, true, {INFINITE_WAIT, {}, {}});
  FPending = result == TWRC_SUCCESS ? static_cast<int16_t>(pending.Count) : 0;
  FSession.State = FPending != 0 ? 6 : 5;
}

void TAcqTWAINThread::ShutDownIfDone(bool anyMode) {
  if (FPending == 0 && (anyMode || Mode == TAcquireMode::DisableAfterAcquire)) ShutdownConnection();
}

void TAcqTWAINThread::ImageReady(void* pBmp, TTwnBitmapInfo* pBmpInfo, TW_HANDLE hImage,
                                 const std::string& filePath) {
  TTwnEventSink* sink = Sink();
  // The page stays the engine's until the handler returned: a handler that
  // fails has not taken it, and the batch goes on.
  bool taken = false;
  if (sink && !Contained(FTransferDAT, [&] {
        taken = sink->RaiseImageReady(this, pBmp, pBmpInfo, hImage, filePath);
      })) {
    if (hImage != nullptr) tsv_mem_free(static_cast<TSV_HANDLE>(hImage));
    return;
  }
  if (taken) return;
  // Nobody takes the image: it is freed, and the source's remaining
  // images are discarded.
  if (hImage != nullptr) tsv_mem_free(static_cast<TSV_HANDLE>(hImage));
  if (FPending != 0 && FSession.SourceOpen) {
    TW_PENDINGXFERS pending{};
    Triplet(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending, sizeof pending, true);
    FSession.State = 5;
  }
  FPending = 0;
}

// ---- Native transfer

void TAcqTWAINThread::NativeTransfer(const TTwnTransferSettings& settings) {
  const TTwnMemory memory = FSession.Memory();
  TW_HANDLE image = nullptr;
  TTripletOptions options{INFINITE_WAIT, {}, [memory](std::vector<uint8_t>& data) {
                            TW_HANDLE late;
                            std::memcpy(&late, data.data(), sizeof late);
                            memory.FreeHandle(late);
                          }};
  const uint16_t result = Triplet(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image, sizeof image,
                                  true, std::move(options));
  // The source's block is taken (and freed through the manager's memory
  // functions) while the manager is surely still loaded.
  TSV_HANDLE page = nullptr;
  uint16_t condition = TWCC_SUCCESS;
  if (result == TWRC_XFERDONE)
    page = TakeNativePage(memory, image, settings.DIBHandleType == THDT_DIBRAW, condition);
  else
    memory.FreeHandle(image);
  EndXfer();

  if (result == TWRC_XFERDONE) {
    ShutDownIfDone(false);
    if (page == nullptr) {
      ReportTransferFailure(DAT_IMAGENATIVEXFER, condition);
      ImageReady(nullptr, nullptr, nullptr, {});
      return;
    }
    if (settings.DIBHandleType == THDT_DIBRAW) {
      ImageReady(nullptr, nullptr, page, {});
      return;
    }
    const TSectionHandover handover = HandOver(page, settings.DIBHandleType);
    ImageReady(handover.Bits, handover.Info, handover.Handle, {});
    return;
  }
  ShutDownIfDone(result != TWRC_CANCEL);
  ImageReady(nullptr, nullptr, nullptr, {});
}

void TAcqTWAINThread::ReportTransferFailure(uint16_t DAT, uint16_t condition) {
  TTwnFailure failure;
  failure.DG = DG_IMAGE;
  failure.DAT = DAT;
  failure.MSG = MSG_GET;
  failure.Error = TWRC_FAILURE;
  failure.Status = condition;
  RaiseFailureContained(failure);
}

// ---- File transfer

namespace {

bool CanCreate(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(path.c_str());
  return true;
}

} // namespace

void TAcqTWAINThread::FileTransfer(const TTwnTransferSettings& settings) {
  uint16_t result = TWRC_FAILURE;
  if (CanCreate(settings.Filename)) {
    TW_SETUPFILEXFER setup{};
    std::snprintf(setup.FileName, sizeof setup.FileName, "%s", settings.Filename.c_str());
    setup.Format = settings.FileFormat;
    setup.VRefNum = -1;
    result = Triplet(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup, sizeof setup, true,
                     {INFINITE_WAIT, {}, {}});
    if (result == TWRC_SUCCESS)
      result =
          Triplet(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr, 0, true, {INFINITE_WAIT, {}, {}});
  }
  FSession.State = result == TWRC_SUCCESS || result == TWRC_XFERDONE ? 7 : 6;

  if (result == TWRC_XFERDONE) {
    TSV_HANDLE image = nullptr;
    if (settings.ReturnHandle && settings.FileFormat == TWFF_BMP) {
      image = ReadBmpFile(settings.Filename, settings.DIBHandleType == THDT_DIBRAW);
      if (image != nullptr) ::unlink(settings.Filename.c_str());
    }
    EndXfer();
    ShutDownIfDone(false);
    if (image == nullptr) {
      ImageReady(nullptr, nullptr, nullptr, settings.Filename);
    } else if (settings.DIBHandleType == THDT_DIBRAW) {
      ImageReady(nullptr, nullptr, image, {});
    } else {
      const TSectionHandover handover = HandOver(image, settings.DIBHandleType);
      ImageReady(handover.Bits, handover.Info, handover.Handle, {});
    }
    return;
  }
  EndXfer();
  ShutDownIfDone(result != TWRC_CANCEL);
  ImageReady(nullptr, nullptr, nullptr, {});
}

// ---- Memory transfer

bool TAcqTWAINThread::ReadCurrent(uint16_t capability, double& value) {
  const TTwnMemory memory = FSession.Memory();
  TW_CAPABILITY cap{capability, TWON_DONTCARE16, nullptr};
  TTripletOptions options{kSessionTimeout, {}, [memory](std::vector<uint8_t>& data) {
                            TW_CAPABILITY late;
                            std::memcpy(&late, data.data(), sizeof late);
                            memory.FreeHandle(late.hContainer);
                          }};
  if (Triplet(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &cap, sizeof cap, true,
              std::move(options)) != TWRC_SUCCESS ||
      cap.hContainer == nullptr)
    return false;
  bool read = false;
  {
    TLockedBlock locked(memory, cap.hContainer);
    if (const auto* wire = static_cast<const uint8_t*>(locked.Address())) {
      try {
        TTwnContainer container;
        container.LoadFromTwain(capability, cap.ConType,
                                UnpackContainer(cap.ConType, wire, BlockSize(cap.hContainer)));
        value = container.CurrentValue().AsFloat();
        read = true;
      } catch (const Exception&) {
        read = false;
      }
    }
  }
  memory.FreeHandle(cap.hContainer);
  return read;
}

void TAcqTWAINThread::MemoryTransfer(const TTwnTransferSettings& settings) {
  TTwnEventSink* sink = Sink();
  const bool stripMode = settings.DIBHandleType == THDT_MEMPTR;

  TW_IMAGEINFO info{};
  uint16_t result =
      Triplet(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info, sizeof info, true, {INFINITE_WAIT, {}, {}});
  const int bits = info.BitsPerPixel;
  const bool sane = info.ImageWidth > 0 && info.ImageLength > 0 &&
                    (bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32) &&
                    DIBRowSize(info.ImageWidth, bits) * info.ImageLength <= kMaxTransferBytes;
  if (result != TWRC_SUCCESS || !sane) {
    // Without a usable description nothing can be received: the source's
    // remaining images are discarded.
    TW_PENDINGXFERS pending{};
    Triplet(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending, sizeof pending, true);
    FPending = 0;
    FSession.State = 5;
    ShutDownIfDone(true);
    ImageReady(nullptr, nullptr, nullptr, {});
    return;
  }

  const size_t rowSize = static_cast<size_t>(DIBRowSize(info.ImageWidth, bits));
  const size_t imageSize = rowSize * static_cast<size_t>(info.ImageLength);
  const int entries = bits <= 8 ? 1 << bits : 0;

  TW_SETUPMEMXFER setup{};
  result = Triplet(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup, sizeof setup, true,
                   {INFINITE_WAIT, {}, {}});
  std::vector<uint8_t> infoBlock(40 + 4 * static_cast<size_t>(entries), 0);
  auto* bmpInfo = reinterpret_cast<TTwnBitmapInfo*>(infoBlock.data());
  TSV_HANDLE image = nullptr;
  uint8_t* pixels = nullptr;

  if (result == TWRC_SUCCESS) {
    TTwnBitmapInfoHeader& h = bmpInfo->bmiHeader;
    h.biSize = 40;
    h.biWidth = info.ImageWidth;
    h.biHeight = info.ImageLength;
    h.biPlanes = 1;
    h.biBitCount = static_cast<uint16_t>(bits);
    h.biCompression = 0;
    h.biSizeImage = static_cast<uint32_t>(imageSize);

    double units = -1;
    if (ReadCurrent(ICAP_UNITS, units)) {
      h.biXPelsPerMeter = PelsPerMetre(Fix32ToFloat(info.XResolution), static_cast<int>(units));
      h.biYPelsPerMeter = PelsPerMetre(Fix32ToFloat(info.YResolution), static_cast<int>(units));
    } else {
      h.biXPelsPerMeter = h.biYPelsPerMeter = PelsPerMetre(0, -1);
    }

    double flavor = TWPF_CHOCOLATE;
    ReadCurrent(ICAP_PIXELFLAVOR, flavor);
    const bool vanilla = static_cast<int>(flavor) == TWPF_VANILLA;
    std::vector<uint32_t> table;
    switch (info.PixelType) {
    case TWPT_BW:
      table = {GreyEntry(vanilla ? 255 : 0), GreyEntry(vanilla ? 0 : 255)};
      break;
    case TWPT_GRAY:
      table = GreyRamp(entries, vanilla);
      break;
    case TWPT_PALETTE: {
      TW_PALETTE8 palette{};
      if (Triplet(DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette, sizeof palette, true,
                  {INFINITE_WAIT, {}, {}}) == TWRC_SUCCESS) {
        for (int i = 0; i < entries && i < palette.NumColors && i < 256; ++i) {
          const TW_ELEMENT8& e = palette.Colors[i];
          table.push_back(e.Channel3 | (uint32_t{e.Channel2} << 8) | (uint32_t{e.Channel1} << 16));
        }
      } else {
        table = GreyRamp(entries, vanilla);
      }
      break;
    }
    default:
      break;
    }
    table.resize(std::min<size_t>(table.size(), static_cast<size_t>(entries)));
    h.biClrUsed = static_cast<uint32_t>(table.size());
    if (!table.empty()) std::memcpy(bmpInfo->bmiColors, table.data(), table.size() * 4);

    int bufSize = static_cast<int>(setup.Preferred);
    const int minSize = static_cast<int>(setup.MinBufSize);
    const int maxSize = static_cast<int>(setup.MaxBufSize);
    if (sink)
      Contained(DAT_IMAGEMEMXFER,
                [&] { sink->RaiseMemXferSize(this, minSize, maxSize, bufSize, bmpInfo); });
    if (minSize != 0 && maxSize != 0) {
      if (bufSize < minSize) bufSize = minSize;
      if (maxSize != -1 && bufSize > maxSize) bufSize = maxSize;
    }
    if (bufSize <= 0) bufSize = std::max(minSize, 65536);

    void* stripBuffer = nullptr;
    std::vector<uint8_t> ownStrip;
    if (stripMode) {
      if (sink && !Contained(DAT_IMAGEMEMXFER, [&] {
            sink->RaiseMemXferBuffer(this, bmpInfo, 0, 0, 0, stripBuffer);
          }))
        stripBuffer = nullptr;
    } else {
      const size_t offset = 40 + 4 * static_cast<size_t>(h.biClrUsed);
      image = tsv_mem_alloc(offset + imageSize);
      if (image != nullptr) pixels = static_cast<uint8_t*>(tsv_mem_lock(image)) + offset;
      // Strips arrive in a buffer of their own and are placed from there; a
      // buffer larger than the page (or the source's minimum) serves nothing.
      ownStrip.resize(std::min(static_cast<size_t>(bufSize),
                               std::max(imageSize, static_cast<size_t>(std::max(minSize, 0)))));
      stripBuffer = ownStrip.data();
    }
    const TMemPage page{pixels, rowSize, info.ImageWidth, info.ImageLength, bits};

    if (stripMode ? stripBuffer == nullptr : pixels == nullptr) {
      result = TWRC_CANCEL;
    } else {
      FSession.State = 7;
      int emptyStrips = 0;
      do {
        TW_IMAGEMEMXFER strip{};
        strip.Compression = TWON_DONTCARE16;
        strip.BytesPerRow = strip.Columns = strip.Rows = strip.XOffset = strip.YOffset =
            strip.BytesWritten = TWON_DONTCARE32;
        strip.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
        strip.Memory.Length =
            static_cast<TW_UINT32>(stripMode ? static_cast<size_t>(bufSize) : ownStrip.size());
        strip.Memory.TheMem = stripBuffer;
        result = Triplet(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip, sizeof strip, true,
                         {INFINITE_WAIT, {}, {}});
        if (result != TWRC_SUCCESS && result != TWRC_XFERDONE) break;
        const size_t written = std::min<size_t>(strip.BytesWritten, strip.Memory.Length);
        if (stripMode) {
          if (written > 0) {
            if (settings.SwapMemRGB && info.PixelType == TWPT_RGB && strip.BytesPerRow > 0)
              for (size_t row = 0; row < strip.Rows && (row + 1) * strip.BytesPerRow <= written;
                   ++row)
                SwapRedBlue(static_cast<uint8_t*>(stripBuffer) + row * strip.BytesPerRow,
                            static_cast<uint8_t*>(stripBuffer) + row * strip.BytesPerRow,
                            strip.BytesPerRow / 3);
            if (sink && !Contained(DAT_IMAGEMEMXFER, [&] {
                  sink->RaiseMemXferBuffer(this, bmpInfo, static_cast<int>(strip.BytesPerRow),
                                           static_cast<int>(strip.Rows), static_cast<int>(written),
                                           stripBuffer);
                }))
              stripBuffer = nullptr;
            if (stripBuffer == nullptr) {
              result = TWRC_CANCEL;
              break;
            }
          }
        } else if (!PlaceStrip(strip, ownStrip.data(), written, page)) {
          // A strip that does not fit the page: the page cannot be trusted.
          ReportTransferFailure(DAT_IMAGEMEMXFER, TWCC_BADVALUE);
          result = TWRC_FAILURE;
          break;
        }
        // A source that keeps answering without delivering anything is stopped.
        emptyStrips = written == 0 ? emptyStrips + 1 : 0;
        if (result == TWRC_SUCCESS && emptyStrips > kMaxEmptyStrips) {
          result = TWRC_FAILURE;
          break;
        }
      } while (result == TWRC_SUCCESS);
      if (stripMode && sink) {
        void* last = stripBuffer;
        Contained(DAT_IMAGEMEMXFER,
                  [&] { sink->RaiseMemXferBuffer(this, bmpInfo, 0, 0, 0, last); });
      }
    }
  }

  if (result == TWRC_XFERDONE) {
    EndXfer();
    ShutDownIfDone(false);
    if (stripMode) return;
    const TTwnBitmapInfoHeader& h = bmpInfo->bmiHeader;
    if (settings.SwapMemRGB) {
      FlipRows(pixels, rowSize, h.biHeight);
      if (info.PixelType == TWPT_RGB && bits == 24)
        for (int row = 0; row < h.biHeight; ++row)
          SwapRedBlue(pixels + static_cast<size_t>(row) * rowSize,
                      pixels + static_cast<size_t>(row) * rowSize, static_cast<size_t>(h.biWidth));
    }
    auto* base = pixels - 40 - 4 * static_cast<size_t>(h.biClrUsed);
    std::memcpy(base, infoBlock.data(), 40 + 4 * static_cast<size_t>(h.biClrUsed));
    tsv_mem_unlock(image);
    if (settings.DIBHandleType == THDT_DIBRAW) {
      ImageReady(nullptr, nullptr, image, {});
    } else {
      // The section carries the full table for the depth.
      TSV_HANDLE section = nullptr;
      if (const auto* packed = static_cast<const uint8_t*>(tsv_mem_lock(image))) {
        section = BuildDIBSection(packed, tsv_mem_size(image));
        tsv_mem_unlock(image);
      }
      tsv_mem_free(image);
      const TSectionHandover handover = HandOver(section, settings.DIBHandleType);
      ImageReady(handover.Bits, handover.Info, handover.Handle, {});
    }
    return;
  }

  if (image != nullptr) tsv_mem_free(image);
  EndXfer();
  ShutDownIfDone(result != TWRC_CANCEL);
  ImageReady(nullptr, nullptr, nullptr, {});
}
