// The Data Source Manager driven directly through DSM_Entry, as any
// application would, with the virtual scanner behind it.
#include "support/TestSupport.h"
#include "tessivane/pagemem.h"
#include "tessivane/virtualscanner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// What the manager passed to the application callback.
struct TCallbackLog {
  std::mutex Lock;
  std::vector<std::pair<TW_UINT32, TW_UINT16>> Messages; // source Id, MSG
  std::vector<TW_UINT32> Destinations;
  std::vector<std::thread::id> Threads;
};
TCallbackLog gCallbacks;

TW_UINT16 Callback(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 DG, TW_UINT16 DAT,
                   TW_UINT16 MSG, TW_MEMREF) {
  if (DG != DG_CONTROL || DAT != DAT_NULL) return TWRC_FAILURE;
  std::lock_guard guard(gCallbacks.Lock);
  gCallbacks.Messages.emplace_back(origin->Id, MSG);
  gCallbacks.Destinations.push_back(dest->Id);
  gCallbacks.Threads.push_back(std::this_thread::get_id());
  return TWRC_SUCCESS;
}

class ManagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", Dir.Path().c_str(), 1);
    for (const char* name : {"TESSIVANE_TWAIN_CHOOSER", VIRTUAL_SHEETS_VARIABLE,
                             VIRTUAL_CONFIG_VARIABLE, "DISPLAY", "WAYLAND_DISPLAY"})
      unsetenv(name);
    {
      std::lock_guard guard(gCallbacks.Lock);
      gCallbacks.Messages.clear();
      gCallbacks.Destinations.clear();
      gCallbacks.Threads.clear();
    }
    // The project's own sources only, never the machine's installed ones.
    setenv("TESSIVANE_TWAIN_SOURCES", test::BinPath("twain_sources").c_str(), 1);
    Load();
  }
  void TearDown() override { Unload(); }

  void Load() {
    Library = dlopen(test::BinPath("libtessivane_dsm.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(Library, nullptr) << dlerror();
    Entry = reinterpret_cast<DSMENTRYPROC>(dlsym(Library, "DSM_Entry"));
    ASSERT_NE(Entry, nullptr);
  }
  void Unload() {
    if (Library != nullptr) dlclose(Library);
    Library = nullptr;
  }

  static TW_IDENTITY Application(const char* name,
                                 TW_UINT32 groups = DG_CONTROL | DG_IMAGE | DF_APP2) {
    TW_IDENTITY app{};
    app.ProtocolMajor = 2;
    app.SupportedGroups = groups;
    std::strncpy(app.ProductName, name, sizeof app.ProductName - 1);
    return app;
  }
  TW_UINT16 Call(TW_IDENTITY& app, pTW_IDENTITY dest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                 void* data) {
    return Entry(&app, dest, DG, DAT, MSG, data);
  }
  TW_UINT16 Condition(TW_IDENTITY& app, pTW_IDENTITY dest = nullptr) {
    TW_STATUS status{};
    EXPECT_EQ(Call(app, dest, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    return status.ConditionCode;
  }
  TW_UINT16 OpenDSM(TW_IDENTITY& app) {
    return Call(app, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &Parent);
  }
  TW_UINT16 CloseDSM(TW_IDENTITY& app) {
    return Call(app, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &Parent);
  }
  TW_UINT16 OpenDS(TW_IDENTITY& app, TW_IDENTITY& source) {
    return Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source);
  }
  TW_UINT16 CloseDS(TW_IDENTITY& app, TW_IDENTITY& source) {
    return Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source);
  }
  std::vector<std::string> Names(TW_IDENTITY& app) {
    std::vector<std::string> names;
    TW_IDENTITY source{};
    for (TW_UINT16 rc = Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &source);
         rc == TWRC_SUCCESS;
         rc = Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &source))
      names.emplace_back(source.ProductName);
    return names;
  }
  void InstallScanners(std::initializer_list<const char*> modules) {
    const std::string folder = Dir.File("sources");
    std::filesystem::create_directories(folder);
    for (const char* module : modules)
      std::filesystem::copy_file(test::BinPath("twain_sources/virtual.ds"), folder + "/" + module);
    setenv("TESSIVANE_TWAIN_SOURCES", folder.c_str(), 1);
  }
  bool WaitForCallbacks(size_t count) {
    for (int i = 0; i < 6000; ++i) {
      {
        std::lock_guard guard(gCallbacks.Lock);
        if (gCallbacks.Messages.size() >= count) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  test::TempDir Dir;
  void* Library = nullptr;
  DSMENTRYPROC Entry = nullptr;
  void* Parent = nullptr;
};

TEST_F(ManagerTest, ApplicationsGetIdsAndOpenOnlyOnce) {
  TW_IDENTITY first = Application("First");
  TW_IDENTITY second = Application("Second");
  ASSERT_EQ(OpenDSM(first), TWRC_SUCCESS);
  ASSERT_EQ(OpenDSM(second), TWRC_SUCCESS);
  EXPECT_NE(first.Id, 0u);
  EXPECT_NE(second.Id, first.Id);
  EXPECT_EQ(OpenDSM(first), TWRC_FAILURE);
  EXPECT_EQ(Condition(first), TWCC_SEQERROR);
  EXPECT_EQ(Condition(first), TWCC_SUCCESS); // reading the condition clears it
  EXPECT_EQ(CloseDSM(first), TWRC_SUCCESS);
  EXPECT_EQ(CloseDSM(first), TWRC_FAILURE); // no longer known
  EXPECT_EQ(CloseDSM(second), TWRC_SUCCESS);
}

TEST_F(ManagerTest, SourcesComeFromTheFolderInNameOrder) {
  InstallScanners({"virtual.ds", "virtual-B.ds", "virtual-A.ds"});
  test::WriteFile(Dir.File("sources/broken.ds"), {'n', 'o', 't'});
  test::WriteFile(Dir.File("sources/readme.txt"), {'x'});
  TW_IDENTITY app = Application("App");
  ASSERT_EQ(OpenDSM(app), TWRC_SUCCESS);
  EXPECT_EQ(Names(app), (std::vector<std::string>{"Virtual Scanner A", "Virtual Scanner B",
                                                  "Virtual Scanner"}));
  TW_IDENTITY source{};
  EXPECT_EQ(Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &source), TWRC_SUCCESS);
  EXPECT_STREQ(source.ProductName, "Virtual Scanner");
  EXPECT_NE(source.Id, 0u);
  EXPECT_NE(source.Id, app.Id);
  EXPECT_EQ(source.SupportedGroups & DF_DS2, static_cast<TW_UINT32>(DF_DS2));
  EXPECT_EQ(CloseDSM(app), TWRC_SUCCESS);
}

TEST_F(ManagerTest, WithoutSourcesThereIsNoDefault) {
  std::filesystem::create_directory(Dir.File("empty"));
  setenv("TESSIVANE_TWAIN_SOURCES", Dir.File("empty").c_str(), 1);
  TW_IDENTITY app = Application("App");
  ASSERT_EQ(OpenDSM(app), TWRC_SUCCESS);
  TW_IDENTITY source{};
  EXPECT_EQ(Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &source), TWRC_ENDOFLIST);
  EXPECT_EQ(Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &source), TWRC_FAILURE);
  EXPECT_EQ(Condition(app), TWCC_NODS);
  EXPECT_EQ(OpenDS(app, source), TWRC_FAILURE);
  EXPECT_EQ(Condition(app), TWCC_NODS);
  EXPECT_EQ(Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &source), TWRC_FAILURE);
  EXPECT_EQ(CloseDSM(app), TWRC_SUCCESS);
}

