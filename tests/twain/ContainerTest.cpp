// Capability containers in their internal form, and the wire form the
// standard defines on Linux (records packed on 2-byte boundaries).
#include "twain/Container.h"
#include "twain/Fix32.h"
#include "twain/ItemTypes.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

template <typename T> std::vector<uint8_t> Bytes(const T& record, size_t extra = 0) {
  std::vector<uint8_t> bytes(sizeof record + extra, 0);
  std::memcpy(bytes.data(), &record, sizeof record);
  return bytes;
}

// An enumeration of 16-bit items as a source sends it.
std::vector<uint8_t> WireEnumeration(uint16_t itemType, std::initializer_list<uint16_t> items,
                                     uint32_t current) {
  std::vector<uint8_t> wire(offsetof(TW_ENUMERATION, ItemList) + 2 * items.size(), 0);
  TW_ENUMERATION header{};
  header.ItemType = itemType;
  header.NumItems = static_cast<TW_UINT32>(items.size());
  header.CurrentIndex = current;
  std::memcpy(wire.data(), &header, offsetof(TW_ENUMERATION, ItemList));
  size_t at = offsetof(TW_ENUMERATION, ItemList);
  for (uint16_t item : items) {
    std::memcpy(wire.data() + at, &item, 2);
    at += 2;
  }
  return wire;
}

std::vector<uint8_t> WireRange(uint16_t itemType, uint32_t low, uint32_t high, uint32_t step,
                               uint32_t current) {
  TW_RANGE range{};
  range.ItemType = itemType;
  range.MinValue = low;
  range.MaxValue = high;
  range.StepSize = step;
  range.DefaultValue = low;
  range.CurrentValue = current;
  return Bytes(range);
}

std::vector<uint8_t> WireOneValue(uint16_t itemType, uint32_t item) {
  TW_ONEVALUE value{};
  value.ItemType = itemType;
  value.Item = item;
  return Bytes(value);
}

void Load(TTwnContainer& container, uint16_t capability, uint16_t conType,
          const std::vector<uint8_t>& wire) {
  container.LoadFromTwain(capability, conType, UnpackContainer(conType, wire.data(), wire.size()));
}

// What a set of the container would send.
std::vector<uint8_t> Sent(TTwnContainer& container, int index, uint16_t& conType) {
  const std::vector<uint8_t>* buffer = container.BufferForSending(index, conType);
  EXPECT_NE(buffer, nullptr);
  return PackContainer(conType, *buffer);
}

uint32_t Fix(double value) {
  return FloatToFix32Bits(value);
}

TEST(Fix32Test, ConversionsBothWays) {
  EXPECT_EQ(FloatToFix32(300).Whole, 300);
  EXPECT_EQ(FloatToFix32(300).Frac, 0);
  EXPECT_EQ(FloatToFix32(0.5).Whole, 0);
  EXPECT_EQ(FloatToFix32(0.5).Frac, 32768);
  EXPECT_EQ(FloatToFix32(-0.25).Whole, -1);
  EXPECT_EQ(FloatToFix32(-0.25).Frac, 49152);
  // Halves of the last unit go to the even neighbour.
  EXPECT_EQ(FloatToFix32(0.5 / 65536).Frac, 0);
  EXPECT_EQ(FloatToFix32(1.5 / 65536).Frac, 2);
  EXPECT_DOUBLE_EQ(Fix32ToFloat(TW_FIX32{1, 32768}), 1.5);
  EXPECT_DOUBLE_EQ(Fix32ToFloat(FloatToFix32(0.25)), 0.25);
  EXPECT_DOUBLE_EQ(Fix32ToFloat(TW_FIX32{7, 1}), 7.0);
  EXPECT_DOUBLE_EQ(Fix32ToFloat(TW_FIX32{-1, 49152}), -0.25);
  EXPECT_DOUBLE_EQ(Fix32BitsToFloat(Fix(8.2677)), 8.2677);
}

