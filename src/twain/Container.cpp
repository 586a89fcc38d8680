#include "twain/Container.h"

#include "core/Rounding.h"
#include "twain/ContainerLayout.h"
#include "twain/Fix32.h"
#include "twain/ItemTypes.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

using namespace container_layout;

namespace {

TTwnVariant SlotToVariant(uint16_t itemType, const uint8_t* slot) {
  if (IsStringType(itemType)) {
    const int size = ItemWireSize(itemType);
    const auto* end = static_cast<const uint8_t*>(std::memchr(slot, 0, static_cast<size_t>(size)));
    return std::string(reinterpret_cast<const char*>(slot),
                       end ? static_cast<size_t>(end - slot) : static_cast<size_t>(size));
  }
  const uint32_t raw = Read32(slot);
  switch (itemType) {
  case TWTY_BOOL:
    return raw != 0;
  case TWTY_FIX32:
    return Fix32BitsToFloat(raw);
  case TWTY_FRAME:
    return int32_t{0};
  default:
    return static_cast<int32_t>(raw);
  }
}

void VariantToSlot(uint16_t itemType, const TTwnVariant& value, uint8_t* slot) {
  if (IsStringType(itemType)) {
    const std::string text = value.AsString();
    const size_t length = std::min(text.size(), static_cast<size_t>(StringCapacity(itemType)));
    std::memset(slot, 0, static_cast<size_t>(ItemWireSize(itemType)));
    std::memcpy(slot, text.data(), length);
    return;
  }
  switch (itemType) {
  case TWTY_BOOL:
    Write32(slot, value.AsBoolean() ? 1 : 0);
    break;
  case TWTY_FIX32:
    Write32(slot, FloatToFix32Bits(value.AsFloat()));
    break;
  case TWTY_FRAME:
    std::memset(slot, 0, 16);
    break;
  default:
    Write32(slot, static_cast<uint32_t>(value.AsInteger()));
    break;
  }
}

bool HasNumericOrder(uint16_t itemType) {
  return itemType != TWTY_FRAME && !IsStringType(itemType);
}

} // namespace

// ---- TTwnFrame

double TTwnFrame::Edge(int index) const {
  return Fix32BitsToFloat(Read32(FItem + 4 * index));
}

void TTwnFrame::SetEdge(int index, double value) {
  Write32(FItem + 4 * index, FloatToFix32Bits(value));
}

// ---- TTwnContainer

TTwnContainer::TTwnContainer() : FOneValue(kOneValueSize, 0) {
  Write16(FOneValue, 0, FItemType);
}

std::vector<uint8_t>* TTwnContainer::OwnBuffer() {
  switch (FContainerType) {
  case TWON_ARRAY:
    return FArray.empty() ? nullptr : &FArray;
  case TWON_ENUMERATION:
    return FEnumeration.empty() ? nullptr : &FEnumeration;
  case TWON_RANGE:
    return FRange.empty() ? nullptr : &FRange;
  case TWON_ONEVALUE:
    return &FOneValue;
  default:
    return nullptr;
  }
}

const std::vector<uint8_t>* TTwnContainer::OwnBuffer() const {
  return const_cast<TTwnContainer*>(this)->OwnBuffer();
}

TTwnVariant TTwnContainer::EmptyValue() const {
  return IsStringType(FItemType) ? TTwnVariant(std::string()) : TTwnVariant(int32_t{-1});
}

void TTwnContainer::SetCapability(uint16_t capability) {
  if (capability == FCapability) return;
  Clear();
  FCapability = capability;
  const uint16_t itemType = DefaultItemType(capability);
  if (itemType != TWTY_NONE) SetItemType(itemType);
  RebuildFrames();
}

void TTwnContainer::SetContainerType(uint16_t containerType) {
  if (containerType == FContainerType) return;
  Clear();
  FContainerType = containerType;
  if (containerType == TWON_ARRAY || containerType == TWON_ENUMERATION) {
    std::vector<uint8_t>& buffer = containerType == TWON_ARRAY ? FArray : FEnumeration;
    const size_t spare = containerType == TWON_ARRAY ? kArraySpare : kEnumSpare;
    buffer.assign(static_cast<size_t>(kInitialItems * ItemSlotSize(FItemType)) + spare, 0);
    Write16(buffer, 0, FItemType);
  } else if (containerType == TWON_RANGE) {
    SetCount(1);
  }
  RebuildFrames();
}

