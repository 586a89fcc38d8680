#include "SaneSource.h"

#include "SaneOptionsWindow.h"
#include "SaneStatus.h"
#include "core/Exception.h"

#include <climits>
#include <cmath>

namespace {

constexpr size_t kReadBuffer = 64 * 1024;

} // namespace

TSaneSource::TSaneSource(const std::string& deviceName, const TW_IDENTITY& identity,
                         const TW_IDENTITY& app, DSMENTRYPROC manager, const TSourceMemory& memory)
    : FIdentity(identity), FAnnouncer(manager, identity, app), FMemory(memory),
      FDevice(std::make_unique<TSaneDevice>(deviceName)),
      FSettings(std::make_unique<TSaneSettings>(*FDevice)) {
  KeepDefaults();
}

TSaneSource::~TSaneSource() {
  TLock lock(FLock);
  StopScanning(lock);
}

TW_UINT16 TSaneSource::TakeCondition() {
  std::lock_guard guard(FLock);
  const TW_UINT16 condition = FCondition;
  FCondition = TWCC_SUCCESS;
  return condition;
}

int TSaneSource::State() const {
  std::lock_guard guard(FLock);
  return FState;
}

TW_UINT16 TSaneSource::Answer(SANE_Status status) {
  const TTwainOutcome outcome = TwainOutcome(status);
  FCondition = outcome.Condition;
  return outcome.Result;
}

TW_UINT16 TSaneSource::Entry(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) {
  TLock lock(FLock);
  FCondition = TWCC_SUCCESS;
  try {
    // The one triplet without data.
    if (DG == DG_IMAGE && DAT == DAT_IMAGEFILEXFER)
      return MSG == MSG_GET ? FileXfer(lock) : Fail(TWCC_BADPROTOCOL);
    if (data == nullptr) return Fail(TWCC_BADVALUE);
    if (DG == DG_CONTROL) {
      switch (DAT) {
      case DAT_CAPABILITY:
        return Capability(MSG, static_cast<pTW_CAPABILITY>(data));
      case DAT_USERINTERFACE:
        return UserInterface(lock, MSG, static_cast<pTW_USERINTERFACE>(data));
      case DAT_PENDINGXFERS:
        return PendingXfers(lock, MSG, static_cast<pTW_PENDINGXFERS>(data));
      case DAT_SETUPMEMXFER:
        return MSG == MSG_GET ? SetupMemXfer(lock, static_cast<pTW_SETUPMEMXFER>(data))
                              : Fail(TWCC_BADPROTOCOL);
      case DAT_SETUPFILEXFER:
        return SetupFileXfer(MSG, static_cast<pTW_SETUPFILEXFER>(data));
      case DAT_EVENT:
        return TWRC_NOTDSEVENT;
      default:
        return Fail(TWCC_BADPROTOCOL);
      }
    }
    if (DG == DG_IMAGE) {
      switch (DAT) {
      case DAT_IMAGEINFO:
        return MSG == MSG_GET ? ImageInfo(lock, static_cast<pTW_IMAGEINFO>(data))
                              : Fail(TWCC_BADPROTOCOL);
      case DAT_IMAGELAYOUT:
        return ImageLayout(MSG, static_cast<pTW_IMAGELAYOUT>(data));
      case DAT_IMAGENATIVEXFER:
        return MSG == MSG_GET ? NativeXfer(lock, static_cast<TW_HANDLE*>(data))
                              : Fail(TWCC_BADPROTOCOL);
      case DAT_IMAGEMEMXFER:
        return MSG == MSG_GET ? MemXfer(lock, static_cast<pTW_IMAGEMEMXFER>(data))
                              : Fail(TWCC_BADPROTOCOL);
      default:
        return Fail(TWCC_BADPROTOCOL);
      }
    }
  } catch (const ESaneError& error) {
    return Answer(error.Status());
  } catch (const std::bad_alloc&) {
    return Fail(TWCC_LOWMEMORY);
  } catch (const Exception&) {
    // A page the raster library cannot hold (too large for a DIB).
    return Fail(TWCC_LOWMEMORY);
  } catch (const std::exception&) {
    return Fail(TWCC_BUMMER);
  }
  return Fail(TWCC_BADPROTOCOL);
}

