#pragma once

#include "twain/Session.h"
#include "twain/Types.h"

#include <string>

// What the event thread needs of the component: its transfer settings and
// its events. Each Raise method runs the handler on the user-interface thread
// and returns when it has run; it answers false when no handler is assigned.
class TTwnEventSink {
public:
  virtual ~TTwnEventSink() = default;

  virtual TTwnTransferSettings TransferSettings() const = 0;
  virtual bool RaiseXferReady(TTwnObject* sender) = 0;
  virtual bool RaiseImageReady(TTwnObject* sender, void* pBmp, TTwnBitmapInfo* pBmpInfo,
                               TW_HANDLE hImage, const std::string& filePath) = 0;
  virtual bool RaiseMemXferSize(TTwnObject* sender, int minSize, int maxSize, int& bufSize,
                                TTwnBitmapInfo* pBmpInfo) = 0;
  virtual bool RaiseMemXferBuffer(TTwnObject* sender, TTwnBitmapInfo* pBmpInfo, int bytesPerRow,
                                  int rows, int dataSize, void*& pData) = 0;
  virtual bool RaiseXferNext(TTwnObject* sender, int& numImages, bool& skipNext) = 0;
  virtual void RaiseFailure(TTwnObject* sender, const TTwnFailure& failure) = 0;
  virtual void RaiseEnableMenus(TTwnObject* sender) = 0;
  virtual void RaiseCloseSource(TTwnObject* sender) = 0;
  // Fetches the source's device event and raises OnDeviceEvent.
  virtual void HandleDeviceEvent() = 0;
};
