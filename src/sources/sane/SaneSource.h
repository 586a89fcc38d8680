#pragma once

#include "../virtual/VirtualWire.h"
#include "SaneAnnouncer.h"
#include "SaneDevice.h"
#include "SanePage.h"
#include "SaneSettings.h"
#include "tessivane/twain.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TSaneCapRow;

// What the scanning thread made of one sheet: a page, or the status that
// ended it.
struct TScanResult {
  SANE_Status Status = SANE_STATUS_GOOD;
  TSanePage Page;
};

// One SANE device open as a TWAIN source for one application, states 4 to
// 7. Pages are scanned on a thread of the source's own: the first when the
// source is enabled (it announces MSG_XFERREADY once the page is read), the
// next one from the feeder as soon as the application has taken the one
// before. The application's calls are answered on its own thread.
class TSaneSource {
public:
  // Raises ESaneError when the device cannot be opened.
  TSaneSource(const std::string& deviceName, const TW_IDENTITY& identity, const TW_IDENTITY& app,
              DSMENTRYPROC manager, const TSourceMemory& memory);
  TSaneSource(const TSaneSource&) = delete;
  TSaneSource& operator=(const TSaneSource&) = delete;
  ~TSaneSource();

  TW_UINT16 Entry(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data);
  // The condition of the last failure, cleared by reading it.
  TW_UINT16 TakeCondition();
  int State() const;
  const TW_IDENTITY& Identity() const { return FIdentity; }

private:
  using TLock = std::unique_lock<std::mutex>;
  TW_UINT16 Fail(TW_UINT16 condition) {
    FCondition = condition;
    return TWRC_FAILURE;
  }
  TW_UINT16 Answer(SANE_Status status);

  // Session (SaneSource.cpp).
  TW_UINT16 UserInterface(TLock& lock, TW_UINT16 MSG, pTW_USERINTERFACE ui);
  TW_UINT16 PendingXfers(TLock& lock, TW_UINT16 MSG, pTW_PENDINGXFERS pending);
  void Scan(int limit);
  TScanResult ReadPage();
  // Ends the scanning thread (cancelling what it does) and the batch.
  void StopScanning(TLock& lock);
  // Asks the application to disable the source (MSG_CLOSEDSREQ): its window
  // was cancelled, or the batch scanned from it has ended.
  void RequestClose() { FAnnouncer.Post(MSG_CLOSEDSREQ); }

  // Capabilities (SaneCapabilities.cpp).
  static const std::vector<TSaneCapRow>& Table();
  // The values at opening, which MSG_GETDEFAULT and MSG_RESET give.
  void KeepDefaults();
  TW_UINT16 Capability(TW_UINT16 MSG, pTW_CAPABILITY cap);
  TW_UINT16 SetCapability(pTW_CAPABILITY cap);
  std::vector<TW_UINT16> SupportedCaps();
  double UnitsPerInch() const;

  // Images (SaneTransfer.cpp).
  TW_UINT16 ImageLayout(TW_UINT16 MSG, pTW_IMAGELAYOUT layout);
  TW_UINT16 ImageInfo(TLock& lock, pTW_IMAGEINFO info);
  TW_UINT16 SetupMemXfer(TLock& lock, pTW_SETUPMEMXFER setup);
  TW_UINT16 NativeXfer(TLock& lock, TW_HANDLE* handle);
  TW_UINT16 MemXfer(TLock& lock, pTW_IMAGEMEMXFER strip);
  TW_UINT16 SetupFileXfer(TW_UINT16 MSG, pTW_SETUPFILEXFER setup);
  TW_UINT16 FileXfer(TLock& lock);
  // Waits for the page about to be transferred; false when scanning ended
  // without one. The result stays at the front of FResults.
  bool WaitForPage(TLock& lock);
  // The page at the front failed: answers its status.
  TW_UINT16 PageFailed();
  // The application has the page at the front, or passed over it.
  void TakeFront();

  mutable std::mutex FLock;
  std::condition_variable FChanged;
  TW_IDENTITY FIdentity{};
  TSaneAnnouncer FAnnouncer;
  TSourceMemory FMemory;
  TW_UINT16 FCondition = TWCC_SUCCESS;
  int FState = 4;

  std::unique_ptr<TSaneDevice> FDevice;
  std::unique_ptr<TSaneSettings> FSettings;
  // TWAIN settings with no SANE option of their own.
  int FXferCount = -1;
  int FXferMech = TWSX_NATIVE;
  TFileXferTarget FFileXfer;
  int FUnits = TWUN_INCHES;
  int FSupportedSize = TWSS_NONE;
  bool FIndicators = true;
  // This enabling showed the options window and scans what it chose.
  bool FWindowShown = false;
  std::map<TW_UINT16, double> FDefaults;
  std::vector<TW_UINT16> FSupportedCaps; // as of the last time the device was idle

  // The batch: pages the thread scanned and not yet taken, how many sheets
  // are known to be there (started, or failed while starting), how many
  // the application has taken, and whether no more will come.
  std::thread FScanner;
  std::deque<TScanResult> FResults;
  int FKnown = 0;
  int FTaken = 0;
  int FLimit = 0;
  bool FEnded = true;
  bool FStopping = false;
  bool FStripping = false; // a memory transfer of the front page is under way
  size_t FRowsSent = 0;
  double FPageXDpi = 0, FPageYDpi = 0;
};