TEST(VariantTest, ConversionsAndOrder) {
  EXPECT_EQ(TTwnVariant(2.5).AsInteger(), 2);
  EXPECT_EQ(TTwnVariant(3.5).AsInteger(), 4);
  EXPECT_EQ(TTwnVariant(" 12 ").AsInteger(), 12);
  EXPECT_TRUE(TTwnVariant("TRUE").AsBoolean());
  EXPECT_FALSE(TTwnVariant(int32_t{0}).AsBoolean());
  EXPECT_EQ(TTwnVariant(true).AsInteger(), 1);
  EXPECT_THROW(TTwnVariant("abc").AsInteger(), EVariantError);
  EXPECT_THROW(TTwnVariant(1e12).AsInteger(), EVariantError);
  EXPECT_EQ(TTwnVariant(int32_t{2}), TTwnVariant(2.0));
  EXPECT_EQ(TTwnVariant("2"), TTwnVariant(int32_t{2}));
  EXPECT_LT(TTwnVariant(int32_t{9}), TTwnVariant(int32_t{10}));
  EXPECT_LT(TTwnVariant("10"), TTwnVariant("9")); // texts as text
  EXPECT_EQ(TTwnVariant(0.75).AsString(), "0.75");
}

TEST(ItemTypesTest, SizesAndDefaultTypes) {
  EXPECT_EQ(ItemWireSize(TWTY_BOOL), 2);
  EXPECT_EQ(ItemWireSize(TWTY_FRAME), 16);
  EXPECT_EQ(ItemWireSize(TWTY_STR255), 256);
  EXPECT_EQ(ItemSlotSize(TWTY_INT8), 4);
  EXPECT_EQ(ItemSlotSize(TWTY_STR32), 34);
  EXPECT_EQ(ItemWireSize(TWTY_HANDLE), 0);
  EXPECT_EQ(DefaultItemType(CAP_XFERCOUNT), TWTY_INT16);
  EXPECT_EQ(DefaultItemType(ICAP_XFERMECH), TWTY_UINT16);
  EXPECT_EQ(DefaultItemType(CAP_SUPPORTEDCAPS), TWTY_UINT16);
  EXPECT_EQ(DefaultItemType(CAP_INDICATORS), TWTY_BOOL);
  EXPECT_EQ(DefaultItemType(CAP_DEVICEEVENT), TWTY_UINT16);
  EXPECT_EQ(DefaultItemType(ICAP_IMAGEFILEFORMAT), TWTY_UINT16);
  EXPECT_EQ(DefaultItemType(ICAP_FRAMES), TWTY_FRAME);
  EXPECT_EQ(DefaultItemType(ICAP_XRESOLUTION), TWTY_FIX32);
  EXPECT_EQ(DefaultItemType(CAP_AUTHOR), TWTY_STR128);
  EXPECT_EQ(DefaultItemType(0x880A), TWTY_UINT16);
  EXPECT_EQ(DefaultItemType(0x8853), TWTY_UINT16);
  EXPECT_EQ(DefaultItemType(0x8854), TWTY_NONE);
  EXPECT_EQ(DefaultItemType(0x7777), TWTY_NONE);
}

TEST(ContainerTest, FreshContainer) {
  TTwnContainer container;
  EXPECT_EQ(container.Capability(), 0);
  EXPECT_EQ(container.ContainerType(), TWON_ONEVALUE);
  EXPECT_EQ(container.ItemType(), TWTY_UINT16);
  EXPECT_EQ(container.QuerySupport, -1);
  EXPECT_EQ(container.Count(), 1);
  EXPECT_EQ(container.CurrentValue().AsInteger(), 0);
  container.SetCapability(0x7777); // unknown: the type stays
  EXPECT_EQ(container.ItemType(), TWTY_UINT16);
  container.SetCapability(CAP_INDICATORS);
  EXPECT_EQ(container.ItemType(), TWTY_BOOL);
  container.SetContainerType(TWON_ARRAY);
  EXPECT_EQ(container.Count(), 0);
  EXPECT_EQ(container.CurrentValue().AsInteger(), -1);
  container.SetContainerType(TWON_ENUMERATION);
  EXPECT_EQ(container.CurrentValue().AsInteger(), -1);
  container.SetItemType(TWTY_STR64);
  EXPECT_EQ(container.CurrentValue().AsString(), "");
  container.SetItemType(TWTY_NONE); // ignored
  EXPECT_EQ(container.ItemType(), TWTY_STR64);
}

