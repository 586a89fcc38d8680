// The negotiation the scanning benchmarks make: pixel type and both
// resolutions, skipping a capability the source does not offer.
#pragma once

#include "twain/AcqTWAIN.h"

#include <cstdint>
#include <utility>

inline void NegotiatePixelTypeAndResolution(TAcqTWAIN& twain, int pixelType, int dpi) {
  for (auto [cap, value] : {std::pair<uint16_t, int>{ICAP_PIXELTYPE, pixelType},
                            {ICAP_XRESOLUTION, dpi},
                            {ICAP_YRESOLUTION, dpi}}) {
    TTwnContainer* container = nullptr;
    if (twain.GetCapabilityMsg(cap, MSG_GET, container) != 0 || container == nullptr) continue;
    container->SetCurrentValue(int32_t{value});
    twain.SetCapabilityMsg(MSG_SET, -1, container);
  }
}
