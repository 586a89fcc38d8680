// A SANE source's name and capabilities: what the test device offers, a
// profile's settings read back from its options, what it cannot do refused.
#include "SaneFixture.h"
#include "sources/sane/SaneIdentity.h"

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
  // What it lacks, asked for all the same, is refused.
  for (uint16_t capability : {CAP_DUPLEXENABLED, ICAP_BRIGHTNESS, ICAP_CONTRAST, ICAP_FRAMES}) {
    TW_CAPABILITY cap{capability, TWON_DONTCARE16, nullptr};
    EXPECT_EQ(Twain->Triplet(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap, sizeof cap), TWRC_FAILURE);
    EXPECT_EQ(TakeCondition(), TWCC_CAPUNSUPPORTED) << capability;
  }
  EXPECT_EQ(Set(*Twain, ICAP_PHYSICALWIDTH, 5), TWRC_FAILURE); // read-only
  EXPECT_EQ(TakeCondition(), TWCC_CAPBADOPERATION);
}

TEST_F(SaneNegotiationTest, AProfilesSettingsAreReadBackFromTheDevice) {
  const std::pair<uint16_t, double> profile[] = {{ICAP_PIXELTYPE, TWPT_RGB},
                                                 {ICAP_XRESOLUTION, 150},
                                                 {ICAP_YRESOLUTION, 150},
                                                 {ICAP_SUPPORTEDSIZES, TWSS_A6},
                                                 {CAP_FEEDERENABLED, 1}};
  for (auto [cap, value] : profile) EXPECT_EQ(Set(*Twain, cap, value), TWRC_SUCCESS) << cap;
  for (auto [cap, value] : profile) EXPECT_EQ(Current(*Twain, cap), value) << cap;
  EXPECT_EQ(Set(*Twain, ICAP_UNITS, TWUN_MILLIMETERS), TWRC_SUCCESS);
  EXPECT_NEAR(Current(*Twain, ICAP_XRESOLUTION), 150 / 25.4, 0.001);
}

TEST(SaneIdentityTest, NamesStayTheSameAndFitTheirField) {
  const std::vector<TSaneDeviceInfo> devices = {
      {"test:0", "Noname", "frontend-tester", "virtual device"},
      // Plugged in again, a USB scanner gets a new address but keeps its name.
      {"genesys:libusb:001:004", "Canoscan", "LiDE 110", "flatbed scanner"},
      {"genesys:libusb:003:017", "Canoscan", "LiDE 110", "flatbed scanner"},
      {"airscan:e0:Office printer on the second floor", "Airscan", "Office", "eSCL"},
  };
  // The second of its kind gives way to fit 32 characters; a long key is hashed.
  const std::vector<std::string> names = {
      "Noname frontend-tester (test:0)", "Canoscan LiDE 110 (genesys:usb)",
      "Canoscan LiDE 11 2 (genesys:usb)", "Airscan Office (#f7d51c21)"};
  EXPECT_EQ(ProductNames(devices), names);
  // The same device gets the same name whatever else is attached.
  EXPECT_EQ(ProductNames({devices[3]}), std::vector<std::string>{names[3]});
}

} // namespace
} // namespace test
