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
      {"net:host:test:0", "A very long vendor name indeed", "and a long model", "virtual"},
  };
  const std::vector<std::string> names = ProductNames(devices);
  ASSERT_EQ(names.size(), devices.size());
  EXPECT_EQ(names[0], "Noname frontend-tester (test:0)");
  EXPECT_EQ(names[1], "Canoscan LiDE 110 (genesys:usb)");
  // The second of its kind; the model gives way to fit the field.
  EXPECT_EQ(names[2], "Canoscan LiDE 11 2 (genesys:usb)");
  EXPECT_EQ(names[3].substr(0, 16), "Airscan Office (");
  EXPECT_EQ(names[3].back(), ')');
  for (const std::string& name : names) EXPECT_LE(name.size(), 32u) << name;
  // The same list gives the same names, whatever else is attached.
  EXPECT_EQ(ProductNames({devices[3]}), std::vector<std::string>{names[3]});
  EXPECT_EQ(ProductNames({devices[4]}), ProductNames({devices[4]}));
}

} // namespace
} // namespace test