void TTwnContainer::SetItemType(uint16_t itemType) {
  if (itemType == TWTY_NONE) return;
  FItemType = itemType;
  for (std::vector<uint8_t>* buffer : {&FOneValue, &FArray, &FEnumeration, &FRange})
    if (!buffer->empty()) Write16(*buffer, 0, itemType);
}

int TTwnContainer::Count() const {
  switch (FContainerType) {
  case TWON_ARRAY:
    return FArray.empty() ? -1 : static_cast<int>(Read32(FArray, 2));
  case TWON_ENUMERATION:
    return FEnumeration.empty() ? -1 : static_cast<int>(Read32(FEnumeration, 2));
  case TWON_RANGE:
    return FRange.empty() ? -1 : 1;
  case TWON_ONEVALUE:
    return 1;
  default:
    return -1;
  }
}

void TTwnContainer::SetCount(int count) {
  if (count < 0) count = 0;
  if (FContainerType == TWON_RANGE) {
    if (FRange.empty()) FRange.assign(kRangeSize, 0);
    Write16(FRange, 0, FItemType);
    return;
  }
  if (FContainerType != TWON_ARRAY && FContainerType != TWON_ENUMERATION) return;
  const bool isArray = FContainerType == TWON_ARRAY;
  std::vector<uint8_t>& buffer = isArray ? FArray : FEnumeration;
  const size_t needed = static_cast<size_t>(count) * static_cast<size_t>(ItemSlotSize(FItemType)) +
                        (isArray ? kArraySpare : kEnumSpare);
  if (buffer.size() < needed) buffer.resize(needed, 0);
  Write16(buffer, 0, FItemType);
  Write32(buffer, 2, static_cast<uint32_t>(count));
  RebuildFrames();
}

TTwnVariant TTwnContainer::Item(int index) const {
  switch (FContainerType) {
  case TWON_ONEVALUE:
    return SlotToVariant(FItemType, FOneValue.data() + 2);
  case TWON_RANGE:
    return CurrentValue();
  case TWON_ARRAY:
  case TWON_ENUMERATION: {
    if (index < 0 || index >= Count()) return EmptyValue();
    const std::vector<uint8_t>& buffer = FContainerType == TWON_ARRAY ? FArray : FEnumeration;
    const size_t offset = (FContainerType == TWON_ARRAY ? kArrayItems : kEnumItems) +
                          static_cast<size_t>(index) * static_cast<size_t>(ItemSlotSize(FItemType));
    if (offset + static_cast<size_t>(ItemSlotSize(FItemType)) > buffer.size()) return EmptyValue();
    return SlotToVariant(FItemType, buffer.data() + offset);
  }
  default:
    return EmptyValue();
  }
}

void TTwnContainer::SetItem(int index, const TTwnVariant& value) {
  switch (FContainerType) {
  case TWON_ONEVALUE:
    VariantToSlot(FItemType, value, FOneValue.data() + 2);
    break;
  case TWON_RANGE:
    SetCurrentValue(value);
    break;
  case TWON_ARRAY:
  case TWON_ENUMERATION: {
    if (index < 0 || index >= Count()) return;
    std::vector<uint8_t>& buffer = FContainerType == TWON_ARRAY ? FArray : FEnumeration;
    const size_t offset = (FContainerType == TWON_ARRAY ? kArrayItems : kEnumItems) +
                          static_cast<size_t>(index) * static_cast<size_t>(ItemSlotSize(FItemType));
    if (offset + static_cast<size_t>(ItemSlotSize(FItemType)) > buffer.size()) return;
    VariantToSlot(FItemType, value, buffer.data() + offset);
    break;
  }
  default:
    break;
  }
}

void TTwnContainer::AddItem(const TTwnVariant& value) {
  if (FContainerType != TWON_ARRAY && FContainerType != TWON_ENUMERATION) return;
  const int count = std::max(Count(), 0);
  SetCount(count + 1);
  SetItem(count, value);
}

