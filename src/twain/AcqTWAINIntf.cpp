#include "twain/AcqTWAINIntf.h"

#include "tessivane/pagemem.h"
#include "twain/Messages.h"

#include <cstring>
#include <functional>

namespace {

// Frees the container of a reply the caller gave up waiting for.
std::function<void(std::vector<uint8_t>&)> FreeLateContainer(const TTwnMemory& memory) {
  return [memory](std::vector<uint8_t>& data) {
    TW_CAPABILITY late;
    std::memcpy(&late, data.data(), sizeof late);
    memory.FreeHandle(late.hContainer);
  };
}

bool Contains(const TTwnContainer* list, uint16_t capability) {
  return list != nullptr && list->IndexOf(TTwnVariant(static_cast<int32_t>(capability))) >= 0;
}

} // namespace

bool TAcqTWAINIntf::IsCapSupported(uint16_t capability) const {
  return !FSupportedCaps || LenientOnCaps || Contains(FSupportedCaps.get(), capability);
}

bool TAcqTWAINIntf::IsCapExtended(uint16_t capability) const {
  return Contains(FExtendedCaps.get(), capability);
}

TTwnContainer* TAcqTWAINIntf::CachedContainer(uint16_t capability) {
  if (TTwnContainer* found = FContainers.Find(capability)) return found;
  auto container = std::make_unique<TTwnContainer>();
  container->SetCapability(capability);
  return FContainers.Add(std::move(container));
}

void TAcqTWAINIntf::FreeContainers() {
  FContainers.Clear();
  FSupportedCaps.reset();
  FExtendedCaps.reset();
}

uint16_t TAcqTWAINIntf::GetCapabilityMsg(uint16_t capability, uint16_t msg,
                                         TTwnContainer*& container) {
  if (!IsCapSupported(capability)) return 0xFFFF;
  const bool loads =
      msg == MSG_GET || msg == MSG_GETCURRENT || msg == MSG_GETDEFAULT || msg == MSG_RESET;
  if (!loads && msg != MSG_QUERYSUPPORT) return TWRC_FAILURE;

  const TTwnMemory memory = Memory();
  TW_CAPABILITY cap{capability, TWON_DONTCARE16, nullptr};
  const uint16_t result = Triplet(DG_CONTROL, DAT_CAPABILITY, msg, &cap, sizeof cap, true,
                                  {kSessionTimeout, {}, FreeLateContainer(memory)});
  std::vector<uint8_t> buffer;
  bool converted = false;
  if (result == TWRC_SUCCESS && cap.hContainer != nullptr) {
    {
      TLockedBlock locked(memory, cap.hContainer);
      if (const auto* wire = static_cast<const uint8_t*>(locked.Address())) {
        try {
          buffer = UnpackContainer(cap.ConType, wire, BlockSize(cap.hContainer));
          converted = true;
        } catch (const ETwnContainerError&) {
          converted = false;
        }
      }
    }
    memory.FreeHandle(cap.hContainer);
  }

  if (msg == MSG_QUERYSUPPORT) {
    if (container == nullptr) container = CachedContainer(capability);
    container->QuerySupport = -1;
    if (converted && cap.ConType == TWON_ONEVALUE) {
      TTwnContainer reply;
      reply.LoadFromTwain(capability, cap.ConType, std::move(buffer));
      if (reply.ItemType() == TWTY_INT32)
        container->QuerySupport = reply.CurrentValue().AsInteger();
    }
    return result;
  }
  if (result != TWRC_SUCCESS || cap.hContainer == nullptr) return result;
  if (!converted) return TWRC_FAILURE;
  if (container == nullptr) container = CachedContainer(capability);
  container->LoadFromTwain(capability, cap.ConType, std::move(buffer));
  return result;
}

uint16_t TAcqTWAINIntf::SetCapabilityMsg(uint16_t msg, int index, TTwnContainer* container) {
  if (msg != MSG_SET || container == nullptr || !IsCapSupported(container->Capability()))
    return 0xFFFF;
  uint16_t containerType = 0;
  const std::vector<uint8_t>* buffer = container->BufferForSending(index, containerType);
  if (buffer == nullptr) return TWRC_FAILURE;
  std::vector<uint8_t> wire;
  try {
    wire = PackContainer(containerType, *buffer);
  } catch (const ETwnContainerError&) {
    return TWRC_FAILURE;
  }
  const TTwnMemory memory = Memory();
  TW_HANDLE handle = memory.Alloc(wire.size());
  if (handle == nullptr) return TWRC_FAILURE;
  {
    TLockedBlock locked(memory, handle);
    if (locked.Address() == nullptr) {
      memory.FreeHandle(handle);
      return TWRC_FAILURE;
    }
    std::memcpy(locked.Address(), wire.data(), wire.size());
  }
  TW_CAPABILITY cap{container->Capability(), containerType, handle};
  // The block is the application's: freed once the source is done with it.
  return Triplet(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap, sizeof cap, true,
                 {kSessionTimeout, [memory, handle] { memory.FreeHandle(handle); }, {}});
}

void TAcqTWAINIntf::SetDeviceEventTypes(TTwnDeviceEvents events) {
  FDeviceEventTypes = events;
  if (!SourceOpen() || (events == 0 && FContainers.Find(CAP_DEVICEEVENT) == nullptr)) return;
  TTwnContainer* container = CachedContainer(CAP_DEVICEEVENT);
  container->SetContainerType(TWON_ARRAY);
  container->SetItemType(TWTY_UINT16);
  container->SetCount(0);
  for (int event = 0; event < kDeviceEventCount; ++event)
    if (events & DeviceEventBit(static_cast<TTwnDeviceEvent>(event)))
      container->AddItem(int32_t{event});
  SetCapabilityMsg(MSG_SET, 0, container);
}

void TAcqTWAINIntf::ReadSupportedCaps() {
  auto list = std::make_unique<TTwnContainer>();
  TTwnContainer* target = list.get();
  if (GetCapabilityMsg(CAP_SUPPORTEDCAPS, MSG_GET, target) != TWRC_SUCCESS) return;
  // The transfer mechanism is always negotiated, listed or not.
  if (!Contains(list.get(), ICAP_XFERMECH)) list->AddItem(int32_t{ICAP_XFERMECH});
  FSupportedCaps = std::move(list);
}

void TAcqTWAINIntf::ReadExtendedCaps() {
  auto list = std::make_unique<TTwnContainer>();
  TTwnContainer* target = list.get();
  if (GetCapabilityMsg(CAP_EXTENDEDCAPS, MSG_GET, target) == TWRC_SUCCESS)
    FExtendedCaps = std::move(list);
}