TEST(ContainerTest, EnumerationSelectsOnlyOfferedItems) {
  TTwnContainer container;
  Load(container, ICAP_PIXELTYPE, TWON_ENUMERATION, WireEnumeration(TWTY_UINT16, {0, 1, 2}, 1));
  EXPECT_EQ(container.Count(), 3);
  EXPECT_EQ(container.CurrentValue().AsInteger(), 1);
  container.SetCurrentValue(int32_t{2});
  EXPECT_EQ(container.CurrentIndex(), 2);
  container.SetCurrentValue(int32_t{5});
  EXPECT_EQ(container.CurrentIndex(), 2);
  EXPECT_EQ(container.MinValue().AsInteger(), 0);
  EXPECT_EQ(container.MaxValue().AsInteger(), 2);
  EXPECT_EQ(container.StepSize().AsInteger(), -1);
  EXPECT_EQ(container.IndexOf(int32_t{1}), 1);
  EXPECT_EQ(container.Item(7).AsInteger(), -1);
  uint16_t conType;
  const std::vector<uint8_t> one = Sent(container, -1, conType);
  EXPECT_EQ(conType, TWON_ONEVALUE);
  uint16_t item;
  std::memcpy(&item, one.data() + offsetof(TW_ONEVALUE, Item), 2);
  EXPECT_EQ(item, 2);
  // The whole enumeration goes back as it came, with the new index.
  const std::vector<uint8_t> whole = Sent(container, 0, conType);
  EXPECT_EQ(conType, TWON_ENUMERATION);
  std::vector<uint8_t> expected = WireEnumeration(TWTY_UINT16, {0, 1, 2}, 2);
  expected.resize(expected.size() + 4, 0);
  EXPECT_EQ(whole, expected);
}

TEST(ContainerTest, EnumerationWithoutAValidIndexHasNoCurrentValue) {
  TTwnContainer container;
  Load(container, ICAP_PIXELTYPE, TWON_ENUMERATION, WireEnumeration(TWTY_UINT16, {0, 1}, 9));
  EXPECT_EQ(container.CurrentValue().AsInteger(), -1);
}

TEST(ContainerTest, RangeClampsAndSnapsToTheStep) {
  TTwnContainer container;
  Load(container, ICAP_XRESOLUTION, TWON_RANGE,
       WireRange(TWTY_FIX32, Fix(50), Fix(600), Fix(50), Fix(300)));
  EXPECT_EQ(container.Count(), 1);
  EXPECT_DOUBLE_EQ(container.CurrentValue().AsFloat(), 300);
  // 75 and 125 lie halfway between steps: they go to the even step count.
  for (auto [written, stored] :
       {std::pair{333.0, 350.0}, {20.0, 50.0}, {700.0, 600.0}, {75.0, 50.0}, {125.0, 150.0}}) {
    container.SetCurrentValue(written);
    EXPECT_DOUBLE_EQ(container.CurrentValue().AsFloat(), stored) << written;
  }
  // A step that does not divide the span never passes the maximum.
  TTwnContainer odd;
  Load(odd, ICAP_BRIGHTNESS, TWON_RANGE, WireRange(TWTY_INT32, 0, 10, 6, 0));
  odd.SetCurrentValue(int32_t{10});
  EXPECT_EQ(odd.CurrentValue().AsInteger(), 10);
  odd.SetCurrentValue(int32_t{2});
  EXPECT_EQ(odd.CurrentValue().AsInteger(), 0);
}

TEST(ContainerTest, RangeWithoutStepKeepsValuesBetweenItsBounds) {
  TTwnContainer container;
  Load(container, ICAP_BRIGHTNESS, TWON_RANGE, WireRange(TWTY_FIX32, Fix(-1000), Fix(1000), 0, 0));
  container.SetCurrentValue(123.5);
  EXPECT_DOUBLE_EQ(container.CurrentValue().AsFloat(), 123.5);
  container.SetCurrentValue(-4000.0);
  EXPECT_DOUBLE_EQ(container.CurrentValue().AsFloat(), -1000);
}

TEST(ContainerTest, SmallTypesAreWidenedInsideAndNarrowedOnTheWire) {
  TTwnContainer container;
  Load(container, CAP_XFERCOUNT, TWON_ONEVALUE, WireOneValue(TWTY_INT16, 0xFFFF));
  EXPECT_EQ(container.CurrentValue().AsInteger(), -1);
  Load(container, CAP_XFERCOUNT, TWON_ONEVALUE, WireOneValue(TWTY_UINT16, 0xFFFF));
  EXPECT_EQ(container.CurrentValue().AsInteger(), 65535);
  Load(container, ICAP_CUSTHALFTONE, TWON_ONEVALUE, WireOneValue(TWTY_INT8, 0x80));
  EXPECT_EQ(container.CurrentValue().AsInteger(), -128);
  Load(container, CAP_INDICATORS, TWON_ONEVALUE, WireOneValue(TWTY_BOOL, 0xFFFF));
  EXPECT_TRUE(container.CurrentValue().AsBoolean());
  // A range of 16-bit items whose fields the source filled without extending.
  Load(container, CAP_XFERCOUNT, TWON_RANGE, WireRange(TWTY_INT16, 0xFFFF, 100, 1, 0xFFFF));
  EXPECT_EQ(container.MinValue().AsInteger(), -1);

  TTwnContainer int32;
  int32.SetCapability(CAP_ALARMVOLUME);
  int32.SetCurrentValue(int32_t{-1});
  uint16_t conType;
  const std::vector<uint8_t> wire = Sent(int32, 0, conType);
  ASSERT_EQ(wire.size(), offsetof(TW_ONEVALUE, Item) + 4 + 4);
  uint16_t itemType;
  int32_t item;
  std::memcpy(&itemType, wire.data(), 2);
  std::memcpy(&item, wire.data() + offsetof(TW_ONEVALUE, Item), 4);
  EXPECT_EQ(itemType, TWTY_INT32);
  EXPECT_EQ(item, -1);
}