TEST_F(ManagerTest, SourcesAreOpenedByIdNameOrDefaultForOneApplicationAtATime) {
  InstallScanners({"virtual.ds", "virtual-B.ds"});
  TW_IDENTITY first = Application("First");
  TW_IDENTITY second = Application("Second");
  ASSERT_EQ(OpenDSM(first), TWRC_SUCCESS);
  ASSERT_EQ(OpenDSM(second), TWRC_SUCCESS);

  TW_IDENTITY byName{};
  std::strcpy(byName.ProductName, "Virtual Scanner B");
  ASSERT_EQ(OpenDS(first, byName), TWRC_SUCCESS);
  EXPECT_NE(byName.Id, 0u);
  TW_IDENTITY again = byName;
  EXPECT_EQ(OpenDS(first, again), TWRC_FAILURE);
  EXPECT_EQ(Condition(first), TWCC_SEQERROR);
  TW_IDENTITY other = byName;
  EXPECT_EQ(OpenDS(second, other), TWRC_FAILURE);
  EXPECT_EQ(Condition(second), TWCC_MAXCONNECTIONS);

  TW_IDENTITY byDefault{};
  ASSERT_EQ(OpenDS(second, byDefault), TWRC_SUCCESS);
  EXPECT_STREQ(byDefault.ProductName, "Virtual Scanner");

  // Triplets reach only the application's own sources.
  TW_PENDINGXFERS pending{};
  EXPECT_EQ(Call(second, &byName, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_FAILURE);
  EXPECT_EQ(Condition(second), TWCC_BADDEST);
  EXPECT_EQ(Call(first, &byName, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_SUCCESS);

  EXPECT_EQ(CloseDSM(first), TWRC_FAILURE); // a source is still open
  EXPECT_EQ(Condition(first), TWCC_SEQERROR);
  EXPECT_EQ(CloseDS(first, byName), TWRC_SUCCESS);
  EXPECT_EQ(CloseDSM(first), TWRC_SUCCESS);
  EXPECT_EQ(CloseDS(second, byDefault), TWRC_SUCCESS);
  EXPECT_EQ(CloseDSM(second), TWRC_SUCCESS);
}

TEST_F(ManagerTest, EntryPointIsForApplicationsOfTheSecondGeneration) {
  TW_IDENTITY old = Application("Old", DG_CONTROL | DG_IMAGE);
  ASSERT_EQ(OpenDSM(old), TWRC_SUCCESS);
  TW_ENTRYPOINT entry{};
  entry.Size = sizeof entry;
  EXPECT_EQ(Call(old, nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &entry), TWRC_FAILURE);
  EXPECT_EQ(Condition(old), TWCC_BADPROTOCOL);
  EXPECT_EQ(CloseDSM(old), TWRC_SUCCESS);

  TW_IDENTITY app = Application("New");
  ASSERT_EQ(OpenDSM(app), TWRC_SUCCESS);
  ASSERT_EQ(Call(app, nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &entry), TWRC_SUCCESS);
  EXPECT_EQ(DSMENTRYPROC{entry.DSM_Entry}, Entry);
  // Its blocks are blocks of the shared registry.
  TW_HANDLE block = entry.DSM_MemAllocate(100);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(tsv_mem_size(static_cast<TSV_HANDLE>(block)), 100u);
  auto* bytes = static_cast<uint8_t*>(entry.DSM_MemLock(block));
  EXPECT_EQ(bytes[99], 0);
  EXPECT_EQ(tsv_mem_lock_count(static_cast<TSV_HANDLE>(block)), 1u);
  entry.DSM_MemUnlock(block);
  entry.DSM_MemFree(block);
  EXPECT_EQ(tsv_mem_size(static_cast<TSV_HANDLE>(block)), 0u);
  EXPECT_EQ(CloseDSM(app), TWRC_SUCCESS);
}

TEST_F(ManagerTest, SourceAnnouncementsReachTheApplicationsCallback) {
  setenv(VIRTUAL_SHEETS_VARIABLE, "2", 1);
  TW_IDENTITY app = Application("App");
  ASSERT_EQ(OpenDSM(app), TWRC_SUCCESS);
  TW_IDENTITY source{};
  ASSERT_EQ(OpenDS(app, source), TWRC_SUCCESS);
  TW_CALLBACK callback{};
  callback.CallBackProc = reinterpret_cast<TW_MEMREF>(&Callback);
  ASSERT_EQ(Call(app, &source, DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &callback),
            TWRC_SUCCESS);

  TW_USERINTERFACE ui{};
  ASSERT_EQ(Call(app, &source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  ASSERT_TRUE(WaitForCallbacks(1));
  {
    std::lock_guard guard(gCallbacks.Lock);
    EXPECT_EQ(gCallbacks.Messages[0], std::make_pair(source.Id, TW_UINT16{MSG_XFERREADY}));
    EXPECT_EQ(gCallbacks.Destinations[0], app.Id);
    EXPECT_NE(gCallbacks.Threads[0], std::this_thread::get_id()); // the scanner's own thread
  }
  TW_PENDINGXFERS pending{};
  EXPECT_EQ(Call(app, &source, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_SUCCESS);
  EXPECT_EQ(pending.Count, 2);
  for (int page = 0; page < 2; ++page) {
    TW_HANDLE image = nullptr;
    ASSERT_EQ(Call(app, &source, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image), TWRC_XFERDONE);
    EXPECT_GT(tsv_mem_size(static_cast<TSV_HANDLE>(image)), 40u);
    tsv_mem_free(static_cast<TSV_HANDLE>(image));
    ASSERT_EQ(Call(app, &source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending),
              TWRC_SUCCESS);
    EXPECT_EQ(pending.Count, 1 - page);
  }
  EXPECT_EQ(Call(app, &source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_EQ(CloseDS(app, source), TWRC_SUCCESS);
  // A source that is closed announces nothing any more.
  EXPECT_EQ(Entry(&source, &app, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr), TWRC_FAILURE);
  EXPECT_EQ(CloseDSM(app), TWRC_SUCCESS);
}

TEST_F(ManagerTest, ScannerFollowsTheStatesOfTheStandard) {
  setenv(VIRTUAL_SHEETS_VARIABLE, "0", 1);
  TW_IDENTITY app = Application("App");
  ASSERT_EQ(OpenDSM(app), TWRC_SUCCESS);
  TW_IDENTITY source{};
  ASSERT_EQ(OpenDS(app, source), TWRC_SUCCESS);
  TW_USERINTERFACE ui{};
  EXPECT_EQ(Call(app, &source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_FAILURE);
  EXPECT_EQ(Condition(app, &source), TWCC_SEQERROR);
  // An empty feeder.
  EXPECT_EQ(Call(app, &source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_FAILURE);
  EXPECT_EQ(Condition(app, &source), TWCC_NOMEDIA);
  TW_HANDLE image = nullptr;
  EXPECT_EQ(Call(app, &source, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image), TWRC_FAILURE);
  EXPECT_EQ(Condition(app, &source), TWCC_SEQERROR);
  EXPECT_EQ(CloseDS(app, source), TWRC_SUCCESS);
  EXPECT_EQ(CloseDSM(app), TWRC_SUCCESS);
}

TEST_F(ManagerTest, UnloadingTheManagerClosesWhatWasLeftOpen) {
  const std::string trace = Dir.File("trace.txt");
  const std::string config = Dir.File("scanner.conf");
  std::ofstream(config) << "trace=" << trace << "\n";
  setenv(VIRTUAL_CONFIG_VARIABLE, config.c_str(), 1);
  TW_IDENTITY app = Application("App");
  ASSERT_EQ(OpenDSM(app), TWRC_SUCCESS);
  TW_IDENTITY source{};
  ASSERT_EQ(OpenDS(app, source), TWRC_SUCCESS);
  TW_USERINTERFACE ui{};
  ASSERT_EQ(Call(app, &source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  Unload(); // the application is gone without closing anything
  std::ifstream lines(trace);
  std::vector<std::string> received;
  for (std::string line; std::getline(lines, line);) received.push_back(line);
  ASSERT_GE(received.size(), 3u);
  EXPECT_EQ(received[received.size() - 3], "1 5 7");    // pending transfers reset
  EXPECT_EQ(received[received.size() - 2], "1 9 1281"); // disabled
  EXPECT_EQ(received[received.size() - 1], "1 3 1026"); // closed
  // Loaded again, the manager and the scanner start afresh.
  Load();
  TW_IDENTITY again = Application("App");
  ASSERT_EQ(OpenDSM(again), TWRC_SUCCESS);
  TW_IDENTITY reopened{};
  EXPECT_EQ(OpenDS(again, reopened), TWRC_SUCCESS);
  EXPECT_EQ(CloseDS(again, reopened), TWRC_SUCCESS);
  EXPECT_EQ(CloseDSM(again), TWRC_SUCCESS);
}

TEST_F(ManagerTest, SelectionDialogProgramAnswersOrCancels) {
  InstallScanners({"virtual.ds", "virtual-B.ds"});
  const std::string chooser = Dir.File("chooser.sh");
  auto answer = [&](const std::string& body) {
    std::ofstream(chooser) << "#!/bin/sh\n" << body << "\n";
    std::filesystem::permissions(chooser, std::filesystem::perms::owner_all);
  };
  setenv("TESSIVANE_TWAIN_CHOOSER", chooser.c_str(), 1);
  TW_IDENTITY app = Application("App");
  ASSERT_EQ(OpenDSM(app), TWRC_SUCCESS);
  TW_IDENTITY chosen{};

  answer("echo 'Virtual Scanner B'");
  // No graphical session: the default, without asking.
  ASSERT_EQ(Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &chosen), TWRC_SUCCESS);
  EXPECT_STREQ(chosen.ProductName, "Virtual Scanner");

  setenv("WAYLAND_DISPLAY", "wayland-9", 1);
  ASSERT_EQ(Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &chosen), TWRC_SUCCESS);
  EXPECT_STREQ(chosen.ProductName, "Virtual Scanner B");
  TW_IDENTITY preferred{};
  ASSERT_EQ(Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &preferred), TWRC_SUCCESS);
  EXPECT_STREQ(preferred.ProductName, "Virtual Scanner B");
  EXPECT_TRUE(test::FileExists(Dir.File("Vellumtrace/TessivaneTwain.conf")));
  // Replaced whole, and nothing else left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.File("Vellumtrace")), {}), 1);

  answer("exit 1");
  EXPECT_EQ(Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &chosen), TWRC_CANCEL);
  answer("echo 'No Such Scanner'");
  EXPECT_EQ(Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &chosen), TWRC_FAILURE);
  EXPECT_EQ(Condition(app), TWCC_NODS);
  setenv("TESSIVANE_TWAIN_CHOOSER", Dir.File("missing-chooser").c_str(), 1);
  ASSERT_EQ(Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &chosen), TWRC_SUCCESS);
  EXPECT_STREQ(chosen.ProductName, "Virtual Scanner B"); // the stored default
  unsetenv("WAYLAND_DISPLAY");
  EXPECT_EQ(CloseDSM(app), TWRC_SUCCESS);
}

TEST_F(ManagerTest, ScannerNegotiatesAsADocumentScanner) {
  TW_IDENTITY app = Application("App");
  ASSERT_EQ(OpenDSM(app), TWRC_SUCCESS);
  TW_IDENTITY source{};
  ASSERT_EQ(OpenDS(app, source), TWRC_SUCCESS);
  TW_ENTRYPOINT entry{};
  entry.Size = sizeof entry;
  ASSERT_EQ(Call(app, nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &entry), TWRC_SUCCESS);
  auto set = [&](TW_UINT16 capability, TW_UINT16 itemType, TW_UINT32 value) {
    TW_HANDLE handle = entry.DSM_MemAllocate(sizeof(TW_ONEVALUE));
    auto* one = static_cast<pTW_ONEVALUE>(entry.DSM_MemLock(handle));
    one->ItemType = itemType;
    one->Item = value;
    entry.DSM_MemUnlock(handle);
    TW_CAPABILITY cap{capability, TWON_ONEVALUE, handle};
    const TW_UINT16 rc = Call(app, &source, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap);
    entry.DSM_MemFree(handle);
    return rc;
  };
  auto current = [&](TW_UINT16 capability) {
    TW_CAPABILITY cap{capability, TWON_DONTCARE16, nullptr};
    EXPECT_EQ(Call(app, &source, DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &cap), TWRC_SUCCESS);
    EXPECT_EQ(cap.ConType, TWON_ONEVALUE);
    const auto* one = static_cast<const TW_ONEVALUE*>(entry.DSM_MemLock(cap.hContainer));
    const TW_UINT32 value = one->Item;
    entry.DSM_MemUnlock(cap.hContainer);
    entry.DSM_MemFree(cap.hContainer);
    return value;
  };
  // Choosing grey brings its depth.
  EXPECT_EQ(set(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
  EXPECT_EQ(current(ICAP_BITDEPTH) & 0xFFFF, 8u);
  EXPECT_EQ(set(ICAP_BITDEPTH, TWTY_UINT16, 24), TWRC_FAILURE);
  EXPECT_EQ(Condition(app, &source), TWCC_BADVALUE);
  EXPECT_EQ(set(ICAP_BITDEPTH, TWTY_UINT16, 4), TWRC_SUCCESS);
  // A resolution between steps is taken to the nearest step, and said so.
  TW_FIX32 odd{210, 0};
  TW_UINT32 bits;
  std::memcpy(&bits, &odd, 4);
  EXPECT_EQ(set(ICAP_XRESOLUTION, TWTY_FIX32, bits), TWRC_CHECKSTATUS);
  TW_UINT32 x = current(ICAP_XRESOLUTION);
  TW_FIX32 snapped;
  std::memcpy(&snapped, &x, 4);
  EXPECT_EQ(snapped.Whole, 200);
  EXPECT_EQ(set(ICAP_PHYSICALWIDTH, TWTY_FIX32, 0), TWRC_FAILURE);
  EXPECT_EQ(Condition(app, &source), TWCC_CAPBADOPERATION);
  EXPECT_EQ(set(ICAP_HALFTONES, TWTY_UINT16, 0), TWRC_FAILURE);
  EXPECT_EQ(Condition(app, &source), TWCC_CAPUNSUPPORTED);

  // Enabled, only the extended capabilities may still change.
  TW_HANDLE list = entry.DSM_MemAllocate(offsetof(TW_ARRAY, ItemList) + 2);
  auto* array = static_cast<pTW_ARRAY>(entry.DSM_MemLock(list));
  array->ItemType = TWTY_UINT16;
  array->NumItems = 1;
  const TW_UINT16 extended = ICAP_XRESOLUTION;
  std::memcpy(array->ItemList, &extended, 2);
  entry.DSM_MemUnlock(list);
  TW_CAPABILITY cap{CAP_EXTENDEDCAPS, TWON_ARRAY, list};
  EXPECT_EQ(Call(app, &source, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap), TWRC_SUCCESS);
  entry.DSM_MemFree(list);
  TW_USERINTERFACE ui{};
  ASSERT_EQ(Call(app, &source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_EQ(set(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB), TWRC_FAILURE);
  EXPECT_EQ(Condition(app, &source), TWCC_CAPSEQERROR);
  odd.Whole = 100;
  std::memcpy(&bits, &odd, 4);
  EXPECT_EQ(set(ICAP_XRESOLUTION, TWTY_FIX32, bits), TWRC_SUCCESS);
  TW_PENDINGXFERS pending{};
  EXPECT_EQ(Call(app, &source, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
  EXPECT_EQ(Call(app, &source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_EQ(CloseDS(app, source), TWRC_SUCCESS);
  EXPECT_EQ(CloseDSM(app), TWRC_SUCCESS);
}

TEST_F(ManagerTest, ApplicationsAreCheckedAndToldOfTheManagersMemory) {
  // An application without a product name is refused; it may ask why.
  TW_IDENTITY nameless = Application("");
  EXPECT_EQ(OpenDSM(nameless), TWRC_FAILURE);
  EXPECT_EQ(Condition(nameless), TWCC_BADVALUE);
  TW_IDENTITY garbled = Application("Garbled");
  std::memset(garbled.Manufacturer, 'x', sizeof garbled.Manufacturer);
  EXPECT_EQ(OpenDSM(garbled), TWRC_FAILURE);

  TW_IDENTITY app = Application("App");
  ASSERT_EQ(OpenDSM(app), TWRC_SUCCESS);
  EXPECT_EQ(app.SupportedGroups & DF_DSM2, static_cast<TW_UINT32>(DF_DSM2));
  // A record smaller than the standard's would be overrun: refused.
  TW_ENTRYPOINT entry{};
  entry.Size = sizeof entry - 8;
  EXPECT_EQ(Call(app, nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &entry), TWRC_FAILURE);
  EXPECT_EQ(Condition(app), TWCC_BADVALUE);
  EXPECT_EQ(DSM_MEMALLOCATE{entry.DSM_MemAllocate}, nullptr);

  // MSG_CHECKSTATUS looks at the condition without taking it.
  EXPECT_EQ(OpenDSM(app), TWRC_FAILURE);
  TW_STATUS status{};
  EXPECT_EQ(Call(app, nullptr, DG_CONTROL, DAT_STATUS, MSG_CHECKSTATUS, &status), TWRC_SUCCESS);
  EXPECT_EQ(status.ConditionCode, TWCC_SEQERROR);
  EXPECT_EQ(Condition(app), TWCC_SEQERROR);
  EXPECT_EQ(Condition(app), TWCC_SUCCESS);
  EXPECT_EQ(CloseDSM(app), TWRC_SUCCESS);
}

TEST_F(ManagerTest, TheApplicationCanSetTheDefaultSource) {
  InstallScanners({"virtual.ds", "virtual-B.ds"});
  TW_IDENTITY app = Application("App");
  ASSERT_EQ(OpenDSM(app), TWRC_SUCCESS);
  TW_IDENTITY chosen{};
  std::strcpy(chosen.ProductName, "Virtual Scanner B");
  EXPECT_EQ(Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_SET, &chosen), TWRC_SUCCESS);
  TW_IDENTITY source{};
  ASSERT_EQ(Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &source), TWRC_SUCCESS);
  EXPECT_STREQ(source.ProductName, "Virtual Scanner B");
  TW_IDENTITY unknown{};
  std::strcpy(unknown.ProductName, "No Such Scanner");
  EXPECT_EQ(Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_SET, &unknown), TWRC_FAILURE);
  EXPECT_EQ(Condition(app), TWCC_NODS);
  ASSERT_EQ(Call(app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &source), TWRC_SUCCESS);
  EXPECT_STREQ(source.ProductName, "Virtual Scanner B");
  EXPECT_EQ(CloseDSM(app), TWRC_SUCCESS);
}

TEST_F(ManagerTest, AnnouncementsWaitForTheCallbackToBeRegistered) {
  TW_IDENTITY app = Application("App");
  ASSERT_EQ(OpenDSM(app), TWRC_SUCCESS);
  TW_IDENTITY source{};
  ASSERT_EQ(OpenDS(app, source), TWRC_SUCCESS);
  // The source announces before the application registered its callback.
  EXPECT_EQ(Entry(&source, &app, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr), TWRC_SUCCESS);
  EXPECT_EQ(Entry(&source, &app, DG_CONTROL, DAT_NULL, MSG_CLOSEDSREQ, nullptr), TWRC_SUCCESS);
  {
    std::lock_guard guard(gCallbacks.Lock);
    EXPECT_TRUE(gCallbacks.Messages.empty());
  }
  TW_CALLBACK callback{};
  callback.CallBackProc = reinterpret_cast<TW_MEMREF>(&Callback);
  ASSERT_EQ(Call(app, &source, DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &callback),
            TWRC_SUCCESS);
  {
    std::lock_guard guard(gCallbacks.Lock);
    ASSERT_EQ(gCallbacks.Messages.size(), 2u);
    EXPECT_EQ(gCallbacks.Messages[0], std::make_pair(source.Id, TW_UINT16{MSG_XFERREADY}));
    EXPECT_EQ(gCallbacks.Messages[1], std::make_pair(source.Id, TW_UINT16{MSG_CLOSEDSREQ}));
    EXPECT_EQ(gCallbacks.Destinations[0], app.Id);
  }
  EXPECT_EQ(CloseDS(app, source), TWRC_SUCCESS);
  EXPECT_EQ(CloseDSM(app), TWRC_SUCCESS);
}

} // namespace
