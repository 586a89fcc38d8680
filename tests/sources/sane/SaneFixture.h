#pragma once

// Our engine, manager and SANE bridge against SANE's own test backend, in a
// private SANE configuration folder whose dll.conf names only that backend.
#include "twain/AcqTWAIN.h"
#include "twain/TwainFixture.h"

#include "raster/DIB.h"

#include <string>
#include <vector>

namespace test {

// The first device of the test backend, as the bridge names it.
constexpr const char* kTestDevice = "Noname frontend-tester (test:0)";

// A page of a PNM file as scanimage writes it.
struct TPnmImage {
  int Width = 0, Height = 0, MaxValue = 0;
  char Kind = 0; // '4' bilevel (1 = black), '5' grey, '6' colour
  std::vector<uint8_t> Data;
  // The sample as our pages hold it: bilevel 0 black / 1 white, 16-bit
  // samples by their high byte, colour red in bits 0-7.
  int Pixel(int x, int y) const;
};
TPnmImage ReadPnm(const std::string& bytes);

class SaneTest : public TwainTest {
protected:
  void SetUp() override;
  // Writes the test backend's test.conf: two devices, an A4-sized area,
  // then the lines given (read at the next opening).
  void Backend(const std::string& lines);
  // scanimage's page from the first test device with these options.
  TPnmImage ScanImage(const std::vector<std::string>& options);
  // Sets a capability to a value through the engine; the return code.
  static uint16_t Set(TAcqTWAIN& twain, uint16_t cap, double value);
  static double Current(TAcqTWAIN& twain, uint16_t cap);
  // The page of a delivered handle (the recorder keeps the block).
  static void View(TDIB& page, TW_HANDLE handle);
  // The configuration folder, one for the whole test program: SANE reads
  // its location once.
  static const std::string& ConfigDir();
};

} // namespace test
