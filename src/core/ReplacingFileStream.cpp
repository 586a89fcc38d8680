#include "core/Exception.h"
#include "core/FileStream.h"
#include "core/FileTargets.h"
#include "core/MemoryStream.h"
#include "core/WritePoint.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

struct TReplacingFileStream::TPlan {
  std::string target;
  std::string temporaryName; // empty for an unnamed file
  int fd = -1;
  bool inPlace = false;
};

namespace {

std::atomic<bool> unnamedTemporaries{true};

std::string DescriptorPath(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

// A file with no name in `folder`, which a link through /proc can give a
// name later; -1 when the file system or the system cannot do that. The
// mode asked for passes through the umask like any new file's.
int CreateUnnamed(const std::string& folder) {
  if (!unnamedTemporaries.load()) return -1;
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  if (::access(DescriptorPath(fd).c_str(), F_OK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// A new file under a temporary name, locked before anyone else can see it
// unlocked (a cleaner that got in first has removed the name: then another
// is made).
std::pair<std::string, int> CreateNamed(const std::string& target) {
  for (;;) {
    std::string name = TemporaryNameFor(target);
    if (int error = PassWritePoint()) throw EFCreateError(target, error);
    int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      throw EFCreateError(target, errno);
    }
    struct stat held {
    }, named{};
    if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &held) == 0 &&
        ::lstat(name.c_str(), &named) == 0 && held.st_ino == named.st_ino)
      return {name, fd};
    ::close(fd);
  }
}

// Owner, group and permissions of the file being replaced; a change of
// owner that the system refuses (a user cannot give files away) keeps the
// writer's, then the group alone is tried.
void CarryOver(int fd, const struct stat& existing) {
  if (::fchown(fd, existing.st_uid, existing.st_gid) != 0)
    (void)::fchown(fd, static_cast<uid_t>(-1), existing.st_gid);
  (void)::fchmod(fd, existing.st_mode & 07777);
}

} // namespace

TReplacingFileStream::TPlan TReplacingFileStream::MakePlan(const std::string& targetName) {
  TReplacingFileStream::TPlan plan;
  plan.target = FollowLinks(targetName);
  struct stat existing {};
  const bool exists = ::stat(plan.target.c_str(), &existing) == 0;
  if (exists) {
    if (S_ISDIR(existing.st_mode)) throw EFCreateError(plan.target, EISDIR);
    if (S_ISFIFO(existing.st_mode) || S_ISSOCK(existing.st_mode))
      throw EFCreateError(plan.target, "It is a pipe or a socket, not a file");
    if (S_ISCHR(existing.st_mode) || S_ISBLK(existing.st_mode)) {
      plan.fd = ::open(plan.target.c_str(), O_WRONLY | O_CLOEXEC);
      if (plan.fd < 0) throw EFCreateError(plan.target, errno);
      plan.inPlace = true;
      return plan;
    }
    // As a copying tool does: a file the user may not write is not replaced.
    if (::faccessat(AT_FDCWD, plan.target.c_str(), W_OK, AT_EACCESS) != 0)
      throw EFCreateError(plan.target, errno);
  }
  const std::string folder = FolderOf(plan.target);
  RemoveStaleTemporaries(folder);
  if (int error = PassWritePoint()) throw EFCreateError(plan.target, error);
  plan.fd = CreateUnnamed(folder);
  if (plan.fd >= 0) {
    ::flock(plan.fd, LOCK_EX);
  } else {
    auto [name, fd] = CreateNamed(plan.target);
    plan.temporaryName = std::move(name);
    plan.fd = fd;
  }
  if (exists) CarryOver(plan.fd, existing);
  return plan;
}

TReplacingFileStream::TReplacingFileStream(const std::string& targetName)
    : TReplacingFileStream(targetName, MakePlan(targetName)) {}

TReplacingFileStream::TReplacingFileStream(const std::string& targetName, TPlan plan)
    : TFileStream(targetName, plan.fd), FTargetName(std::move(plan.target)),
      FTemporaryName(std::move(plan.temporaryName)),
      FUnnamed(!plan.inPlace && FTemporaryName.empty()), FInPlace(plan.inPlace) {
  if (FInPlace) FDeviceData = std::make_unique<TMemoryStream>();
}

TReplacingFileStream::~TReplacingFileStream() {
  if (!FCommitted && !FTemporaryName.empty()) ::unlink(FTemporaryName.c_str());
}

size_t TReplacingFileStream::Read(void* buffer, size_t count) {
  return FDeviceData ? FDeviceData->Read(buffer, count) : TFileStream::Read(buffer, count);
}

size_t TReplacingFileStream::Write(const void* buffer, size_t count) {
  return FDeviceData ? FDeviceData->Write(buffer, count) : TFileStream::Write(buffer, count);
}

int64_t TReplacingFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  return FDeviceData ? FDeviceData->Seek(offset, origin) : TFileStream::Seek(offset, origin);
}

