// The engine and the virtual scanner crossed with a manager that is not ours
// and whose memory functions are not the shared block registry: every block
// the two exchange must go through that manager's functions, and come back to
// it freed.
#include "TwainFixture.h"

#include "raster/DIB.h"

#include <dlfcn.h>

namespace test {
namespace {

class ForeignManagerTest : public TwainTest {
protected:
  void SetUp() override {
    TwainTest::SetUp();
    const std::string path = BinPath("libtessivane_test_foreign_dsm.so");
    // Kept loaded by the test too, so that its counts outlive the session.
    Library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(Library, nullptr) << dlerror();
    Allocations = reinterpret_cast<int (*)()>(dlsym(Library, "foreign_dsm_allocations"));
    LiveBlocks = reinterpret_cast<int (*)()>(dlsym(Library, "foreign_dsm_live_blocks"));
    ASSERT_NE(Allocations, nullptr);
    ASSERT_NE(LiveBlocks, nullptr);
    setenv("TESSIVANE_TWAIN_DSM", path.c_str(), 1);
    setenv("FOREIGN_DSM_SOURCE", BinPath("twain_sources/virtual.ds").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("TESSIVANE_TWAIN_DSM");
    unsetenv("FOREIGN_DSM_SOURCE");
    if (Library != nullptr) dlclose(Library);
    TwainTest::TearDown();
  }

  void* Library = nullptr;
  int (*Allocations)() = nullptr;
  int (*LiveBlocks)() = nullptr;
};

TEST_F(ForeignManagerTest, EveryBlockGoesThroughTheManagersMemoryFunctions) {
  struct TCase {
    TTwnXferType Mech;
    TTwnHdlType Handle;
    int PixelType, BitDepth;
  };
  for (const TCase& c : {TCase{TWFX_NATIVE, THDT_DIBRAW, TWPT_BW, 1},
                         TCase{TWFX_NATIVE, THDT_DIBHANDLE, TWPT_GRAY, 8},
                         TCase{TWFX_MEMORY, THDT_DIBHANDLE, TWPT_RGB, 24}}) {
    SCOPED_TRACE(testing::Message() << "mechanism " << c.Mech << " handle " << int(c.Handle));
    const int before = Allocations();
    const size_t images = Events.Images.size();
    auto twain = OneSheet(c.PixelType, c.BitDepth);
    twain->SetXferMech(c.Mech);
    twain->SetDIBHandleType(c.Handle);
    ASSERT_TRUE(twain->Acquire(""));
    ASSERT_TRUE(WaitFor([&] { return Events.Images.size() == images + 1; }));
    ASSERT_TRUE(WaitClosed(*twain));
    EXPECT_TRUE(Events.Failures.empty());
    // Containers both ways, and the native page, came from the manager ...
    EXPECT_GT(Allocations() - before, 10);
    // ... and all went back to it.
    EXPECT_EQ(LiveBlocks(), 0);
    // The application's page is a block of the registry, whole.
    ASSERT_NE(Events.Images.back().Handle, nullptr);
    TDIB page;
    page.SetOwnsHandle(false);
    page.AttachHandle(static_cast<TSV_HANDLE>(Events.Images.back().Handle));
    EXPECT_EQ(page.Width(), 413);
    EXPECT_EQ(page.Height(), 583);
  }
}

} // namespace
} // namespace test
