#include "SaneFixture.h"

#include <csignal>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <sstream>

namespace test {

int TPnmImage::Pixel(int x, int y) const {
  switch (Kind) {
  case '4': {
    const size_t row = (static_cast<size_t>(Width) + 7) / 8;
    const uint8_t byte = Data[static_cast<size_t>(y) * row + static_cast<size_t>(x) / 8];
    return (byte >> (7 - x % 8)) & 1 ? 0 : 1;
  }
  case '5': {
    const size_t i = static_cast<size_t>(y) * Width + x;
    return MaxValue > 255 ? Data[2 * i] : Data[i]; // 16-bit PNM samples are big-endian
  }
  default: {
    const size_t bytes = MaxValue > 255 ? 2 : 1;
    const size_t i = (static_cast<size_t>(y) * Width + x) * 3 * bytes;
    return Data[i] | Data[i + bytes] << 8 | Data[i + 2 * bytes] << 16;
  }
  }
}

TPnmImage ReadPnm(const std::string& bytes) {
  TPnmImage image;
  std::istringstream in(bytes);
  std::string magic;
  in >> magic;
  image.Kind = magic.size() == 2 ? magic[1] : 0;
  auto number = [&] {
    // Comments run to the end of their line.
    while (in >> std::ws && in.peek() == '#') in.ignore(1 << 20, '\n');
    int value = 0;
    in >> value;
    return value;
  };
  image.Width = number();
  image.Height = number();
  image.MaxValue = image.Kind == '4' ? 1 : number();
  in.get(); // the one white-space byte before the samples
  image.Data.assign(std::istreambuf_iterator<char>(in), {});
  return image;
}

const std::string& SaneTest::ConfigDir() {
  static TempDir folder;
  return folder.Path();
}

void SaneTest::SetUp() {
  TwainTest::SetUp();
  // The test backend stays loaded for the whole program, so that what it
  // leaks itself (a read buffer of a cancelled scan, copies of its device
  // names) is named after it when the leak checker reports at exit, and
  // tests/lsan.supp can pass over it.
  static void* const backend = dlopen(SANE_TEST_BACKEND, RTLD_NOW | RTLD_LOCAL);
  (void)backend;
  setenv("SANE_CONFIG_DIR", ConfigDir().c_str(), 1);
  std::ofstream(ConfigDir() + "/dll.conf") << "test\n";
  Backend("");
  // The project's sources: the virtual scanner, then the bridge.
  setenv("TESSIVANE_TWAIN_SOURCES",
         (BinPath("twain_sources") + ":" + BinPath("sane_source")).c_str(), 1);
  // An options program only where a test writes one.
  setenv("TESSIVANE_SANE_OPTIONS", Dir.File("options.sh").c_str(), 1);
}

void SaneTest::Backend(const std::string& lines) {
  std::ofstream(ConfigDir() + "/test.conf")
      << "number_of_devices 2\ngeometry_max 300.0\nbr_x 210.0\nbr_y 297.0\n"
      << "test-picture \"Color pattern\"\n"
      // The backend stays loaded and keeps what an earlier file set.
      << "read-delay false\nread-limit false\nthree-pass false\nhand-scanner false\n"
      << "read-status-code \"Default\"\nppl-loss 0\nfuzzy-parameters false\n"
      << "invert-endianess false\nnon-blocking false\nselect-fd false\n"
      << lines << "\n";
}

TPnmImage SaneTest::ScanImage(const std::vector<std::string>& options) {
  // scanimage can hang on its way out, its page written, when the backend
  // cancels its reader thread holding the loader's lock: it is stopped then,
  // and a page that is not whole fails to read.
  std::vector<std::string> command = {"timeout",   "-s", "KILL",   "60",
                                      "scanimage", "-d", "test:0", "--format=pnm"};
  command.insert(command.end(), options.begin(), options.end());
  const RunResult result = test::Run(command);
  EXPECT_TRUE(result.status == 0 || result.status == 128 + SIGKILL) << result.err;
  TPnmImage image = ReadPnm(result.out);
  const size_t samples = image.Kind == '4'   ? size_t(image.Width + 7) / 8
                         : image.Kind == '6' ? size_t(image.Width) * 3
                                             : size_t(image.Width);
  const size_t bytes = samples * size_t(image.Height) * (image.MaxValue > 255 ? 2 : 1);
  if (image.Data.size() < bytes) {
    ADD_FAILURE() << "scanimage's page is not whole";
    image = TPnmImage{};
  }
  return image;
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
