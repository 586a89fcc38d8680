#pragma once

// The virtual scanner's source, open during each test (with TwainFixture.cpp).
#include "../twain/TwainFixture.h"

namespace test {

class OpenSourceTest : public TwainTest {
protected:
  void SetUp() override {
    TwainTest::SetUp();
    Twain = MakeTwain();
    ASSERT_TRUE(Twain->OpenSourceMgr() && Twain->OpenSource(""));
  }
  void TearDown() override {
    Twain->CloseSource();
    Twain->CloseSourceMgr();
    Twain.reset();
    TwainTest::TearDown();
  }
  // The trace line of the last set of a capability, after "cap=N ".
  std::string LastSet(uint16_t capability) const {
    const std::string start = "1 1 6 cap=" + std::to_string(capability) + " ";
    std::string found;
    for (const std::string& line : Trace())
      if (line.starts_with(start)) found = line.substr(start.size());
    return found;
  }
  std::unique_ptr<TAcqTWAIN> Twain;
};

} // namespace test
