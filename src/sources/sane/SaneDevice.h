#pragma once

#include <sane/sane.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One device as SANE lists it.
struct TSaneDeviceInfo {
  std::string Name, Vendor, Model, Type;
};

// SANE initialised for as long as one of these lives: the first sane_init,
// the last sane_exit. Each session initialises SANE anew, so a device
// plugged in or a configuration changed since the last session is seen.
class TSaneLibrary {
public:
  TSaneLibrary();
  TSaneLibrary(const TSaneLibrary&) = delete;
  TSaneLibrary& operator=(const TSaneLibrary&) = delete;
  ~TSaneLibrary();
  // The devices SANE finds now, local and networked; empty when SANE
  // cannot be initialised.
  static std::vector<TSaneDeviceInfo> ListDevices();
  bool Ready() const { return FReady; }

private:
  bool FReady = false;
};

// A numeric constraint: a range (Step 0 for any value) or a list.
struct TSaneNumbers {
  bool IsRange = false;
  double Min = 0, Max = 0, Step = 0;
  std::vector<double> List;
};

// One open device (sane_open to sane_close). Options are found by name;
// numbers are read and written as doubles whatever their SANE type (integer
// or fixed point). Not for use by two threads at once, except Cancel.
class TSaneDevice {
public:
  // Raises ESaneError when the device cannot be opened.
  explicit TSaneDevice(const std::string& name);
  TSaneDevice(const TSaneDevice&) = delete;
  TSaneDevice& operator=(const TSaneDevice&) = delete;
  ~TSaneDevice();

  // The option's descriptor when the device has it, it is active and it
  // can be read; nullptr otherwise.
  const SANE_Option_Descriptor* Find(const char* name) const;
  bool Settable(const char* name) const;
  std::optional<double> Number(const char* name) const;
  std::optional<std::string> Text(const char* name) const;
  // The choices of a numeric option; empty when it has none.
  TSaneNumbers Numbers(const char* name) const;
  std::vector<std::string> Texts(const char* name) const;
  // Set and read back: the value the device took. Raises ESaneError.
  double SetNumber(const char* name, double value);
  void SetText(const char* name, const std::string& value);
  // Millimetres per unit of the option (1 for SANE_UNIT_MM, 25.4 / dpi
  // for pixels at the current resolution), 0 when it has no length.
  double MillimetresPerUnit(const char* name) const;

  // The device answers (its option count can be read).
  bool Online() const;

  SANE_Status Start();
  SANE_Status Parameters(SANE_Parameters& parameters);
  SANE_Status Read(SANE_Byte* data, SANE_Int maxLength, SANE_Int& length);
  // Safe from any thread while a read is under way.
  void Cancel();

private:
  int IndexOf(const char* name) const;
  SANE_Handle FHandle = nullptr;
  TSaneLibrary FLibrary;
};
