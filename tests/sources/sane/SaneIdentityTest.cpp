// The product names the bridge gives SANE's devices.
#include "sources/sane/SaneIdentity.h"

#include <gtest/gtest.h>

namespace test {
namespace {

TEST(SaneIdentityTest, NamesStayTheSameAndFitTheirField) {
  const std::vector<TSaneDeviceInfo> devices = {
      {"test:0", "Noname", "frontend-tester", "virtual device"},
      // Plugged in again, a USB scanner gets a new address but keeps its name.
      {"genesys:libusb:001:004", "Canoscan", "LiDE 110", "flatbed scanner"},
      {"genesys:libusb:003:017", "Canoscan", "LiDE 110", "flatbed scanner"},
      {"airscan:e0:Office printer on the second floor", "Airscan", "Office", "eSCL"},
  };
  // The second of its kind gives way to fit 32 characters; a long device
  // name is replaced by its hash.
  const std::vector<std::string> names = {
      "Noname frontend-tester (test:0)", "Canoscan LiDE 110 (genesys:usb)",
      "Canoscan LiDE 11 2 (genesys:usb)", "Airscan Office (#f7d51c21)"};
  EXPECT_EQ(ProductNames(devices), names);
  // The same device gets the same name whatever else is attached.
  EXPECT_EQ(ProductNames({devices[3]}), std::vector<std::string>{names[3]});
}

} // namespace
} // namespace test
