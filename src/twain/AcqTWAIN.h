#pragma once

#include "core/Exception.h"
#include "twain/AcqTWAINIntf.h"
#include "twain/EventSink.h"
#include "twain/Log.h"
#include "twain/Variant.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Raised by EnableSource when no handler could receive an image.
class EImageReadyError : public Exception {
public:
  using Exception::Exception;
};

// A frame and its numbers for SetImageLayout; edges in the source's units.
struct TTwnImageLayout {
  double Left = 0, Top = 0, Right = 0, Bottom = 0;
  uint32_t DocumentNumber = 0, PageNumber = 0, FrameNumber = 0;
};

using TNotifyEvent = std::function<void(TTwnObject* Sender)>;
using TDeviceNotReadyEvent = std::function<void(TTwnObject* Sender, bool& DoOpenSource)>;
using TDeviceEventEvent =
    std::function<void(TTwnObject* Sender, TTwnDeviceEvent Event, const std::string& DeviceName,
                       const TTwnVariant& A, const TTwnVariant& B, const TTwnVariant& C)>;
using TFailureEvent = std::function<void(TTwnObject* Sender, int DG, uint16_t DAT, uint16_t CAP,
                                         uint16_t MSG, int Error, int Status)>;
using TImageReadyEvent =
    std::function<void(TTwnObject* Sender, void* pBmp, TTwnBitmapInfo* pBmpInfo, TW_HANDLE hImage,
                       const std::string& FilePath)>;
using TMemXferSizeEvent = std::function<void(TTwnObject* Sender, int MinSize, int MaxSize,
                                             int& BufSize, TTwnBitmapInfo* pBmpInfo)>;
using TMemXferBufferEvent =
    std::function<void(TTwnObject* Sender, TTwnBitmapInfo* pBmpInfo, int BytesPerRow, int Rows,
                       int DataSize, void*& pData)>;
using TXferNextEvent = std::function<void(TTwnObject* Sender, int& NumImages, bool& SkipNext)>;

// The acquisition component: chooses and opens a data source, runs the
// negotiation hook, enables the source and delivers the scanned pages.
// Operations are called on the user-interface thread and block until done;
// every event runs on that thread (through the dispatcher). Sender is the
// component for OnNegotiation, OnDeviceNotReady, OnDisableMenus and
// OnDeviceEvent, the event thread for the others.
class TAcqTWAIN : public TAcqTWAINIntf, private TTwnEventSink {
public:
  explicit TAcqTWAIN(TUIDispatcher& dispatcher);
  ~TAcqTWAIN() override;

  // Operations.
  bool Acquire(const std::string& sourceName);
  bool SelectSource();
  void GetSourceList(std::vector<std::string>& list);
  bool OpenSourceMgr();
  bool CloseSourceMgr();
  bool OpenSource(const std::string& sourceName);
  bool CloseSource();
  bool EnableSource(bool showUI);
  void DisableSource();
  bool SetXferCount(int count);
  uint16_t SetImageLayout(const TTwnImageLayout& layout);
  double GetPhysicalWidth();
  double GetPhysicalHeight();

  // Properties.
  TTwnHdlType DIBHandleType() const;
  void SetDIBHandleType(TTwnHdlType type);
  TTwnXferType XferMech() const;
  void SetXferMech(TTwnXferType mech);
  bool DisableAfterAcquire = true;
  TTwnFileFmt FileFormat() const;
  void SetFileFormat(TTwnFileFmt format);
  TTwnFileFmts FileFormats() const { return FFileFormats; }
  void SetFileFormats(TTwnFileFmts formats);
  std::string Filename() const;
  void SetFilename(const std::string& fileName);
  bool ReturnHandle() const;
  void SetReturnHandle(bool value);
  bool SwapMemRGB() const;
  void SetSwapMemRGB(bool value);
  bool ShowIndicators = true;
  bool ShowUI = true;
  bool ModalUI() const { return FModalUI; }
  std::string LogFilename() const { return FLog.LogFilename(); }
  void SetLogFilename(const std::string& fileName) { FLog.SetLogFilename(fileName); }
  bool LogToFile() const { return FLog.LogToFile; }
  void SetLogToFile(bool value) { FLog.LogToFile = value; }
  TTwnErrorLevel MessageLevel() const { return FLog.MessageLevel; }
  void SetMessageLevel(TTwnErrorLevel level) { FLog.MessageLevel = level; }
  const TAcqTWAINLog& Log() const { return FLog; }

  // Events.
  TNotifyEvent OnNegotiation;
  TDeviceNotReadyEvent OnDeviceNotReady;
  TNotifyEvent OnDisableMenus;
  TNotifyEvent OnEnableMenus;
  TNotifyEvent OnCloseSource;
  TDeviceEventEvent OnDeviceEvent;
  TFailureEvent OnFailure;
  TImageReadyEvent OnImageReady;
  TMemXferBufferEvent OnMemXferBuffer;
  TMemXferSizeEvent OnMemXferSize;
  TXferNextEvent OnXferNext;
  TNotifyEvent OnXferReady;

private:
  bool DeviceOnline();
  bool NegotiateXferMech();
  bool NegotiateFileFormat();
  uint16_t SetOneValue(uint16_t capability, uint16_t itemType, const TTwnVariant& value);
  double ReadCurrentFloat(uint16_t capability);

  // TTwnEventSink: runs on the event thread.
  TTwnTransferSettings TransferSettings() const override;
  bool RaiseXferReady(TTwnObject* sender) override;
  bool RaiseImageReady(TTwnObject* sender, void* pBmp, TTwnBitmapInfo* pBmpInfo, TW_HANDLE hImage,
                       const std::string& filePath) override;
  bool RaiseMemXferSize(TTwnObject* sender, int minSize, int maxSize, int& bufSize,
                        TTwnBitmapInfo* pBmpInfo) override;
  bool RaiseMemXferBuffer(TTwnObject* sender, TTwnBitmapInfo* pBmpInfo, int bytesPerRow, int rows,
                          int dataSize, void*& pData) override;
  bool RaiseXferNext(TTwnObject* sender, int& numImages, bool& skipNext) override;
  void RaiseFailure(TTwnObject* sender, const TTwnFailure& failure) override;
  void RaiseEnableMenus(TTwnObject* sender) override;
  void RaiseCloseSource(TTwnObject* sender) override;
  void HandleDeviceEvent() override;
  // Runs call on the user-interface thread unless the component is going.
  void OnUIThread(const std::function<void()>& call);

  mutable std::mutex FSettingsLock;
  TTwnTransferSettings FSettings;
  TTwnFileFmts FFileFormats;
  bool FModalUI = false;
  bool FGoing = false; // read and written on the user-interface thread only
  TAcqTWAINLog FLog;
};
