#pragma once

#include "tessivane/twain.h"
#include "twain/Variant.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class TTwnContainer;

// One TW_FRAME item of an ICAP_FRAMES container, edges as floats. It points
// into its container's buffer and owns nothing; the container rebuilds its
// frames whenever that buffer moves.
class TTwnFrame {
public:
  TTwnFrame(TTwnContainer* owner, uint8_t* item) : FOwner(owner), FItem(item) {}
  TTwnContainer* Owner() const { return FOwner; }
  double Left() const { return Edge(0); }
  double Top() const { return Edge(1); }
  double Right() const { return Edge(2); }
  double Bottom() const { return Edge(3); }
  void SetLeft(double value) { SetEdge(0, value); }
  void SetTop(double value) { SetEdge(1, value); }
  void SetRight(double value) { SetEdge(2, value); }
  void SetBottom(double value) { SetEdge(3, value); }

private:
  double Edge(int index) const;
  void SetEdge(int index, double value);
  TTwnContainer* FOwner;
  uint8_t* FItem;
};

// One capability's value in one of the four container shapes, kept in an
// internal form where every item has a slot of at least 32 bits (the small
// integer types widened), converted from and to the packed TWAIN form at
// each get and set.
//
// Internal buffers (little-endian, packed):
//   one value:   ItemType(2) slot                      (262 bytes, always present)
//   array:       ItemType(2) NumItems(4) slots...
//   enumeration: ItemType(2) NumItems(4) CurrentIndex(4) DefaultIndex(4) slots...
//   range:       ItemType(2) Min(4) Max(4) Step(4) Default(4) Current(4)
class TTwnContainer {
public:
  TTwnContainer();
  TTwnContainer(const TTwnContainer&) = delete;
  TTwnContainer& operator=(const TTwnContainer&) = delete;

  uint16_t Capability() const { return FCapability; }
  // A different capability clears the buffers and takes its default item type.
  void SetCapability(uint16_t capability);
  uint16_t ContainerType() const { return FContainerType; }
  // A different shape clears the buffers and makes room for 10 items.
  void SetContainerType(uint16_t containerType);
  uint16_t ItemType() const { return FItemType; }
  void SetItemType(uint16_t itemType);

  // Items of an array or enumeration; 1 for one value and range; -1 without data.
  int Count() const;
  void SetCount(int count);
  TTwnVariant Item(int index) const;
  void SetItem(int index, const TTwnVariant& value);
  void AddItem(const TTwnVariant& value);
  int IndexOf(const TTwnVariant& value) const;

  TTwnVariant CurrentValue() const;
  // One value: stored; enumeration: selects the first equal item (nothing
  // changes when none is equal); range: clamped to the bounds and snapped
  // to the step; array: ignored.
  void SetCurrentValue(const TTwnVariant& value);
  TTwnVariant MinValue() const;
  TTwnVariant MaxValue() const;
  TTwnVariant StepSize() const;
  int CurrentIndex() const;
  int DefaultIndex() const;

  void Clear();
  void Assign(const TTwnContainer& other);

  // Takes a buffer converted from the wire (UnpackContainer) as the buffer
  // of its shape and mirrors its current value into the one value.
  void LoadFromTwain(uint16_t capability, uint16_t containerType, std::vector<uint8_t> buffer);
  // What a set sends: index 0 the container's own shape, any other index a
  // one value holding the current value (an array is always sent whole).
  // Null when the shape has no data.
  const std::vector<uint8_t>* BufferForSending(int index, uint16_t& containerType);

  int32_t QuerySupport = -1;
  const std::vector<std::unique_ptr<TTwnFrame>>& Frames() const { return FFrames; }

private:
  std::vector<uint8_t>* OwnBuffer();
  const std::vector<uint8_t>* OwnBuffer() const;
  void ClearBuffers();
  void RebuildFrames();
  void MirrorCurrentValue();
  TTwnVariant EmptyValue() const;
  // The smallest or largest value (-1 when there is none or no order).
  TTwnVariant Extreme(bool largest) const;

  uint16_t FCapability = 0;
  uint16_t FContainerType = TWON_ONEVALUE;
  uint16_t FItemType = TWTY_UINT16;
  std::vector<uint8_t> FOneValue;
  std::vector<uint8_t> FArray;
  std::vector<uint8_t> FEnumeration;
  std::vector<uint8_t> FRange;
  std::vector<std::unique_ptr<TTwnFrame>> FFrames;
};

// The containers of one source, at most one per capability.
class TTwnContainerList {
public:
  // Takes the container, replacing any held for the same capability.
  TTwnContainer* Add(std::unique_ptr<TTwnContainer> container);
  TTwnContainer* Find(uint16_t capability) const;
  void Clear() { FItems.clear(); }
  size_t Count() const { return FItems.size(); }

private:
  std::map<uint16_t, std::unique_ptr<TTwnContainer>> FItems;
};

// A container reply that cannot be read: an unknown item type, or a count
// larger than the block that holds it.
class ETwnContainerError : public Exception {
public:
  using Exception::Exception;
};

// The packed wire form (the standard's records in natural alignment) of an
// internal buffer, and back. Wire blocks carry 4 spare bytes at the end.
std::vector<uint8_t> PackContainer(uint16_t containerType, const std::vector<uint8_t>& buffer);
std::vector<uint8_t> UnpackContainer(uint16_t containerType, const uint8_t* wire, size_t size);