int64_t TReplacingFileStream::Size() {
  return FDeviceData ? FDeviceData->Size() : TFileStream::Size();
}

void TReplacingFileStream::SetSize(int64_t size) {
  if (FDeviceData)
    FDeviceData->SetSize(size);
  else
    TFileStream::SetSize(size);
}

void TReplacingFileStream::SetUnnamedTemporaries(bool use) {
  unnamedTemporaries.store(use);
}

void TReplacingFileStream::Commit() {
  Finish(true, true);
}

void TReplacingFileStream::CommitLeavingFolderUnflushed() {
  Finish(true, false);
}

bool TReplacingFileStream::CommitNew(bool flushFolder) {
  return Finish(false, flushFolder);
}

bool TReplacingFileStream::Finish(bool replace, bool flushFolder) {
  if (FDeviceData) {
    const std::vector<uint8_t>& bytes = FDeviceData->Bytes();
    if (TFileStream::Write(bytes.data(), bytes.size()) != bytes.size())
      throw EFCreateError(FTargetName, LastError() != 0 ? LastError() : EIO);
  }
  // The data reaches the disk before the name does, so a power cut leaves
  // the old file or the new one, never an empty one.
  int error = PassWritePoint();
  if (error == 0 && ::fsync(Descriptor()) != 0 && !(FInPlace && errno == EINVAL)) error = errno;
  if (error != 0) {
    RememberError(error);
    throw EFCreateError(FTargetName, error);
  }
  if (FInPlace) {
    FCommitted = true;
    CloseChecked(FTargetName);
    return true;
  }
  if (FUnnamed && !replace) {
    // Linking the unnamed file at the target's name creates it only if it is
    // still missing, in one step.
    if (int point = PassWritePoint()) throw EFCreateError(FTargetName, point);
    if (::linkat(AT_FDCWD, DescriptorPath(Descriptor()).c_str(), AT_FDCWD, FTargetName.c_str(),
                 AT_SYMLINK_FOLLOW) != 0) {
      if (errno == EEXIST) return false;
      throw EFCreateError(FTargetName, errno);
    }
  } else {
    if (FUnnamed) {
      // A name only for the instant of the rename; the lock on the file
      // tells a cleaner it is still being written.
      for (;;) {
        std::string name = TemporaryNameFor(FTargetName);
        if (int point = PassWritePoint()) throw EFCreateError(FTargetName, point);
        if (::linkat(AT_FDCWD, DescriptorPath(Descriptor()).c_str(), AT_FDCWD, name.c_str(),
                     AT_SYMLINK_FOLLOW) == 0) {
          FTemporaryName = std::move(name);
          break;
        }
        if (errno != EEXIST) throw EFCreateError(FTargetName, errno);
      }
    }
    if (int point = PassWritePoint()) throw EFCreateError(FTargetName, point);
    if (replace) {
      if (::rename(FTemporaryName.c_str(), FTargetName.c_str()) != 0)
        throw EFCreateError(FTargetName, errno);
    } else if (::renameat2(AT_FDCWD, FTemporaryName.c_str(), AT_FDCWD, FTargetName.c_str(),
                           RENAME_NOREPLACE) != 0) {
      if (errno == EEXIST) return false;
      if (errno != EINVAL) throw EFCreateError(FTargetName, errno);
      // A file system without the flag: a hard link creates only a missing name too.
      if (::link(FTemporaryName.c_str(), FTargetName.c_str()) != 0) {
        if (errno == EEXIST) return false;
        throw EFCreateError(FTargetName, errno);
      }
      ::unlink(FTemporaryName.c_str());
    }
  }
  FCommitted = true;
  FTemporaryName.clear();
  CloseChecked(FTargetName);
  if (!flushFolder) return true;
  if (int folderError = SyncFolder(FolderOf(FTargetName)))
    throw EFCreateError(FTargetName, folderError);
  return true;
}
