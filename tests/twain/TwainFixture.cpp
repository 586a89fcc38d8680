#include "TwainFixture.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace test {

TRecorder::~TRecorder() {
  for (const TRecordedImage& image : Images)
    if (image.Handle != nullptr) tsv_mem_free(static_cast<TSV_HANDLE>(image.Handle));
}

void TwainTest::SetUp() {
  setenv("XDG_CONFIG_HOME", Dir.Path().c_str(), 1);
  setenv("XDG_STATE_HOME", Dir.Path().c_str(), 1);
  for (const char* name : {"TESSIVANE_TWAIN_DSM", "TESSIVANE_TWAIN_CHOOSER",
                           VIRTUAL_SHEETS_VARIABLE, "DISPLAY", "WAYLAND_DISPLAY"})
    unsetenv(name);
  // The project's own sources only, never the machine's installed ones.
  setenv("TESSIVANE_TWAIN_SOURCES", BinPath("twain_sources").c_str(), 1);
  Configure("");
}

void TwainTest::TearDown() {
  unsetenv(VIRTUAL_CONFIG_VARIABLE);
}

void TwainTest::Configure(const std::string& lines) {
  const std::string path = Dir.File("scanner.conf");
  std::ofstream(path) << "trace=" << Dir.File("trace.txt") << "\n" << lines << "\n";
  setenv(VIRTUAL_CONFIG_VARIABLE, path.c_str(), 1);
}

std::vector<std::string> TwainTest::Trace() const {
  std::ifstream file(Dir.File("trace.txt"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

size_t TwainTest::CountTrace(const std::string& start) const {
  size_t count = 0;
  for (const std::string& line : Trace())
    if (line.compare(0, start.size(), start) == 0 &&
        (line.size() == start.size() || line[start.size()] == ' '))
      ++count;
  return count;
}

std::unique_ptr<TAcqTWAIN> TwainTest::MakeTwain(uint32_t timeoutMs) {
  auto twain = std::make_unique<TAcqTWAIN>(Dispatcher);
  twain->SetTimeout(timeoutMs);
  TRecorder& events = Events;
  TCallQueueDispatcher& dispatcher = Dispatcher;
  twain->OnImageReady = [&events, &dispatcher](TTwnObject* sender, void* bits, TTwnBitmapInfo* info,
                                               TW_HANDLE handle, const std::string& path) {
    events.Images.push_back({handle, bits, info, path, dispatcher.IsUIThread()});
    events.Senders.push_back(sender);
  };
  twain->OnFailure = [&events](TTwnObject*, int dg, uint16_t dat, uint16_t cap, uint16_t msg,
                               int error, int status) {
    events.Failures.push_back({dg, dat, cap, msg, error, status});
  };
  twain->OnEnableMenus = [&events](TTwnObject*) { ++events.EnableMenus; };
  twain->OnDisableMenus = [&events](TTwnObject*) { ++events.DisableMenus; };
  twain->OnCloseSource = [&events](TTwnObject*) { ++events.CloseSource; };
  twain->OnXferReady = [&events](TTwnObject*) { ++events.XferReady; };
  twain->OnDeviceEvent = [&events](TTwnObject*, TTwnDeviceEvent event, const std::string& name,
                                   const TTwnVariant&, const TTwnVariant&, const TTwnVariant&) {
    events.DeviceEvents.emplace_back(event, name);
  };
  return twain;
}

std::unique_ptr<TAcqTWAIN> TwainTest::OneSheet(int pixelType, int bitDepth, int dpi) {
  Configure("sheets=1");
  auto twain = MakeTwain();
  twain->ShowUI = false;
  SmallPages(*twain, pixelType, bitDepth, dpi);
  return twain;
}

void TwainTest::SmallPages(TAcqTWAIN& twain, int pixelType, int bitDepth, int dpi) {
  TRecorder& events = Events;
  twain.OnNegotiation = [&twain, &events, pixelType, bitDepth, dpi](TTwnObject*) {
    ++events.Negotiations;
    TTwnContainer* container = nullptr;
    for (auto [cap, value] : {std::pair<uint16_t, double>{ICAP_SUPPORTEDSIZES, TWSS_A6},
                              {ICAP_PIXELTYPE, pixelType},
                              {ICAP_BITDEPTH, bitDepth},
                              {ICAP_XRESOLUTION, dpi},
                              {ICAP_YRESOLUTION, dpi}}) {
      container = nullptr;
      ASSERT_EQ(twain.GetCapabilityMsg(cap, MSG_GET, container), TWRC_SUCCESS) << cap;
      container->SetCurrentValue(value);
      ASSERT_EQ(twain.SetCapabilityMsg(MSG_SET, -1, container), TWRC_SUCCESS) << cap;
    }
  };
}

bool TwainTest::WaitFor(const std::function<bool()>& done, uint32_t timeoutMs) {
  return Dispatcher.ProcessUntil(done, timeoutMs);
}

bool TwainTest::WaitClosed(TAcqTWAIN& twain) {
  return WaitFor([&] { return twain.State() == 1 && !twain.DSMOpen(); });
}

} // namespace test
