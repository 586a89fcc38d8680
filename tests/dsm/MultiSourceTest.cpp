// One module offering several sources, found in any folder below the ones
// searched, loaded once per process, and free to call the manager while it
// loads.
#include "support/TestSupport.h"
#include "tessivane/twain.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <vector>

namespace {

class MultiSourceTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", Dir.Path().c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    // Two folders, the module deep below the second.
    const std::string deep = Dir.File("sources/sub/dir");
    std::filesystem::create_directories(deep);
    Module = deep + "/multi.ds";
    std::filesystem::copy_file(test::BinPath("test_sources/multi.ds"), Module);
    const std::string folders = Dir.File("none") + ":" + Dir.File("sources");
    setenv("TESSIVANE_TWAIN_SOURCES", folders.c_str(), 1);
    const std::string manager = test::BinPath("libtessivane_dsm.so");
    setenv("MULTI_SOURCE_MANAGER", manager.c_str(), 1);
    Library = dlopen(manager.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(Library, nullptr);
    Entry = reinterpret_cast<DSMENTRYPROC>(dlsym(Library, "DSM_Entry"));
  }
  void TearDown() override {
    unsetenv("MULTI_SOURCE_MANAGER");
    unsetenv("TESSIVANE_TWAIN_SOURCES");
    if (Library != nullptr) dlclose(Library);
  }
  static TW_IDENTITY Application(const char* name) {
    TW_IDENTITY app{};
    app.ProtocolMajor = 2;
    app.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
    std::strcpy(app.ProductName, name);
    return app;
  }
  TW_UINT16 Call(TW_IDENTITY& app, pTW_IDENTITY dest, TW_UINT16 DAT, TW_UINT16 MSG, void* data) {
    return Entry(&app, dest, DG_CONTROL, DAT, MSG, data);
  }
  TW_UINT16 Open(TW_IDENTITY& app, TW_IDENTITY& source, const char* name) {
    source = TW_IDENTITY{};
    std::strcpy(source.ProductName, name);
    return Call(app, nullptr, DAT_IDENTITY, MSG_OPENDS, &source);
  }
  std::string Asked(TW_IDENTITY& app, TW_IDENTITY& source) {
    TW_IDENTITY answer{};
    if (Call(app, &source, DAT_IDENTITY, MSG_GET, &answer) != TWRC_SUCCESS) return "";
    return answer.ProductName;
  }
  std::vector<std::string> Listed(TW_IDENTITY& app) {
    std::vector<std::string> names;
    TW_IDENTITY listed{};
    for (TW_UINT16 rc = Call(app, nullptr, DAT_IDENTITY, MSG_GETFIRST, &listed); rc == TWRC_SUCCESS;
         rc = Call(app, nullptr, DAT_IDENTITY, MSG_GETNEXT, &listed))
      names.emplace_back(listed.ProductName);
    return names;
  }
  int Loads() const {
    void* module = dlopen(Module.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr) return 0;
    auto loads = reinterpret_cast<int (*)()>(dlsym(module, "multi_source_loads"));
    const int count = loads != nullptr ? loads() : -1;
    dlclose(module);
    return count;
  }

  test::TempDir Dir;
  std::string Module;
  void* Library = nullptr;
  DSMENTRYPROC Entry = nullptr;
  void* Parent = nullptr;
};