int TTwnContainer::IndexOf(const TTwnVariant& value) const {
  if (FContainerType != TWON_ARRAY && FContainerType != TWON_ENUMERATION) return -1;
  for (int i = 0; i < Count(); ++i)
    if (Item(i) == value) return i;
  return -1;
}

int TTwnContainer::CurrentIndex() const {
  return FContainerType == TWON_ENUMERATION && !FEnumeration.empty()
             ? static_cast<int>(Read32(FEnumeration, kEnumCurrent))
             : -1;
}

int TTwnContainer::DefaultIndex() const {
  return FContainerType == TWON_ENUMERATION && !FEnumeration.empty()
             ? static_cast<int>(Read32(FEnumeration, kEnumDefault))
             : -1;
}

TTwnVariant TTwnContainer::CurrentValue() const {
  switch (FContainerType) {
  case TWON_ONEVALUE:
    return Item(0);
  case TWON_ENUMERATION: {
    const int index = CurrentIndex();
    return index >= 0 && index < Count() ? Item(index) : EmptyValue();
  }
  case TWON_RANGE:
    if (FRange.empty() || !HasNumericOrder(FItemType)) return EmptyValue();
    return SlotToVariant(FItemType, FRange.data() + kRangeCurrent);
  default:
    return EmptyValue();
  }
}

void TTwnContainer::SetCurrentValue(const TTwnVariant& value) {
  switch (FContainerType) {
  case TWON_ONEVALUE:
    SetItem(0, value);
    break;
  case TWON_ENUMERATION: {
    const int index = IndexOf(value);
    if (index >= 0) Write32(FEnumeration, kEnumCurrent, static_cast<uint32_t>(index));
    break;
  }
  case TWON_RANGE: {
    if (FRange.empty() || !HasNumericOrder(FItemType)) return;
    const TTwnVariant low = MinValue();
    const TTwnVariant high = MaxValue();
    TTwnVariant v = value;
    if (v < low) v = low;
    if (high < v) v = high;
    const double step = StepSize().AsFloat();
    if (step != 0) {
      const double n = static_cast<double>(Round((v.AsFloat() - low.AsFloat()) / step));
      v = low.AsFloat() + n * step;
      if (high < v) v = high;
    }
    VariantToSlot(FItemType, v, FRange.data() + kRangeCurrent);
    break;
  }
  default:
    break;
  }
}

TTwnVariant TTwnContainer::MinValue() const {
  return Extreme(false);
}

TTwnVariant TTwnContainer::MaxValue() const {
  return Extreme(true);
}

TTwnVariant TTwnContainer::Extreme(bool largest) const {
  if (!HasNumericOrder(FItemType)) return int32_t{-1};
  switch (FContainerType) {
  case TWON_ONEVALUE:
    return Item(0);
  case TWON_RANGE:
    return FRange.empty()
               ? TTwnVariant(int32_t{-1})
               : SlotToVariant(FItemType, FRange.data() + (largest ? kRangeMax : kRangeMin));
  case TWON_ARRAY:
  case TWON_ENUMERATION: {
    if (Count() <= 0) return int32_t{-1};
    TTwnVariant best = Item(0);
    for (int i = 1; i < Count(); ++i)
      if (largest ? best < Item(i) : Item(i) < best) best = Item(i);
    return best;
  }
  default:
    return int32_t{-1};
  }
}

TTwnVariant TTwnContainer::StepSize() const {
  if (FContainerType != TWON_RANGE || FRange.empty() || !HasNumericOrder(FItemType))
    return int32_t{-1};
  return SlotToVariant(FItemType, FRange.data() + kRangeStep);
}

void TTwnContainer::ClearBuffers() {
  FArray.clear();
  FEnumeration.clear();
  FRange.clear();
  FFrames.clear();
}

void TTwnContainer::Clear() {
  ClearBuffers();
  std::fill(FOneValue.begin(), FOneValue.end(), 0);
  Write16(FOneValue, 0, FItemType);
  if (FItemType < TWTY_FRAME || FItemType > TWTY_STR255) Write32(FOneValue, 2, 0xFFFFFFFF);
}

