#pragma once

// Our engine, manager and SANE bridge against SANE's own test backend, in a
// private SANE configuration folder whose dll.conf names only that backend.
#include "raster/RasterTestSupport.h"
#include "twain/TwainFixture.h"

#include <csignal>
#include <dlfcn.h>
#include <fstream>

namespace test {

// The first device of the test backend, as the bridge names it.
constexpr const char* kTestDevice = "Noname frontend-tester (test:0)";

class SaneTest : public TwainTest {
protected:
  void SetUp() override {
    TwainTest::SetUp();
    // Kept loaded, the backend is named in leak reports, which tests/lsan.supp passes over.
    [[maybe_unused]] static void* const backend = dlopen(SANE_TEST_BACKEND, RTLD_NOW | RTLD_LOCAL);
    static const TempDir config; // one for the program: SANE reads its location once
    setenv("SANE_CONFIG_DIR", config.Path().c_str(), 1);
    std::ofstream(config.File("dll.conf")) << "test\n";
    Backend("");
    // The project's sources, and an options program only where a test writes one.
    setenv("TESSIVANE_TWAIN_SOURCES",
           (BinPath("twain_sources") + ":" + BinPath("sane_source")).c_str(), 1);
    setenv("TESSIVANE_SANE_OPTIONS", Dir.File("options.sh").c_str(), 1);
  }
  // The test backend's test.conf: two devices, an A4-sized area, a colour
  // picture, no faults (the backend stays loaded and keeps what an earlier
  // file set), then the lines given; read at the next opening.
  static void Backend(const std::string& lines) {
    std::ofstream(std::string(std::getenv("SANE_CONFIG_DIR")) + "/test.conf")
        << "number_of_devices 2\ngeometry_max 300.0\nbr_x 210.0\nbr_y 297.0\n"
        << "test-picture \"Color pattern\"\nread-delay false\nread-limit false\n"
        << "three-pass false\nhand-scanner false\nread-status-code \"Default\"\n"
        << lines << "\n";
  }
  // A component scanning with or without the source's window, pages as raw bitmaps.
  std::unique_ptr<TAcqTWAIN> Scanner(bool window = false) {
    auto twain = MakeTwain();
    twain->ShowUI = window;
    twain->SetDIBHandleType(THDT_DIBRAW);
    twain->SetReturnHandle(true);
    return twain;
  }
  // How scanimage's page looks with these options. It can hang on its way out, its page
  // written, when the backend cancels its reader thread holding the loader's lock:
  // it is stopped then, and libtiff refuses a page that is not whole.
  TiffLook ScanImage(std::vector<std::string> options) {
    const std::string path = Dir.File("scanimage.tif");
    options.insert(options.begin(), {"timeout", "-s", "KILL", "60", "scanimage", "-d", "test:0",
                                     "--format=tiff", "-o", path});
    const RunResult result = test::Run(options);
    EXPECT_TRUE(result.status == 0 || result.status == 128 + SIGKILL) << result.err;
    return ReadTiffLook(path);
  }
  // Sets a capability's current value through the engine; the return code.
  static uint16_t Set(TAcqTWAIN& twain, uint16_t cap, double value) {
    TTwnContainer* container = nullptr;
    const uint16_t got = twain.GetCapabilityMsg(cap, MSG_GET, container);
    if (got != TWRC_SUCCESS) return got;
    container->SetCurrentValue(value);
    return twain.SetCapabilityMsg(MSG_SET, -1, container);
  }
  static double Current(TAcqTWAIN& twain, uint16_t cap) {
    TTwnContainer* container = nullptr;
    if (twain.GetCapabilityMsg(cap, MSG_GETCURRENT, container) != TWRC_SUCCESS) return -1;
    return container->CurrentValue().AsFloat();
  }
  // How the i-th delivered page looks (the recorder keeps the block).
  std::vector<uint32_t> PageLooks(size_t i, TDIB& page) {
    page.SetOwnsHandle(false);
    page.AttachHandle(static_cast<TSV_HANDLE>(Events.Images.at(i).Handle));
    return Looks(page);
  }
};

} // namespace test
