#pragma once

#include "twain/Container.h"
#include "twain/Kernel.h"

#include <memory>

// The capability layer: the source's containers, its supported and extended
// capability lists, and device events.
class TAcqTWAINIntf : public TAcqTWAINKernel {
public:
  explicit TAcqTWAINIntf(TUIDispatcher& dispatcher) : TAcqTWAINKernel(dispatcher) {}

  // True without a supported-capability list, with LenientOnCaps, or when the list has it.
  bool IsCapSupported(uint16_t capability) const;
  // Membership in the extended-capability list; false without one.
  bool IsCapExtended(uint16_t capability) const;

  // MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET: the reply is loaded
  // into `container`, or, when that is null, into the cached container of
  // the capability (made when missing), which `container` then points to.
  // MSG_QUERYSUPPORT: the reply goes to the container's QuerySupport.
  // Returns 65535 for an unsupported capability, 1 for other messages.
  uint16_t GetCapabilityMsg(uint16_t capability, uint16_t msg, TTwnContainer*& container);
  // MSG_SET only (65535 otherwise, and for no container or an unsupported
  // capability): index 0 sends the container's own shape, another index a
  // one value holding its current value.
  uint16_t SetCapabilityMsg(uint16_t msg, int index, TTwnContainer* container);

  // Device events the source is asked to report (CAP_DEVICEEVENT).
  TTwnDeviceEvents DeviceEventTypes() const { return FDeviceEventTypes; }
  void SetDeviceEventTypes(TTwnDeviceEvents events);

  bool LenientOnCaps = false;
  const TTwnContainerList& Containers() const { return FContainers; }

protected:
  // The cached container of a capability, made when missing.
  TTwnContainer* CachedContainer(uint16_t capability);
  void FreeContainers();
  void ReadSupportedCaps();
  void ReadExtendedCaps();

private:
  TTwnContainerList FContainers;
  std::unique_ptr<TTwnContainer> FSupportedCaps;
  std::unique_ptr<TTwnContainer> FExtendedCaps;
  TTwnDeviceEvents FDeviceEventTypes = 0;
};