void TTwnContainer::Assign(const TTwnContainer& other) {
  if (&other == this) return;
  FCapability = other.FCapability;
  FContainerType = other.FContainerType;
  FItemType = other.FItemType;
  FOneValue = other.FOneValue;
  FArray = other.FArray;
  FEnumeration = other.FEnumeration;
  FRange = other.FRange;
  QuerySupport = other.QuerySupport;
  RebuildFrames();
}

void TTwnContainer::RebuildFrames() {
  FFrames.clear();
  if (FCapability != ICAP_FRAMES || FItemType != TWTY_FRAME) return;
  if (FContainerType == TWON_ONEVALUE) {
    FFrames.push_back(std::make_unique<TTwnFrame>(this, FOneValue.data() + 2));
    return;
  }
  if (FContainerType != TWON_ARRAY && FContainerType != TWON_ENUMERATION) return;
  std::vector<uint8_t>& buffer = FContainerType == TWON_ARRAY ? FArray : FEnumeration;
  const size_t first = FContainerType == TWON_ARRAY ? kArrayItems : kEnumItems;
  for (int i = 0; i < Count(); ++i) {
    const size_t offset = first + static_cast<size_t>(i) * 16;
    if (offset + 16 > buffer.size()) break;
    FFrames.push_back(std::make_unique<TTwnFrame>(this, buffer.data() + offset));
  }
}

void TTwnContainer::MirrorCurrentValue() {
  const TTwnVariant current =
      FContainerType == TWON_ARRAY ? TTwnVariant(int32_t{0}) : CurrentValue();
  std::fill(FOneValue.begin(), FOneValue.end(), 0);
  Write16(FOneValue, 0, FItemType);
  if (FContainerType == TWON_ENUMERATION && !(CurrentIndex() >= 0 && CurrentIndex() < Count())) {
    if (!IsStringType(FItemType) && FItemType != TWTY_FRAME) Write32(FOneValue, 2, 0xFFFFFFFF);
    return;
  }
  if (FContainerType == TWON_ENUMERATION && FItemType == TWTY_FRAME) {
    std::memcpy(FOneValue.data() + 2,
                FEnumeration.data() + kEnumItems + static_cast<size_t>(CurrentIndex()) * 16, 16);
    return;
  }
  VariantToSlot(FItemType, current, FOneValue.data() + 2);
}

void TTwnContainer::LoadFromTwain(uint16_t capability, uint16_t containerType,
                                  std::vector<uint8_t> buffer) {
  ClearBuffers();
  FCapability = capability;
  FContainerType = containerType;
  if (containerType == TWON_ONEVALUE) {
    FOneValue = std::move(buffer);
    FItemType = Read16(FOneValue, 0);
  } else {
    FItemType = Read16(buffer, 0);
    switch (containerType) {
    case TWON_ARRAY:
      FArray = std::move(buffer);
      break;
    case TWON_ENUMERATION:
      FEnumeration = std::move(buffer);
      break;
    default:
      FRange = std::move(buffer);
      break;
    }
    MirrorCurrentValue();
  }
  RebuildFrames();
}

const std::vector<uint8_t>* TTwnContainer::BufferForSending(int index, uint16_t& containerType) {
  if (index == 0 || FContainerType == TWON_ARRAY) {
    containerType = FContainerType;
    return OwnBuffer();
  }
  if (FContainerType == TWON_ENUMERATION && FItemType == TWTY_FRAME) {
    MirrorCurrentValue();
  } else if (FContainerType != TWON_ONEVALUE) {
    const TTwnVariant current = CurrentValue();
    Write16(FOneValue, 0, FItemType);
    VariantToSlot(FItemType, current, FOneValue.data() + 2);
  }
  containerType = TWON_ONEVALUE;
  return &FOneValue;
}

// ---- TTwnContainerList

TTwnContainer* TTwnContainerList::Add(std::unique_ptr<TTwnContainer> container) {
  const uint16_t capability = container->Capability();
  auto& slot = FItems[capability];
  slot = std::move(container);
  return slot.get();
}

TTwnContainer* TTwnContainerList::Find(uint16_t capability) const {
  auto found = FItems.find(capability);
  return found == FItems.end() ? nullptr : found->second.get();
}
