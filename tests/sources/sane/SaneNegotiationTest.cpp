// Capabilities of a SANE source: what the test device offers, a profile's
// settings read back from its options, and what it cannot do refused.
#include "SaneFixture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>

namespace test {
namespace {

class SaneNegotiationTest : public SaneTest {
protected:
  void SetUp() override {
    SaneTest::SetUp();
    Twain = MakeTwain();
    ASSERT_TRUE(Twain->OpenSourceMgr() && Twain->OpenSource(kTestDevice));
  }
  void TearDown() override {
    Twain->CloseSource();
    Twain->CloseSourceMgr();
    Twain.reset();
    SaneTest::TearDown();
  }
  std::unique_ptr<TAcqTWAIN> Twain;
};

TEST_F(SaneNegotiationTest, SupportedCapsAreExactlyWhatTheTestDeviceCanDo) {
  TTwnContainer* container = nullptr;
  ASSERT_EQ(Twain->GetCapabilityMsg(CAP_SUPPORTEDCAPS, MSG_GET, container), TWRC_SUCCESS);
  std::vector<int> caps;
  for (int i = 0; i < container->Count(); ++i) caps.push_back(container->Item(i).AsInteger());
  std::sort(caps.begin(), caps.end());
  // No duplex feeder, no brightness or contrast options on this device.
  std::vector<int> expected = {
      CAP_XFERCOUNT,       ICAP_IMAGEFILEFORMAT, ICAP_XFERMECH,      ICAP_UNITS,
      ICAP_COMPRESSION,    ICAP_PIXELFLAVOR,     CAP_INDICATORS,     CAP_UICONTROLLABLE,
      CAP_DEVICEONLINE,    CAP_SUPPORTEDCAPS,    ICAP_PIXELTYPE,     ICAP_BITDEPTH,
      ICAP_XRESOLUTION,    ICAP_YRESOLUTION,     ICAP_PHYSICALWIDTH, ICAP_PHYSICALHEIGHT,
      ICAP_SUPPORTEDSIZES, CAP_FEEDERENABLED,    CAP_FEEDERLOADED};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(caps, expected);
}

TEST_F(SaneNegotiationTest, WhatTheDeviceCannotDoIsRefused) {
  // Not in CAP_SUPPORTEDCAPS: the engine knows without asking, and the
  // source, asked all the same, says so.
  for (uint16_t capability : {CAP_DUPLEXENABLED, ICAP_BRIGHTNESS, ICAP_CONTRAST, ICAP_FRAMES}) {
    Events.Failures.clear();
    TTwnContainer* container = nullptr;
    EXPECT_EQ(Twain->GetCapabilityMsg(capability, MSG_GET, container), 0xFFFF) << capability;
    TW_CAPABILITY cap{capability, TWON_DONTCARE16, nullptr};
    EXPECT_EQ(Twain->Triplet(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap, sizeof cap), TWRC_FAILURE);
    ASSERT_TRUE(WaitFor([&] { return !Events.Failures.empty(); })) << capability;
    EXPECT_EQ(Events.Failures[0].CAP, capability);
    EXPECT_EQ(Events.Failures[0].Status, TWCC_CAPUNSUPPORTED);
  }
  // Read-only.
  Events.Failures.clear();
  TTwnContainer* container = nullptr;
  ASSERT_EQ(Twain->GetCapabilityMsg(ICAP_PHYSICALWIDTH, MSG_GET, container), TWRC_SUCCESS);
  container->SetCurrentValue(5);
  EXPECT_EQ(Twain->SetCapabilityMsg(MSG_SET, -1, container), TWRC_FAILURE);
  ASSERT_TRUE(WaitFor([&] { return !Events.Failures.empty(); }));
  EXPECT_EQ(Events.Failures[0].Status, TWCC_CAPBADOPERATION);
}

TEST_F(SaneNegotiationTest, ABitDepthTheModeLacksIsRefused) {
  ASSERT_EQ(Set(*Twain, ICAP_PIXELTYPE, TWPT_GRAY), TWRC_SUCCESS);
  TTwnContainer* container = nullptr;
  ASSERT_EQ(Twain->GetCapabilityMsg(ICAP_BITDEPTH, MSG_GET, container), TWRC_SUCCESS);
  std::vector<int> depths;
  for (int i = 0; i < container->Count(); ++i) depths.push_back(container->Item(i).AsInteger());
  EXPECT_EQ(depths, (std::vector<int>{8, 16}));
  container->SetItem(0, 4);
  container->SetCurrentValue(4);
  EXPECT_EQ(Twain->SetCapabilityMsg(MSG_SET, -1, container), TWRC_FAILURE);
  ASSERT_TRUE(WaitFor([&] { return !Events.Failures.empty(); }));
  EXPECT_EQ(Events.Failures.back().Status, TWCC_BADVALUE);
  EXPECT_EQ(Current(*Twain, ICAP_BITDEPTH), 8);
}

TEST_F(SaneNegotiationTest, AProfilesSettingsAreReadBackFromTheDevice) {
  EXPECT_EQ(Set(*Twain, ICAP_PIXELTYPE, TWPT_RGB), TWRC_SUCCESS);
  EXPECT_EQ(Set(*Twain, ICAP_XRESOLUTION, 150), TWRC_SUCCESS);
  EXPECT_EQ(Set(*Twain, ICAP_SUPPORTEDSIZES, TWSS_A6), TWRC_SUCCESS);
  EXPECT_EQ(Set(*Twain, CAP_FEEDERENABLED, 1), TWRC_SUCCESS);
  EXPECT_EQ(Current(*Twain, ICAP_PIXELTYPE), TWPT_RGB);
  EXPECT_EQ(Current(*Twain, ICAP_BITDEPTH), 24);
  EXPECT_EQ(Current(*Twain, ICAP_XRESOLUTION), 150);
  EXPECT_EQ(Current(*Twain, ICAP_SUPPORTEDSIZES), TWSS_A6);
  EXPECT_EQ(Current(*Twain, CAP_FEEDERENABLED), 1);
  EXPECT_EQ(Current(*Twain, CAP_FEEDERLOADED), 1);
  // The A6 frame, in millimetres once the units say so.
  EXPECT_EQ(Set(*Twain, ICAP_UNITS, TWUN_MILLIMETERS), TWRC_SUCCESS);
  EXPECT_NEAR(Current(*Twain, ICAP_PHYSICALWIDTH), 300, 0.01);
  EXPECT_NEAR(Current(*Twain, ICAP_XRESOLUTION), 150 / 25.4, 0.001);
  TW_IMAGELAYOUT layout{};
  ASSERT_EQ(Twain->Triplet(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout, sizeof layout),
            TWRC_SUCCESS);
  EXPECT_NEAR(layout.Frame.Right.Whole + layout.Frame.Right.Frac / 65536.0, 105, 0.01);
  EXPECT_NEAR(layout.Frame.Bottom.Whole + layout.Frame.Bottom.Frac / 65536.0, 148, 0.01);
  // A reset gives back the device's setting at opening.
  TTwnContainer* container = nullptr;
  ASSERT_EQ(Twain->GetCapabilityMsg(ICAP_PIXELTYPE, MSG_RESET, container), TWRC_SUCCESS);
  EXPECT_EQ(Current(*Twain, ICAP_PIXELTYPE), TWPT_GRAY);
}

TEST_F(SaneTest, TheCommandLineListsTheDevicesAfterTheVirtualScanner) {
  // Installed, sane.ds comes before virtual.ds in the sources folder.
  setenv("TESSIVANE_TWAIN_SOURCES",
         (BinPath("sane_source") + ":" + BinPath("twain_sources")).c_str(), 1);
  // The program does not keep the test backend loaded as this one does, so
  // the leak checker could not tell the backend's own leaks from ours there.
  const char* sanitizer = std::getenv("ASAN_OPTIONS");
  const std::string saved = sanitizer != nullptr ? sanitizer : "";
  setenv("ASAN_OPTIONS", (saved + ":detect_leaks=0").c_str(), 1);
  const RunResult listed = test::Run({BinPath("tessivane-cli"), "sources"});
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(listed.out, "Virtual Scanner\nNoname frontend-tester (test:0)\n"
                        "Noname frontend-tester (test:1)\n");
  // No backend configured: no SANE sources, and the virtual scanner stays the default.
  TempDir empty;
  setenv("SANE_CONFIG_DIR", empty.Path().c_str(), 1);
  const RunResult none = test::Run({BinPath("tessivane-cli"), "sources"});
  setenv("SANE_CONFIG_DIR", ConfigDir().c_str(), 1);
  setenv("ASAN_OPTIONS", saved.c_str(), 1);
  EXPECT_EQ(none.out, "Virtual Scanner\n");
}

} // namespace
} // namespace test