TW_UINT16 TSaneSource::UserInterface(TLock& lock, TW_UINT16 MSG, pTW_USERINTERFACE ui) {
  if (MSG == MSG_DISABLEDS) {
    // Also while pages are pending: the batch is cancelled.
    if (FState < 5) return Fail(TWCC_SEQERROR);
    StopScanning(lock);
    FState = 4;
    return TWRC_SUCCESS;
  }
  if (MSG != MSG_ENABLEDS) return Fail(TWCC_BADPROTOCOL);
  if (FState != 4) return Fail(TWCC_SEQERROR);
  bool askedForWindow = false;
  FWindowShown = false;
  // Asked for its window, the source shows the device's options in the
  // options program; without a graphical session or that program it scans
  // with the current settings, and the answer says no window was shown.
  if (ui->ShowUI != 0) {
    switch (ShowSaneOptions(*FDevice)) {
    case TSaneWindowAnswer::Scan:
      FWindowShown = true;
      break;
    case TSaneWindowAnswer::Cancel:
      // The operator closed the window without scanning: enabled, no
      // pages, and the application is asked to disable the source.
      FResults.clear();
      FKnown = FTaken = 0;
      FEnded = true;
      FStopping = false;
      SupportedCaps();
      FState = 5;
      RequestClose();
      return TWRC_SUCCESS;
    case TSaneWindowAnswer::Unavailable:
      ui->ShowUI = 0;
      askedForWindow = true;
      break;
    }
  }
  FLimit = !FSettings->FeederSelected() ? 1 : FXferCount > 0 ? FXferCount : INT_MAX;
  SupportedCaps(); // what the device can do while it scans
  FPageXDpi = FSettings->Resolution(false);
  FPageYDpi = FSettings->Resolution(true);
  // The first sheet starts here, so that an empty feeder, a jam or an open
  // cover refuses the enabling with its code.
  const SANE_Status started = FDevice->Start();
  if (started != SANE_STATUS_GOOD) {
    FDevice->Cancel();
    return Answer(started);
  }
  FResults.clear();
  FKnown = 1;
  FTaken = 0;
  FEnded = false;
  FStopping = false;
  FState = 5;
  FScanner = std::thread([this, limit = FLimit] { Scan(limit); });
  return askedForWindow ? TWRC_CHECKSTATUS : TWRC_SUCCESS;
}

TW_UINT16 TSaneSource::PendingXfers(TLock& lock, TW_UINT16 MSG, pTW_PENDINGXFERS pending) {
  *pending = TW_PENDINGXFERS{};
  auto remaining = [this]() -> TW_UINT16 {
    if (FKnown <= FTaken) return 0;
    return FLimit == INT_MAX ? TW_UINT16{0xFFFF} : static_cast<TW_UINT16>(FLimit - FTaken);
  };
  switch (MSG) {
  case MSG_GET:
    pending->Count = FState >= 6 ? remaining() : 0;
    return TWRC_SUCCESS;
  case MSG_ENDXFER:
    if (FState != 6 && FState != 7) return Fail(TWCC_SEQERROR);
    // The application passes over this page, or stops taking it strip by strip.
    if ((FState == 6 && WaitForPage(lock)) || FStripping) TakeFront();
    // Whether another sheet follows is known once the device has started it.
    FChanged.wait(lock, [this] { return FKnown > FTaken || FEnded; });
    pending->Count = remaining();
    if (pending->Count == 0) {
      StopScanning(lock);
      FState = 5;
      if (FWindowShown) RequestClose();
    } else {
      FState = 6;
    }
    return TWRC_SUCCESS;
  case MSG_RESET:
    if (FState != 6) return Fail(TWCC_SEQERROR);
    StopScanning(lock);
    FState = 5;
    if (FWindowShown) RequestClose();
    return TWRC_SUCCESS;
  default:
    return Fail(TWCC_BADPROTOCOL);
  }
}

