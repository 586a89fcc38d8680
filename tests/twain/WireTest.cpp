// What the source receives when the application writes container values:
// the scanner's trace shows each set's container as it arrived.
#include "support/OpenSourceFixture.h"

namespace test {
namespace {

using WireTest = OpenSourceTest;

TEST_F(WireTest, EnumerationSendsTheChosenItem) {
  TTwnContainer* pixelType = nullptr;
  ASSERT_EQ(Twain->GetCapabilityMsg(ICAP_PIXELTYPE, MSG_GET, pixelType), TWRC_SUCCESS);
  ASSERT_EQ(pixelType->ContainerType(), TWON_ENUMERATION);
  ASSERT_EQ(pixelType->Count(), 3);
  pixelType->SetCurrentValue(int32_t{1});
  EXPECT_EQ(Twain->SetCapabilityMsg(MSG_SET, -1, pixelType), TWRC_SUCCESS);
  EXPECT_EQ(LastSet(ICAP_PIXELTYPE), "con=5 type=4 items=1");
  pixelType->SetCurrentValue(int32_t{2});
  EXPECT_EQ(pixelType->CurrentIndex(), 2);
  pixelType->SetCurrentValue(int32_t{5}); // not offered: ignored
  EXPECT_EQ(pixelType->CurrentIndex(), 2);
  EXPECT_EQ(Twain->SetCapabilityMsg(MSG_SET, -1, pixelType), TWRC_SUCCESS);
  EXPECT_EQ(LastSet(ICAP_PIXELTYPE), "con=5 type=4 items=2");
  // Index 0 sends the enumeration itself.
  EXPECT_EQ(Twain->SetCapabilityMsg(MSG_SET, 0, pixelType), TWRC_SUCCESS);
  EXPECT_EQ(LastSet(ICAP_PIXELTYPE), "con=4 type=4 items=0,1,2 cur=2 def=0");
  // The scanner took it: RGB is 24 bits.
  TTwnContainer* depth = nullptr;
  ASSERT_EQ(Twain->GetCapabilityMsg(ICAP_BITDEPTH, MSG_GETCURRENT, depth), TWRC_SUCCESS);
  EXPECT_EQ(depth->CurrentValue().AsInteger(), 24);
}

TEST_F(WireTest, RangeValuesAreClampedAndSnappedBeforeSending) {
  TTwnContainer* resolution = nullptr;
  ASSERT_EQ(Twain->GetCapabilityMsg(ICAP_XRESOLUTION, MSG_GET, resolution), TWRC_SUCCESS);
  ASSERT_EQ(resolution->ContainerType(), TWON_RANGE);
  EXPECT_DOUBLE_EQ(resolution->MinValue().AsFloat(), 50);
  EXPECT_DOUBLE_EQ(resolution->MaxValue().AsFloat(), 600);
  EXPECT_DOUBLE_EQ(resolution->StepSize().AsFloat(), 50);
  for (auto [written, sent] :
       {std::pair<double, const char*>{333, "350:0"}, {20, "50:0"}, {700, "600:0"}}) {
    resolution->SetCurrentValue(written);
    EXPECT_EQ(Twain->SetCapabilityMsg(MSG_SET, -1, resolution), TWRC_SUCCESS);
    EXPECT_EQ(LastSet(ICAP_XRESOLUTION), std::string("con=5 type=7 items=") + sent) << written;
  }
  EXPECT_EQ(Twain->SetCapabilityMsg(MSG_SET, 0, resolution), TWRC_SUCCESS);
  EXPECT_EQ(LastSet(ICAP_XRESOLUTION), "con=6 type=7 items=50:0,600:0,50:0,300:0,600:0");
}

TEST_F(WireTest, SmallTypesAndTextsAreNarrowedOnTheWire) {
  Twain->LenientOnCaps = true;
  TTwnContainer sheets;
  sheets.SetCapability(CAP_VIRTUAL_SHEETS);
  sheets.SetItemType(TWTY_INT32);
  sheets.SetCurrentValue(int32_t{-1});
  EXPECT_EQ(Twain->SetCapabilityMsg(MSG_SET, 0, &sheets),
            TWRC_FAILURE);                                         // the scanner refuses it...
  EXPECT_EQ(LastSet(CAP_VIRTUAL_SHEETS), "con=5 type=2 items=-1"); // ...as the 32-bit -1

  TTwnContainer count;
  count.SetCapability(CAP_XFERCOUNT);
  EXPECT_EQ(count.ItemType(), TWTY_INT16);
  count.SetCurrentValue(int32_t{-1});
  EXPECT_EQ(Twain->SetCapabilityMsg(MSG_SET, 0, &count), TWRC_SUCCESS);
  EXPECT_EQ(LastSet(CAP_XFERCOUNT), "con=5 type=1 items=-1");

  TTwnContainer halftone;
  halftone.SetCapability(ICAP_HALFTONES);
  EXPECT_EQ(halftone.ItemType(), TWTY_STR32);
  const std::string forty = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
  halftone.SetCurrentValue(forty);
  Twain->SetCapabilityMsg(MSG_SET, 0, &halftone);
  EXPECT_EQ(LastSet(ICAP_HALFTONES), "con=5 type=9 items=\"" + forty.substr(0, 33) + "\"(33)");

  TTwnContainer events;
  events.SetCapability(CAP_DEVICEEVENT);
  events.SetContainerType(TWON_ARRAY);
  for (int32_t event : {TWDE_IMAGECAPTURED, TWDE_PAPERJAM}) events.AddItem(event);
  EXPECT_EQ(Twain->SetCapabilityMsg(MSG_SET, -1, &events), TWRC_SUCCESS); // arrays always go whole
  EXPECT_EQ(LastSet(CAP_DEVICEEVENT), "con=3 type=4 items=10,13");
}

TEST_F(WireTest, FramesTravelAsFourFixedPointEdges) {
  TTwnContainer* frames = nullptr;
  ASSERT_EQ(Twain->GetCapabilityMsg(ICAP_FRAMES, MSG_GET, frames), TWRC_SUCCESS);
  ASSERT_EQ(frames->ItemType(), TWTY_FRAME);
  ASSERT_EQ(frames->Frames().size(), 1u);
  EXPECT_NEAR(frames->Frames()[0]->Right(), 8.2677, 0.0001);
  frames->Frames()[0]->SetLeft(0.5);
  frames->Frames()[0]->SetRight(4.25);
  frames->Frames()[0]->SetBottom(6);
  EXPECT_EQ(Twain->SetCapabilityMsg(MSG_SET, -1, frames), TWRC_SUCCESS);
  EXPECT_EQ(LastSet(ICAP_FRAMES), "con=5 type=8 items=0:32768/0:0/4:16384/6:0");

  TTwnImageLayout layout;
  layout.Left = 1;
  layout.Top = 1;
  layout.Right = 5.5;
  layout.Bottom = 7.25;
  EXPECT_EQ(Twain->SetImageLayout(layout), TWRC_SUCCESS);
  ASSERT_EQ(Twain->GetCapabilityMsg(ICAP_FRAMES, MSG_GETCURRENT, frames), TWRC_SUCCESS);
  ASSERT_EQ(frames->Frames().size(), 1u);
  EXPECT_DOUBLE_EQ(frames->Frames()[0]->Bottom(), 7.25);
  layout.Right = 9; // wider than the scanner
  EXPECT_EQ(Twain->SetImageLayout(layout), TWRC_FAILURE);
  EXPECT_DOUBLE_EQ(Twain->GetPhysicalWidth(), 8.5);
  EXPECT_DOUBLE_EQ(Twain->GetPhysicalHeight(), 14);
}

TEST_F(WireTest, QuerySupportAndUnitsChangeWhatIsReported) {
  // The scanner extends nothing until asked to.
  EXPECT_FALSE(Twain->IsCapExtended(ICAP_XRESOLUTION));
  EXPECT_TRUE(Twain->IsCapSupported(ICAP_XRESOLUTION));
  EXPECT_FALSE(Twain->IsCapSupported(ICAP_HALFTONES));
  TTwnContainer* container = nullptr;
  ASSERT_EQ(Twain->GetCapabilityMsg(ICAP_PHYSICALWIDTH, MSG_QUERYSUPPORT, container), TWRC_SUCCESS);
  EXPECT_EQ(container->QuerySupport, TWQC_GET | TWQC_GETCURRENT | TWQC_GETDEFAULT);
  TTwnContainer* units = nullptr;
  ASSERT_EQ(Twain->GetCapabilityMsg(ICAP_UNITS, MSG_GET, units), TWRC_SUCCESS);
  units->SetCurrentValue(int32_t{TWUN_CENTIMETERS});
  ASSERT_EQ(Twain->SetCapabilityMsg(MSG_SET, -1, units), TWRC_SUCCESS);
  EXPECT_NEAR(Twain->GetPhysicalWidth(), 21.59, 0.0001);
  TTwnContainer* sheets = nullptr;
  ASSERT_EQ(Twain->GetCapabilityMsg(CAP_VIRTUAL_SHEETS, MSG_GET, sheets), TWRC_SUCCESS);
  EXPECT_EQ(sheets->ContainerType(), TWON_RANGE);
  EXPECT_EQ(sheets->CurrentValue().AsInteger(), 3);
  EXPECT_EQ(sheets->MaxValue().AsInteger(), 10000);
}

} // namespace
} // namespace test
