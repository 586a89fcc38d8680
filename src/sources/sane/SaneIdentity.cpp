#include "SaneIdentity.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <regex>

namespace {

constexpr size_t kLongest = 32; // a TW_STR32 keeps 33 characters; the manager's fields end in zero
constexpr size_t kLongestKey = 14;

// "backend:libusb:001:004" names the port and the order of plugging in.
std::string StableKey(const std::string& name) {
  static const std::regex usb(":libusb:[0-9]+:[0-9]+");
  return std::regex_replace(name, usb, ":usb");
}

std::string Hash(const std::string& text) {
  uint32_t hash = 2166136261u; // FNV-1a
  for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
  char digits[12];
  std::snprintf(digits, sizeof digits, "#%08x", hash);
  return digits;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// ordinal 1 for the first device of its kind, 2 for the second...
std::string NameOf(const TSaneDeviceInfo& device, int ordinal) {
  std::string key = StableKey(device.Name);
  if (key.size() > kLongestKey) key = Hash(key);
  const std::string suffix = (ordinal > 1 ? " " + std::to_string(ordinal) : "") + " (" + key + ")";
  std::string model = Trimmed(device.Vendor + " " + device.Model);
  if (model.size() + suffix.size() > kLongest)
    model = Trimmed(model.substr(0, kLongest - suffix.size()));
  return model + suffix;
}

} // namespace

std::vector<std::string> ProductNames(const std::vector<TSaneDeviceInfo>& devices) {
  std::vector<std::string> names;
  for (const TSaneDeviceInfo& device : devices) {
    std::string name = NameOf(device, 1);
    for (int n = 2; std::find(names.begin(), names.end(), name) != names.end(); ++n)
      name = NameOf(device, n);
    names.push_back(name);
  }
  return names;
}
