#include "core/Exception.h"
#include "core/FileStream.h"
#include "support/TestSupport.h"
#include "support/WritePointFaults.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

const std::vector<uint8_t> kOld = {'o', 'l', 'd'};
const std::vector<uint8_t> kNew = {'n', 'e', 'w', '!'};

void Replace(const std::string& target, const std::vector<uint8_t>& bytes) {
  TReplacingFileStream file(target);
  file.WriteBuffer(bytes.data(), bytes.size());
  file.Commit();
}

struct stat StatOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info;
}

// Writers take the route given (unnamed or named new files) while it lives.
class TRoute {
public:
  explicit TRoute(bool unnamed) { TReplacingFileStream::SetUnnamedTemporaries(unnamed); }
  ~TRoute() { TReplacingFileStream::SetUnnamedTemporaries(true); }
};

} // namespace

TEST(ReplacingFileStream, SavingThreadsLeaveTheUmaskAlone) {
  for (bool unnamed : {true, false}) {
    TRoute route(unnamed);
    test::TempDir dir;
    const mode_t saved = ::umask(027);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&, t] {
        for (int i = 0; i < 25; ++i)
          Replace(dir.File(std::to_string(t) + "-" + std::to_string(i)), kNew);
      });
    for (auto& thread : threads) thread.join();
    const mode_t after = ::umask(saved);
    EXPECT_EQ(after, 027u);
    for (const std::string& name : test::FolderEntries(dir.Path()))
      EXPECT_EQ(StatOf(dir.File(name)).st_mode & 0777, 0640u) << name;
    EXPECT_EQ(test::FolderEntries(dir.Path()).size(), 100u);
  }
}

TEST(ReplacingFileStream, WritesThroughLinksAndKeepsOwnerGroupAndMode) {
  test::TempDir dir;
  const std::string real = dir.File("real.tif");
  test::WriteFile(real, kOld);
  ASSERT_EQ(::chown(real.c_str(), 1234, 5678), 0);
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(::symlink("real.tif", dir.File("link.tif").c_str()), 0);
  ASSERT_EQ(::symlink(dir.File("link.tif").c_str(), dir.File("chain.tif").c_str()), 0);
  ASSERT_EQ(::symlink("missing.tif", dir.File("dangling.tif").c_str()), 0);

  Replace(dir.File("chain.tif"), kNew);
  EXPECT_TRUE(S_ISLNK(StatOf(dir.File("chain.tif")).st_mode));
  EXPECT_TRUE(S_ISLNK(StatOf(dir.File("link.tif")).st_mode));
  EXPECT_EQ(test::ReadFile(real), kNew);
  const struct stat info = StatOf(real);
  EXPECT_EQ(info.st_uid, 1234u);
  EXPECT_EQ(info.st_gid, 5678u);
  EXPECT_EQ(info.st_mode & 07777, 0640u);

  Replace(dir.File("dangling.tif"), kOld);
  EXPECT_TRUE(S_ISLNK(StatOf(dir.File("dangling.tif")).st_mode));
  EXPECT_EQ(test::ReadFile(dir.File("missing.tif")), kOld);
  EXPECT_EQ(
      test::FolderEntries(dir.Path()),
      (std::set<std::string>{"chain.tif", "dangling.tif", "link.tif", "missing.tif", "real.tif"}));
}

