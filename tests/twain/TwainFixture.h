#pragma once

#include "core/CallQueueDispatcher.h"
#include "support/TestSupport.h"
#include "tessivane/pagemem.h"
#include "tessivane/virtualscanner.h"
#include "twain/AcqTWAIN.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace test {

// What the component's handlers saw.
struct TRecordedImage {
  TW_HANDLE Handle = nullptr;
  void* Bits = nullptr;
  TTwnBitmapInfo* Info = nullptr;
  std::string FilePath;
  bool OnUIThread = false;
};

struct TRecordedFailure {
  int DG;
  uint16_t DAT, CAP, MSG;
  int Error, Status;
};

struct TRecorder {
  std::vector<TRecordedImage> Images;
  std::vector<TRecordedFailure> Failures;
  int EnableMenus = 0;
  int DisableMenus = 0;
  int CloseSource = 0;
  int XferReady = 0;
  int Negotiations = 0;
  std::vector<std::pair<TTwnDeviceEvent, std::string>> DeviceEvents;
  std::vector<TTwnObject*> Senders; // of OnImageReady
  ~TRecorder();
};

// End-to-end tests: the real manager (beside the test program) and the
// virtual scanner (in its sources folder), with the user's configuration
// and state folders moved into a temporary folder.
class TwainTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the virtual scanner's configuration file (the trace always on).
  void Configure(const std::string& lines);
  // The triplets the scanner received, one "DG DAT MSG ..." line each.
  std::vector<std::string> Trace() const;
  size_t CountTrace(const std::string& start) const;

  // A component with every handler recording into Events, requests timing
  // out after timeoutMs.
  std::unique_ptr<TAcqTWAIN> MakeTwain(uint32_t timeoutMs = 20000);
  // A negotiation handler choosing a small, fast page.
  void SmallPages(TAcqTWAIN& twain, int pixelType, int bitDepth, int dpi = 100);
  // A component scanning one small sheet of the pixel type and depth given,
  // without the scanner's own window.
  std::unique_ptr<TAcqTWAIN> OneSheet(int pixelType, int bitDepth, int dpi = 100);
  bool WaitFor(const std::function<bool()>& done, uint32_t timeoutMs = 60000);
  // Runs the dispatcher until the component is back in state 1.
  bool WaitClosed(TAcqTWAIN& twain);

  TempDir Dir;
  TCallQueueDispatcher Dispatcher;
  TRecorder Events;
};

} // namespace test