TEST(ContainerTest, TextsAreCutToTheirCapacity) {
  TTwnContainer container;
  container.SetCapability(ICAP_HALFTONES);
  const std::string forty(40, 'x');
  container.SetCurrentValue(forty);
  EXPECT_EQ(container.CurrentValue().AsString(), std::string(33, 'x'));
  uint16_t conType;
  const std::vector<uint8_t> wire = Sent(container, 0, conType);
  EXPECT_EQ(wire.size(), offsetof(TW_ONEVALUE, Item) + 34 + 4);
  EXPECT_EQ(wire[offsetof(TW_ONEVALUE, Item) + 32], 'x');
  EXPECT_EQ(wire[offsetof(TW_ONEVALUE, Item) + 33], 0);
  container.Clear();
  EXPECT_EQ(container.CurrentValue().AsString(), "");
}

TEST(ContainerTest, ArraysListItemsAndHaveNoCurrentValue) {
  TTwnContainer container;
  container.SetCapability(CAP_SUPPORTEDCAPS);
  container.SetContainerType(TWON_ARRAY);
  for (int32_t cap : {CAP_XFERCOUNT, ICAP_XFERMECH, CAP_INDICATORS, CAP_XFERCOUNT})
    container.AddItem(cap);
  EXPECT_EQ(container.Count(), 4);
  EXPECT_EQ(container.IndexOf(int32_t{CAP_INDICATORS}), 2);
  EXPECT_EQ(container.MinValue().AsInteger(), CAP_XFERCOUNT);
  EXPECT_EQ(container.MaxValue().AsInteger(), CAP_INDICATORS);
  EXPECT_EQ(container.CurrentValue().AsInteger(), -1);
  container.SetCurrentValue(int32_t{7}); // nothing to write in an array
  EXPECT_EQ(container.Count(), 4);
  uint16_t conType;
  const std::vector<uint8_t> wire = Sent(container, -1, conType);
  EXPECT_EQ(conType, TWON_ARRAY);
  ASSERT_EQ(wire.size(), offsetof(TW_ARRAY, ItemList) + 4 * 2 + 4);
  TTwnContainer back;
  Load(back, CAP_SUPPORTEDCAPS, TWON_ARRAY, wire);
  EXPECT_EQ(back.Count(), 4);
  EXPECT_EQ(back.Item(1).AsInteger(), ICAP_XFERMECH);
  EXPECT_EQ(back.CurrentValue().AsInteger(), -1);
}

TEST(ContainerTest, FramesPointIntoTheirContainer) {
  TTwnContainer container;
  container.SetCapability(ICAP_FRAMES);
  container.SetContainerType(TWON_ENUMERATION);
  container.SetCount(2);
  ASSERT_EQ(container.Frames().size(), 2u);
  container.Frames()[1]->SetRight(8.5);
  container.Frames()[1]->SetBottom(11);
  container.SetCount(3); // the buffer may move: the frames follow
  ASSERT_EQ(container.Frames().size(), 3u);
  EXPECT_DOUBLE_EQ(container.Frames()[1]->Right(), 8.5);
  EXPECT_EQ(container.Frames()[1]->Owner(), &container);
  EXPECT_EQ(container.MinValue().AsInteger(), -1);

  TTwnContainer copy;
  copy.Assign(container);
  container.Frames()[1]->SetRight(1);
  ASSERT_EQ(copy.Frames().size(), 3u);
  EXPECT_DOUBLE_EQ(copy.Frames()[1]->Right(), 8.5);
  EXPECT_EQ(copy.Frames()[1]->Owner(), &copy);
}

