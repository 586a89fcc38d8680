#include "core/FileTargets.h"

#include "core/Exception.h"
#include "core/WritePoint.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kTemporaryMark = ".tessivane-";
constexpr size_t kRandomLetters = 6;

bool IsTemporaryName(const std::string& name) {
  const size_t mark = name.rfind(kTemporaryMark);
  return name.size() > 1 && name[0] == '.' && mark != std::string::npos && mark > 0 &&
         name.size() == mark + std::char_traits<char>::length(kTemporaryMark) + kRandomLetters;
}

} // namespace

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FollowLinks(const std::string& name) {
  std::string current = name;
  // As many links as the system itself follows before it reports a loop.
  for (int hop = 0; hop < 40; ++hop) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::vector<char> target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1);
    ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
    if (length < 0) return current;
    std::string next(target.data(), static_cast<size_t>(length));
    if (next.empty() || next[0] != '/') next = FolderOf(current) + "/" + next;
    current = next;
  }
  throw EFCreateError(name, ELOOP);
}

std::string TemporaryNameFor(const std::string& target) {
  static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  std::uniform_int_distribution<size_t> pick(0, sizeof letters - 2);
  std::string name = FolderOf(target) + "/." + BaseNameOf(target) + kTemporaryMark;
  for (size_t i = 0; i < kRandomLetters; ++i) name += letters[pick(random)];
  return name;
}

void RemoveStaleTemporaries(const std::string& folder) {
  DIR* directory = ::opendir(folder.c_str());
  if (directory == nullptr) return;
  std::vector<std::string> candidates;
  while (dirent* entry = ::readdir(directory))
    if (IsTemporaryName(entry->d_name)) candidates.push_back(folder + "/" + entry->d_name);
  ::closedir(directory);
  for (const std::string& candidate : candidates) {
    int fd = ::open(candidate.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {
    }, named{};
    // A lock granted at once means its writer is gone; the name must still
    // be the file that was locked, not a newer writer's.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        ::lstat(candidate.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
        held.st_dev == named.st_dev && PassWritePoint() == 0)
      ::unlink(candidate.c_str());
    ::close(fd);
  }
}

int SyncFolder(const std::string& folder) {
  if (int error = PassWritePoint()) return error;
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int result = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
  ::close(fd);
  return result;
}

int LockExclusive(int fd, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return errno;
    if (std::chrono::steady_clock::now() >= deadline) return EWOULDBLOCK;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}
