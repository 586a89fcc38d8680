// Capabilities of a SANE source: what the test device offers, a profile's
// settings read back from its options, and what it cannot do refused.
#include "SaneFixture.h"

#include <set>

namespace test {
namespace {

class SaneNegotiationTest : public SaneTest {
protected:
  void SetUp() override {
    SaneTest::SetUp();
    ASSERT_TRUE(Twain->OpenSourceMgr() && Twain->OpenSource(kTestDevice));
  }
  void TearDown() override {
    EXPECT_TRUE(Twain->CloseSource() && Twain->CloseSourceMgr());
    SaneTest::TearDown();
  }
  // The condition of the failure the source reported.
  int TakeCondition() {
    if (!WaitFor([&] { return !Events.Failures.empty(); })) return -1;
    const int condition = Events.Failures.back().Status;
    Events.Failures.clear();
    return condition;
  }
  std::unique_ptr<TAcqTWAIN> Twain = MakeTwain();
};

TEST_F(SaneNegotiationTest, TheDeviceOffersWhatItCanDoAndRefusesTheRest) {
  TTwnContainer* container = nullptr;
  ASSERT_EQ(Twain->GetCapabilityMsg(CAP_SUPPORTEDCAPS, MSG_GET, container), TWRC_SUCCESS);
  std::multiset<int> caps;
  for (int i = 0; i < container->Count(); ++i) caps.insert(container->Item(i).AsInteger());
  // No duplex feeder, no brightness or contrast options on this device.
  EXPECT_EQ(caps, (std::multiset<int>{
                      CAP_XFERCOUNT, ICAP_IMAGEFILEFORMAT, ICAP_XFERMECH, ICAP_UNITS,
                      ICAP_COMPRESSION, ICAP_PIXELFLAVOR, CAP_INDICATORS, CAP_UICONTROLLABLE,
                      CAP_DEVICEONLINE, CAP_SUPPORTEDCAPS, ICAP_PIXELTYPE, ICAP_BITDEPTH,
                      ICAP_XRESOLUTION, ICAP_YRESOLUTION, ICAP_PHYSICALWIDTH, ICAP_PHYSICALHEIGHT,
                      ICAP_SUPPORTEDSIZES, CAP_FEEDERENABLED, CAP_FEEDERLOADED}));
  // The engine knows without asking; the source, asked all the same, says so.
  for (uint16_t capability : {CAP_DUPLEXENABLED, ICAP_BRIGHTNESS, ICAP_CONTRAST, ICAP_FRAMES}) {
    EXPECT_EQ(Twain->GetCapabilityMsg(capability, MSG_GET, container), 0xFFFF) << capability;
    TW_CAPABILITY cap{capability, TWON_DONTCARE16, nullptr};
    EXPECT_EQ(Twain->Triplet(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap, sizeof cap), TWRC_FAILURE);
    EXPECT_EQ(TakeCondition(), TWCC_CAPUNSUPPORTED) << capability;
  }
  EXPECT_EQ(Set(*Twain, ICAP_PHYSICALWIDTH, 5), TWRC_FAILURE); // read-only
  EXPECT_EQ(TakeCondition(), TWCC_CAPBADOPERATION);
  // Grey offers 8 and 16 bits: a 4 is refused and the depth stays.
  ASSERT_EQ(Twain->GetCapabilityMsg(ICAP_BITDEPTH, MSG_GET, container), TWRC_SUCCESS);
  container->SetItem(0, 4);
  container->SetCurrentValue(4);
  EXPECT_EQ(Twain->SetCapabilityMsg(MSG_SET, -1, container), TWRC_FAILURE);
  EXPECT_EQ(TakeCondition(), TWCC_BADVALUE);
  EXPECT_EQ(Current(*Twain, ICAP_BITDEPTH), 8);
}

TEST_F(SaneNegotiationTest, AProfilesSettingsAreReadBackFromTheDevice) {
  const std::pair<uint16_t, double> profile[] = {{ICAP_PIXELTYPE, TWPT_RGB},
                                                 {ICAP_XRESOLUTION, 150},
                                                 {ICAP_YRESOLUTION, 150},
                                                 {ICAP_SUPPORTEDSIZES, TWSS_A6},
                                                 {CAP_FEEDERENABLED, 1}};
  for (auto [cap, value] : profile) EXPECT_EQ(Set(*Twain, cap, value), TWRC_SUCCESS) << cap;
  for (auto [cap, value] : profile) EXPECT_EQ(Current(*Twain, cap), value) << cap;
  // The colour mode brings its depth, the feeder its sheets.
  EXPECT_EQ(Current(*Twain, ICAP_BITDEPTH), 24);
  EXPECT_EQ(Current(*Twain, CAP_FEEDERLOADED), 1);
  // In millimetres once the units say so.
  EXPECT_EQ(Set(*Twain, ICAP_UNITS, TWUN_MILLIMETERS), TWRC_SUCCESS);
  EXPECT_NEAR(Current(*Twain, ICAP_PHYSICALWIDTH), 300, 0.01);
  EXPECT_NEAR(Current(*Twain, ICAP_XRESOLUTION), 150 / 25.4, 0.001);
}

TEST_F(SaneTest, WithoutDevicesOnlyTheVirtualScannerIsListed) {
  TempDir empty; // in a program of its own: SANE reads its configuration folder once
  const RunResult listed =
      test::Run({"env", "SANE_CONFIG_DIR=" + empty.Path(), BinPath("tessivane-cli"), "sources"});
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(listed.out, "Virtual Scanner\n");
}

} // namespace
} // namespace test