void TSaneSource::StopScanning(TLock& lock) {
  FStopping = true;
  // Never called on the scanning thread: it only reads pages and posts
  // announcements.
  if (FScanner.joinable()) {
    // sane_cancel may be called while another thread reads: the read ends.
    FDevice->Cancel();
    FChanged.notify_all();
    lock.unlock();
    FScanner.join();
    lock.lock();
  }
  FAnnouncer.Clear();
  FResults.clear();
  FStripping = false;
  FEnded = true;
  FKnown = FTaken;
}

void TSaneSource::Scan(int limit) {
  for (int sheet = 0;; ++sheet) {
    SANE_Status started = SANE_STATUS_GOOD;
    if (sheet > 0) {
      started = FDevice->Start();
      TLock lock(FLock);
      if (FStopping) break;
      if (started == SANE_STATUS_NO_DOCS) {
        // The feeder is empty: the batch ends here.
        FEnded = true;
        FChanged.notify_all();
        break;
      }
      ++FKnown;
      FChanged.notify_all();
    }
    TScanResult result = started == SANE_STATUS_GOOD ? ReadPage() : TScanResult{started, {}};
    bool last = false;
    {
      TLock lock(FLock);
      if (FStopping) break;
      last = result.Status != SANE_STATUS_GOOD || sheet + 1 >= limit;
      FResults.push_back(std::move(result));
      if (last) FEnded = true;
      if (sheet == 0) FState = 6;
      FChanged.notify_all();
    }
    if (sheet == 0) FAnnouncer.Post(MSG_XFERREADY);
    if (last) break;
    // One page ahead at most: the next sheet starts once this one is taken.
    TLock lock(FLock);
    FChanged.wait(lock, [this] { return FStopping || FResults.empty(); });
    if (FStopping) break;
  }
  FDevice->Cancel();
}

TScanResult TSaneSource::ReadPage() {
  TSanePageBuilder builder(FMemory, static_cast<int>(std::lround(FPageXDpi)),
                           static_cast<int>(std::lround(FPageYDpi)));
  std::vector<SANE_Byte> buffer(kReadBuffer);
  try {
    for (;;) {
      SANE_Parameters parameters{};
      if (const SANE_Status status = FDevice->Parameters(parameters); status != SANE_STATUS_GOOD)
        return {status, {}};
      builder.BeginFrame(parameters);
      for (;;) {
        SANE_Int length = 0;
        const SANE_Status status =
            FDevice->Read(buffer.data(), static_cast<SANE_Int>(buffer.size()), length);
        if (length > 0) builder.Add(buffer.data(), static_cast<size_t>(length));
        if (status == SANE_STATUS_EOF) break;
        if (status != SANE_STATUS_GOOD) return {status, {}};
      }
      if (parameters.last_frame) break;
      // The next frame of a three-pass scan.
      if (const SANE_Status status = FDevice->Start(); status != SANE_STATUS_GOOD)
        return {status, {}};
    }
    // A page whose length differed from the announced one is copied into a
    // block of its own height here, which may fail as the reading could.
    TSanePage page = builder.Finish();
    if (page.Empty()) return {SANE_STATUS_IO_ERROR, {}};
    return {SANE_STATUS_GOOD, std::move(page)};
  } catch (const ESaneError& error) {
    return {error.Status(), {}};
  } catch (const std::bad_alloc&) {
    return {SANE_STATUS_NO_MEM, {}};
  } catch (const std::length_error&) {
    return {SANE_STATUS_NO_MEM, {}};
  } catch (const std::exception&) {
    return {SANE_STATUS_IO_ERROR, {}};
  }
}