TEST_F(MultiSourceTest, EachSourceOfTheModuleIsListedOpenedAndAddressed) {
  TW_IDENTITY first = Application("First");
  TW_IDENTITY second = Application("Second");
  // The module calls the manager while it is being loaded: no deadlock.
  ASSERT_EQ(Call(first, nullptr, DAT_PARENT, MSG_OPENDSM, &Parent), TWRC_SUCCESS);
  ASSERT_EQ(Call(second, nullptr, DAT_PARENT, MSG_OPENDSM, &Parent), TWRC_SUCCESS);
  // The garbled third identity is left out.
  EXPECT_EQ(Listed(first), (std::vector<std::string>{"Multi One", "Multi Two"}));

  TW_IDENTITY one{}, two{}, again{};
  ASSERT_EQ(Open(first, one, "Multi One"), TWRC_SUCCESS);
  ASSERT_EQ(Open(second, two, "Multi Two"), TWRC_SUCCESS);
  EXPECT_NE(one.Id, two.Id);
  EXPECT_EQ(Asked(first, one), "Multi One");
  EXPECT_EQ(Asked(second, two), "Multi Two");
  // A second source of the same module for the same application could not
  // be told apart: refused.
  EXPECT_EQ(Open(first, again, "Multi Two"), TWRC_FAILURE);
  TW_STATUS status{};
  ASSERT_EQ(Call(first, nullptr, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
  EXPECT_EQ(status.ConditionCode, TWCC_MAXCONNECTIONS);
  EXPECT_EQ(Call(first, nullptr, DAT_IDENTITY, MSG_CLOSEDS, &one), TWRC_SUCCESS);
  EXPECT_EQ(Call(second, nullptr, DAT_IDENTITY, MSG_CLOSEDS, &two), TWRC_SUCCESS);
  EXPECT_EQ(Call(first, nullptr, DAT_PARENT, MSG_CLOSEDSM, &Parent), TWRC_SUCCESS);
  EXPECT_EQ(Call(second, nullptr, DAT_PARENT, MSG_CLOSEDSM, &Parent), TWRC_SUCCESS);
}

TEST_F(MultiSourceTest, ASourceThatRefusesTheEntryPointIsNotOpened) {
  setenv("MULTI_SOURCE_REFUSE_ENTRYPOINT", "1", 1);
  TW_IDENTITY app = Application("App");
  ASSERT_EQ(Call(app, nullptr, DAT_PARENT, MSG_OPENDSM, &Parent), TWRC_SUCCESS);
  TW_IDENTITY source{};
  EXPECT_EQ(Open(app, source, "Multi One"), TWRC_FAILURE);
  unsetenv("MULTI_SOURCE_REFUSE_ENTRYPOINT");
  EXPECT_EQ(Asked(app, source), ""); // not open: nothing reaches it
  ASSERT_EQ(Open(app, source, "Multi One"), TWRC_SUCCESS);
  EXPECT_EQ(Call(app, nullptr, DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
  EXPECT_EQ(Call(app, nullptr, DAT_PARENT, MSG_CLOSEDSM, &Parent), TWRC_SUCCESS);
}

TEST_F(MultiSourceTest, TheModuleIsLoadedOncePerProcess) {
  for (int session = 0; session < 3; ++session) {
    TW_IDENTITY app = Application("App");
    ASSERT_EQ(Call(app, nullptr, DAT_PARENT, MSG_OPENDSM, &Parent), TWRC_SUCCESS);
    TW_IDENTITY source{};
    ASSERT_EQ(Open(app, source, "Multi One"), TWRC_SUCCESS);
    EXPECT_EQ(Call(app, nullptr, DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
    EXPECT_EQ(Call(app, nullptr, DAT_PARENT, MSG_CLOSEDSM, &Parent), TWRC_SUCCESS);
    // The manager itself is unloaded and loaded again between sessions.
    dlclose(Library);
    Library = dlopen(test::BinPath("libtessivane_dsm.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(Library, nullptr);
    Entry = reinterpret_cast<DSMENTRYPROC>(dlsym(Library, "DSM_Entry"));
    EXPECT_EQ(Loads(), 1);
  }
}

TEST_F(MultiSourceTest, ANewSessionListsTheSourcesTheModuleOffersNow) {
  // The manager stays loaded; the module's devices change between sessions.
  for (const bool plugged : {false, true, false}) {
    SCOPED_TRACE(plugged ? "plugged in" : "unplugged");
    if (plugged) setenv("MULTI_SOURCE_THIRD", "1", 1);
    TW_IDENTITY app = Application("App");
    ASSERT_EQ(Call(app, nullptr, DAT_PARENT, MSG_OPENDSM, &Parent), TWRC_SUCCESS);
    std::vector<std::string> expected{"Multi One", "Multi Two"};
    if (plugged) expected.emplace_back("Multi Three");
    EXPECT_EQ(Listed(app), expected);
    TW_IDENTITY source{};
    EXPECT_EQ(Open(app, source, "Multi Three"), plugged ? TWRC_SUCCESS : TWRC_FAILURE);
    if (plugged) {
      EXPECT_EQ(Call(app, nullptr, DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
    }
    EXPECT_EQ(Call(app, nullptr, DAT_PARENT, MSG_CLOSEDSM, &Parent), TWRC_SUCCESS);
    unsetenv("MULTI_SOURCE_THIRD");
  }
}

} // namespace
