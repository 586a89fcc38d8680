#include "core/Exception.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

class ETestError : public Exception {
public:
  using Exception::Exception;
};

} // namespace

TEST(ForeignErrors, FailedAllocationsBecomeTheReadersOwnError) {
  const auto outcome = [](auto&& work) {
    try {
      WithoutForeignErrors<ETestError>(work);
    } catch (const ETestError& error) {
      return "ours: " + error.Message();
    } catch (const Exception& error) {
      return "other: " + error.Message();
    }
    return std::string("none");
  };
  EXPECT_EQ(outcome([] { throw std::bad_alloc(); }), "ours: Not enough memory to read the file");
  EXPECT_EQ(outcome([] {
              std::vector<int> items;
              items.reserve(items.max_size() + 1);
            }),
            "ours: Not enough memory to read the file");
  // Our own errors pass as they are, and results come back.
  EXPECT_EQ(outcome([] { throw EMathError("Floating point division by zero"); }),
            "other: Floating point division by zero");
  EXPECT_EQ(WithoutForeignErrors<ETestError>([] { return 42; }), 42);
}