TEST(ReplacingFileStream, RefusesFoldersPipesAndSocketsAsTargetsAndInputs) {
  test::TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0644), 0);
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketName = dir.File("socket");
  ASSERT_LT(socketName.size(), sizeof address.sun_path);
  socketName.copy(address.sun_path, socketName.size());
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const struct {
    const char* name;
    const char* reason;
  } cases[] = {
      {"folder", "Is a directory"},
      {"pipe", "It is a pipe or a socket, not a file"},
      {"socket", "It is a pipe or a socket, not a file"},
  };
  for (const auto& c : cases) {
    const std::string path = dir.File(c.name);
    EXPECT_EQ(test::ErrorOf([&] { Replace(path, kNew); }),
              "Cannot create file \"" + path + "\". " + c.reason);
    // As inputs and append targets they are refused at once, without waiting for a writer.
    for (auto mode : {TFileStream::fmOpenRead, TFileStream::fmOpenReadWrite}) {
      const std::string error =
          test::ErrorOf([&] { TFileStream file(path, mode, TFileStream::fmShareDenyWrite); });
      EXPECT_EQ(error.rfind("Cannot open file \"" + path + "\". ", 0), 0u) << error;
    }
  }
  ::close(listener);
  EXPECT_EQ(test::FolderEntries(dir.Path()), (std::set<std::string>{"folder", "pipe", "socket"}));
}

TEST(ReplacingFileStream, WritesDevicesInPlaceAndReportsTheirErrors) {
  Replace("/dev/null", kNew);
  EXPECT_TRUE(S_ISCHR(StatOf("/dev/null").st_mode));
  // Gathered first, so that a writer may seek and read back as in a file.
  TReplacingFileStream full("/dev/full");
  full.WriteBuffer(kNew.data(), kNew.size());
  full.SetPosition(1);
  char second = 0;
  EXPECT_EQ(full.Read(&second, 1), 1u);
  EXPECT_EQ(second, 'e');
  EXPECT_EQ(test::ErrorOf([&] { full.Commit(); }),
            "Cannot create file \"/dev/full\". No space left on device");
  EXPECT_EQ(full.LastError(), ENOSPC);
  EXPECT_EQ(LastFileFailure().FileName, "/dev/full");
  EXPECT_TRUE(S_ISCHR(StatOf("/dev/full").st_mode));
}

TEST(ReplacingFileStream, RefusesAFileTheUserCouldNotWrite) {
  test::TempDir dir;
  const std::string target = dir.File("kept.tif");
  test::WriteFile(target, kOld);
  ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
  ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
  // As an ordinary user, whom the read-only mode binds.
  const bool ran = test::RunInChildren(1, [&](int) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) throw std::runtime_error("setuid");
    const std::string error = test::ErrorOf([&] { Replace(target, kNew); });
    if (error != "Cannot create file \"" + target + "\". Permission denied")
      throw std::runtime_error(error);
  });
  EXPECT_TRUE(ran);
  EXPECT_EQ(test::ReadFile(target), kOld);
  EXPECT_EQ(test::FolderEntries(dir.Path()), (std::set<std::string>{"kept.tif"}));
}

TEST(FileStream, LockWaitEndsWithAClearError) {
  test::TempDir dir;
  const std::string target = dir.File("batch.tif");
  test::WriteFile(target, kOld);
  const auto saved = TFileStream::LockTimeout();
  TFileStream::SetLockTimeout(std::chrono::milliseconds(100));
  {
    TFileStream holder(target, TFileStream::fmOpenReadWrite, TFileStream::fmShareDenyWrite);
    EXPECT_EQ(test::ErrorOf([&] {
                TFileStream file(target, TFileStream::fmOpenReadWrite,
                                 TFileStream::fmShareDenyWrite);
              }),
              "Cannot open file \"" + target + "\". It is in use by another program");
  }
  // Released, the lock is granted again.
  EXPECT_EQ(test::ErrorOf([&] {
              TFileStream file(target, TFileStream::fmOpenReadWrite, TFileStream::fmShareDenyWrite);
            }),
            "(no error)");
  TFileStream::SetLockTimeout(saved);
}

