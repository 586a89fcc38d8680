#pragma once

#include "SaneDevice.h"

#include <string>
#include <vector>

// The TWAIN product name of each device, in the order given: the vendor and
// model, then in brackets the device's name without what changes when a USB
// device is plugged in again (the bus and address), so a profile keeps
// naming the same scanner. At most 32 characters: a key too long for the
// field is replaced by a hash of it. Two devices that would share a name
// are told apart by " 2", " 3" and so on before the brackets, in list order.
std::vector<std::string> ProductNames(const std::vector<TSaneDeviceInfo>& devices);
