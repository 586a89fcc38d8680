#pragma once

// Our engine, manager and SANE bridge against SANE's own test backend, in a
// private SANE configuration folder whose dll.conf names only that backend.
#include "raster/RasterTestSupport.h"
#include "twain/TwainFixture.h"

namespace test {

// The first device of the test backend, as the bridge names it.
constexpr const char* kTestDevice = "Noname frontend-tester (test:0)";

class SaneTest : public TwainTest {
protected:
  void SetUp() override;
  // Writes the test backend's test.conf: two devices, an A4-sized area, a
  // colour picture, no faults, then the lines given (read at the next opening).
  static void Backend(const std::string& lines);
  // A component scanning without the source's window, pages as raw bitmaps.
  std::unique_ptr<TAcqTWAIN> Scanner();
  // How scanimage's page from the first test device looks with these options.
  TiffLook ScanImage(std::vector<std::string> options);
  // Sets a capability's current value through the engine; the return code.
  static uint16_t Set(TAcqTWAIN& twain, uint16_t cap, double value);
  static double Current(TAcqTWAIN& twain, uint16_t cap);
  // The page of a delivered handle (the recorder keeps the block).
  static void View(TDIB& page, TW_HANDLE handle);
};

} // namespace test
