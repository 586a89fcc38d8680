#include "SaneFixture.h"

#include <csignal>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>

namespace test {

void SaneTest::SetUp() {
  TwainTest::SetUp();
  // Kept loaded for the whole program, the test backend is named in the leak
  // checker's report of what it leaks itself, which tests/lsan.supp passes over.
  static void* const backend = dlopen(SANE_TEST_BACKEND, RTLD_NOW | RTLD_LOCAL);
  (void)backend;
  static const TempDir config; // one for the program: SANE reads its location once
  setenv("SANE_CONFIG_DIR", config.Path().c_str(), 1);
  std::ofstream(config.File("dll.conf")) << "test\n";
  Backend("");
  // The project's sources, and an options program only where a test writes one.
  setenv("TESSIVANE_TWAIN_SOURCES",
         (BinPath("twain_sources") + ":" + BinPath("sane_source")).c_str(), 1);
  setenv("TESSIVANE_SANE_OPTIONS", Dir.File("options.sh").c_str(), 1);
}

void SaneTest::Backend(const std::string& lines) {
  std::ofstream(std::string(std::getenv("SANE_CONFIG_DIR")) + "/test.conf")
      << "number_of_devices 2\ngeometry_max 300.0\nbr_x 210.0\nbr_y 297.0\n"
      << "test-picture \"Color pattern\"\n"
      // The backend stays loaded and keeps what an earlier file set.
      << "read-delay false\nread-limit false\nthree-pass false\nhand-scanner false\n"
      << "read-status-code \"Default\"\n"
      << lines << "\n";
}

std::unique_ptr<TAcqTWAIN> SaneTest::Scanner() {
  auto twain = MakeTwain();
  twain->ShowUI = false;
  twain->SetDIBHandleType(THDT_DIBRAW);
  return twain;
}

TiffLook SaneTest::ScanImage(std::vector<std::string> options) {
  // scanimage can hang on its way out, its page written, when the test backend
  // cancels its reader thread while that holds the loader's lock: it is stopped
  // then, and libtiff refuses a page that is not whole.
  const std::string path = Dir.File("scanimage.tif");
  options.insert(options.begin(), {"timeout", "-s", "KILL", "60", "scanimage", "-d", "test:0",
                                   "--format=tiff", "-o", path});
  const RunResult result = test::Run(options);
  EXPECT_TRUE(result.status == 0 || result.status == 128 + SIGKILL) << result.err;
  return ReadTiffLook(path);
}

uint16_t SaneTest::Set(TAcqTWAIN& twain, uint16_t cap, double value) {
  TTwnContainer* container = nullptr;
  const uint16_t got = twain.GetCapabilityMsg(cap, MSG_GET, container);
  if (got != TWRC_SUCCESS) return got;
  container->SetCurrentValue(value);
  return twain.SetCapabilityMsg(MSG_SET, -1, container);
}

double SaneTest::Current(TAcqTWAIN& twain, uint16_t cap) {
  TTwnContainer* container = nullptr;
  if (twain.GetCapabilityMsg(cap, MSG_GETCURRENT, container) != TWRC_SUCCESS) return -1;
  return container->CurrentValue().AsFloat();
}

void SaneTest::View(TDIB& page, TW_HANDLE handle) {
  page.SetOwnsHandle(false);
  page.AttachHandle(static_cast<TSV_HANDLE>(handle));
}

} // namespace test