TEST(ReplacingFileStream, RemovesTemporariesOfDeadWritersOnly) {
  test::TempDir dir;
  const std::string stale = dir.File(".page.tif.tessivane-abc123");
  const std::string live = dir.File(".page.tif.tessivane-xyz789");
  const std::string lookalike = dir.File(".page.tif.tessivane-toolong");
  for (const std::string& name : {stale, live, lookalike}) test::WriteFile(name, kOld);
  const int held = ::open(live.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  Replace(dir.File("page.tif"), kNew);
  ::close(held);
  EXPECT_EQ(test::FolderEntries(dir.Path()),
            (std::set<std::string>{".page.tif.tessivane-toolong", ".page.tif.tessivane-xyz789",
                                   "page.tif"}));

  // Writers in one folder at once, each cleaning it as it starts, never
  // take each other's temporaries for stale ones.
  test::TempDir shared;
  TRoute named(false);
  EXPECT_TRUE(test::RunInChildren(4, [&](int child) {
    for (int i = 0; i < 40; ++i) Replace(shared.File(std::to_string(child)), kNew);
  }));
  EXPECT_EQ(test::FolderEntries(shared.Path()), (std::set<std::string>{"0", "1", "2", "3"}));
}

// Every step that changes the disk, failed in turn: each failure is
// reported, and leaves the old file (or none) or, when only the flushes after
// the rename failed, the whole new one; no temporary stays.
TEST(ReplacingFileStream, AFailureAtAnyWritePointKeepsTheOldFile) {
  for (auto [unnamed, error] : {std::pair{true, EIO}, std::pair{true, ENOSPC},
                                std::pair{false, EIO}, std::pair{false, ENOSPC}}) {
    TRoute route(unnamed);
    for (bool existing : {true, false}) {
      int points = 0, keptOld = 0;
      for (int point = 1;; ++point) {
        test::TempDir dir;
        const std::string target = dir.File("page.tif");
        if (existing) test::WriteFile(target, kOld);
        std::string failure;
        {
          test::TWritePointFault fault(point, error);
          failure = test::ErrorOf([&] { Replace(target, kNew); });
          points = test::TWritePointFault::Passed();
        }
        const bool present = test::FileExists(target);
        const std::vector<uint8_t> now = present ? test::ReadFile(target) : kOld;
        EXPECT_EQ(test::FolderEntries(dir.Path()).size(), present ? 1u : 0u) << point;
        if (failure == "(no error)") {
          EXPECT_EQ(now, kNew);
          break;
        }
        EXPECT_TRUE(now == kNew || now == kOld) << point;
        if (now == kOld && present == existing) ++keptOld;
      }
      // All but the close and the folder flush after the rename keep the old state.
      EXPECT_EQ(keptOld, points - 2) << error;
    }
  }
}

// Killed outright at each write point, the writer leaves the old file or the
// new one; a temporary it named in its last instant is removed by the next
// write to the folder.
TEST(ReplacingFileStream, AKillAtAnyWritePointLeavesTheOldOrTheNewFile) {
  for (bool unnamed : {true, false}) {
    TRoute route(unnamed);
    int tried = 0, strays = 0;
    for (int point = 1;; ++point) {
      test::TempDir dir;
      const std::string target = dir.File("page.tif");
      test::WriteFile(target, kOld);
      const bool killed = test::KilledAtWritePoint(point, [&] { Replace(target, kNew); });
      const std::vector<uint8_t> now = test::ReadFile(target);
      EXPECT_TRUE(now == kOld || now == kNew) << point;
      if (!killed) {
        EXPECT_EQ(now, kNew);
        EXPECT_EQ(test::FolderEntries(dir.Path()), std::set<std::string>{"page.tif"});
        break;
      }
      ++tried;
      if (test::FolderEntries(dir.Path()).size() > 1) ++strays;
      Replace(dir.File("other.tif"), kOld);
      EXPECT_EQ(test::FolderEntries(dir.Path()), (std::set<std::string>{"other.tif", "page.tif"}))
          << point;
    }
    std::cout << (unnamed ? "unnamed" : "named") << " new files: " << tried
              << " kill points tried, " << strays << " left a temporary for the next write\n";
    EXPECT_GE(tried, 4);
  }
}
