#pragma once

#include "VirtualConfig.h"
#include "VirtualPage.h"
#include "VirtualWire.h"
#include "tessivane/twain.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Sends what the scanner announces (MSG_XFERREADY, MSG_CLOSEDSREQ,
// MSG_DEVICEEVENT) to the manager from a thread of its own, as a scanner's
// hardware events arrive.
class TNotifier {
public:
  ~TNotifier() { Stop(); }
  void Start(DSMENTRYPROC entry, const TW_IDENTITY& source, const TW_IDENTITY& app);
  void Post(TW_UINT16 msg);
  // Waits until everything posted was sent, then ends the thread.
  void Stop();

private:
  void Run();
  std::mutex FLock;
  std::condition_variable FChanged;
  std::deque<TW_UINT16> FMessages;
  bool FStopping = false;
  std::thread FThread;
  DSMENTRYPROC FEntry = nullptr;
  TW_IDENTITY FSource{};
  TW_IDENTITY FApp{};
};

// The capability values, kept in inches and dots per inch; the units of
// ICAP_UNITS apply on the way in and out.
struct TScannerSettings {
  int PixelType = TWPT_BW;
  int BitDepth = 1;
  double XDpi = 300;
  double YDpi = 300;
  int Units = TWUN_INCHES;
  TW_FRAME Frame{}; // inches
  int SupportedSize = TWSS_A4;
  bool Feeder = true;
  bool Duplex = false;
  bool Indicators = true;
  int XferCount = -1;
  int XferMech = TWSX_NATIVE;
  int FileFormat = TWFF_BMP;
  int PixelFlavor = TWPF_CHOCOLATE;
  int Sheets = 3;
  std::vector<double> DeviceEvents;
  std::vector<double> Extended;
};

// The virtual scanner: one session at a time, states 3 (closed) to 7.
class TVirtualScanner {
public:
  static TVirtualScanner& Instance();
  TW_UINT16 Entry(pTW_IDENTITY origin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data);

private:
  using TLock = std::unique_lock<std::mutex>;

  TW_UINT16 Fail(TW_UINT16 condition) {
    FCondition = condition;
    return TWRC_FAILURE;
  }
  void Trace(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data);
  // Faults of the configuration; true when the call is answered by one.
  bool Misbehave(TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data, TW_UINT16& result);

  // Session.
  TW_UINT16 Identity(TLock& lock, pTW_IDENTITY origin, TW_UINT16 MSG, pTW_IDENTITY identity);
  TW_UINT16 UserInterface(TW_UINT16 MSG, pTW_USERINTERFACE ui);
  TW_UINT16 PendingXfers(TW_UINT16 MSG, pTW_PENDINGXFERS pending);
  TW_UINT16 DeviceEvent(pTW_DEVICEEVENT event);
  void ImageDone();

  // Capabilities (VirtualCapabilities.cpp).
  TW_UINT16 Capability(TW_UINT16 MSG, pTW_CAPABILITY cap);
  TW_UINT16 GetCapability(TW_UINT16 MSG, pTW_CAPABILITY cap);
  TW_UINT16 SetCapability(pTW_CAPABILITY cap);
  TW_UINT16 ResetCapability(pTW_CAPABILITY cap);
  std::vector<TW_UINT16> SupportedCaps() const;
  double UnitsPerInch() const;
  void SelectSize(int size);
  void ResetSettings();

  // Images (VirtualTransfer.cpp).
  TW_UINT16 ImageInfo(pTW_IMAGEINFO info);
  TW_UINT16 ImageLayout(TW_UINT16 MSG, pTW_IMAGELAYOUT layout);
  TW_UINT16 SetupMemXfer(pTW_SETUPMEMXFER setup);
  TW_UINT16 SetupFileXfer(TW_UINT16 MSG, pTW_SETUPFILEXFER setup);
  TW_UINT16 Palette(pTW_PALETTE8 palette);
  TW_UINT16 NativeXfer(TW_HANDLE* handle);
  TW_UINT16 MemXfer(pTW_IMAGEMEMXFER strip);
  TW_UINT16 FileXfer();
  TPageLayout Layout() const;
  int PageNumber() const { return FPagesDone + 1; }
  // The fault of the page about to be transferred: 0, TWRC_CANCEL or TWRC_FAILURE.
  TW_UINT16 PageFault();
  bool RenderCurrentPage();
  // The page about to be transferred made ready: TWRC_SUCCESS, or what the
  // transfer answers (a cancelled page, a paper jam, no memory).
  TW_UINT16 StartPage();

  std::mutex FLock;
  int FState = 3;
  TW_IDENTITY FIdentity{};
  TW_IDENTITY FApp{};
  DSMENTRYPROC FDSMEntry = nullptr;
  TSourceMemory FMemory;
  TW_UINT16 FCondition = TWCC_SUCCESS;
  std::shared_ptr<const TVirtualConfig> FConfig = std::make_shared<TVirtualConfig>();
  TScannerSettings FSettings;
  int FOfflineReads = 0;

  bool FShowUI = false;
  int FPending = 0;
  int FPagesDone = 0;
  std::unique_ptr<TDIB> FPage; // the page being transferred
  int FRowsSent = 0;
  TFileXferTarget FFileXfer;
  std::deque<TW_DEVICEEVENT> FDeviceEvents;
  TNotifier FNotifier;

  std::mutex FTraceLock;
};