TEST(ContainerTest, ChangingShapeOrCapabilityStartsAfresh) {
  TTwnContainer container;
  container.SetCapability(CAP_SUPPORTEDCAPS);
  container.SetContainerType(TWON_ARRAY);
  container.AddItem(int32_t{1});
  container.SetContainerType(TWON_ENUMERATION);
  EXPECT_EQ(container.Count(), 0);
  container.AddItem(int32_t{4});
  container.SetCapability(CAP_SUPPORTEDCAPS);
  EXPECT_EQ(container.Count(), 1); // the same capability keeps its data
  container.SetCapability(CAP_INDICATORS);
  EXPECT_EQ(container.Count(), -1);
  container.Clear();
  EXPECT_EQ(container.ContainerType(), TWON_ENUMERATION);
  container.SetContainerType(TWON_ONEVALUE);
  EXPECT_EQ(container.CurrentValue().AsBoolean(), true); // cleared to -1
}

TEST(ContainerTest, WireFormsAreTheStandardsBytes) {
  // Written out byte by byte as the standard's Linux header packs them: the
  // item type, then each 32-bit field directly after it at offset 2.
  const std::vector<uint8_t> oneValue = {0x04, 0x00, 0x2C, 0x01, 0x00, 0x00};
  TTwnContainer resolution;
  Load(resolution, ICAP_XRESOLUTION, TWON_ONEVALUE, oneValue);
  EXPECT_EQ(resolution.CurrentValue().AsInteger(), 300);
  uint16_t conType;
  const std::vector<uint8_t> sent = Sent(resolution, 0, conType);
  ASSERT_GE(sent.size(), oneValue.size());
  EXPECT_EQ(std::vector<uint8_t>(sent.begin(), sent.begin() + 6), oneValue);

  // An enumeration of two TWTY_UINT16 items, current 1, default 0: the list
  // starts at offset 14.
  const std::vector<uint8_t> enumeration = {0x04, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
                                            0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x07, 0x00};
  TTwnContainer list;
  Load(list, ICAP_PIXELTYPE, TWON_ENUMERATION, enumeration);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.CurrentValue().AsInteger(), 7);
  const std::vector<uint8_t> again = Sent(list, 0, conType);
  EXPECT_EQ(conType, TWON_ENUMERATION);
  ASSERT_GE(again.size(), enumeration.size());
  EXPECT_EQ(std::vector<uint8_t>(again.begin(), again.begin() + 18), enumeration);

  TTwnContainer range;
  Load(range, ICAP_XRESOLUTION, TWON_RANGE,
       WireRange(TWTY_FIX32, Fix(50), Fix(600), Fix(50), Fix(300)));
  EXPECT_EQ(Sent(range, 0, conType), WireRange(TWTY_FIX32, Fix(50), Fix(600), Fix(50), Fix(300)));
}

TEST(ContainerTest, MalformedRepliesAreRefused) {
  std::vector<uint8_t> wire = WireEnumeration(TWTY_UINT16, {1, 2}, 0);
  TW_UINT32 lying = 1000000;
  std::memcpy(wire.data() + offsetof(TW_ENUMERATION, NumItems), &lying, 4);
  EXPECT_THROW(UnpackContainer(TWON_ENUMERATION, wire.data(), wire.size()), ETwnContainerError);
  const std::vector<uint8_t> handle = WireOneValue(TWTY_HANDLE, 0);
  EXPECT_THROW(UnpackContainer(TWON_ONEVALUE, handle.data(), handle.size()), ETwnContainerError);
  const std::vector<uint8_t> shortRange(10, 0);
  EXPECT_THROW(UnpackContainer(TWON_RANGE, shortRange.data(), shortRange.size()),
               ETwnContainerError);
  EXPECT_THROW(UnpackContainer(9, handle.data(), handle.size()), ETwnContainerError);
}

TEST(ContainerListTest, OneContainerPerCapability) {
  TTwnContainerList list;
  auto first = std::make_unique<TTwnContainer>();
  first->SetCapability(ICAP_PIXELTYPE);
  list.Add(std::move(first));
  auto second = std::make_unique<TTwnContainer>();
  second->SetCapability(ICAP_PIXELTYPE);
  second->SetCurrentValue(int32_t{2});
  TTwnContainer* kept = list.Add(std::move(second));
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.Find(ICAP_PIXELTYPE), kept);
  EXPECT_EQ(kept->CurrentValue().AsInteger(), 2);
  EXPECT_EQ(list.Find(ICAP_UNITS), nullptr);
  list.Clear();
  EXPECT_EQ(list.Count(), 0u);
}

} // namespace
