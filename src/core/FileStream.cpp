#include "core/FileStream.h"

#include "core/Exception.h"
#include "core/FileTargets.h"
#include "core/WritePoint.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<long long> lockTimeoutMs{30000};
thread_local TFileFailure lastFailure;

int OpenFlags(TFileStream::TMode mode) {
  switch (mode) {
  case TFileStream::fmOpenRead:
    return O_RDONLY;
  case TFileStream::fmOpenWrite:
    return O_WRONLY;
  case TFileStream::fmOpenReadWrite:
    return O_RDWR;
  case TFileStream::fmCreate:
    return O_RDWR | O_CREAT | O_TRUNC;
  }
  return O_RDONLY;
}

[[noreturn]] void Refuse(const std::string& fileName, TFileStream::TMode mode,
                         const std::string& reason) {
  if (mode == TFileStream::fmCreate) throw EFCreateError(fileName, reason);
  throw EFOpenError(fileName, reason);
}

[[noreturn]] void Refuse(const std::string& fileName, TFileStream::TMode mode, int error) {
  if (mode == TFileStream::fmCreate) throw EFCreateError(fileName, error);
  throw EFOpenError(fileName, error);
}

// Opens without waiting for a pipe's other end, and keeps the descriptor
// only for a regular file.
int OpenRegular(const std::string& fileName, TFileStream::TMode mode) {
  int fd;
  do {
    fd = ::open(fileName.c_str(), OpenFlags(mode) | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) Refuse(fileName, mode, errno);
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    int error = errno;
    ::close(fd);
    Refuse(fileName, mode, error);
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    if (S_ISDIR(info.st_mode)) Refuse(fileName, mode, EISDIR);
    Refuse(fileName, mode, "It is not a regular file");
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool NameStillLeadsTo(const std::string& fileName, int fd) {
  struct stat byName {
  }, byHandle{};
  return ::stat(fileName.c_str(), &byName) == 0 && ::fstat(fd, &byHandle) == 0 &&
         byName.st_dev == byHandle.st_dev && byName.st_ino == byHandle.st_ino;
}

} // namespace

TFileFailure LastFileFailure() {
  return lastFailure;
}

void TFileStream::RememberError(int errorNumber) {
  FLastError = errorNumber;
  lastFailure = {FFileName, errorNumber};
}

TFileStream::TFileStream(const std::string& fileName, TMode mode, TShare share)
    : FFileName(fileName) {
  FHandle = OpenRegular(fileName, mode);
  if (share != fmShareDenyWrite || mode == fmOpenRead) return;
  // Another writer may put a new file in this one's place while this one
  // waits for the lock: the file to hold is the one the name leads to.
  for (;;) {
    if (int error = LockExclusive(FHandle, LockTimeout())) {
      ::close(FHandle);
      FHandle = -1;
      if (error == EWOULDBLOCK) throw EFOpenError(fileName, "It is in use by another program");
      throw EFOpenError(fileName, error);
    }
    if (NameStillLeadsTo(fileName, FHandle)) return;
    ::close(FHandle);
    FHandle = -1;
    FHandle = OpenRegular(fileName, mode);
  }
}

TFileStream::TFileStream(std::string fileName, int descriptor)
    : FFileName(std::move(fileName)), FHandle(descriptor) {}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

std::chrono::milliseconds TFileStream::LockTimeout() {
  return std::chrono::milliseconds(lockTimeoutMs.load());
}

void TFileStream::SetLockTimeout(std::chrono::milliseconds timeout) {
  lockTimeoutMs.store(timeout.count());
}

void TFileStream::CloseChecked(const std::string& reportedName) {
  int fd = FHandle;
  FHandle = -1;
  if (int error = PassWritePoint()) {
    ::close(fd);
    throw EFCreateError(reportedName, error);
  }
  // The descriptor is gone whatever close reports, so it is never retried.
  if (::close(fd) != 0 && errno != EINTR) throw EFCreateError(reportedName, errno);
}

size_t TFileStream::Read(void* buffer, size_t count) {
  size_t done = 0;
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (done < count) {
    ssize_t n = ::read(FHandle, bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) FLastError = errno;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

size_t TFileStream::Write(const void* buffer, size_t count) {
  size_t done = 0;
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  while (done < count) {
    if (int error = PassWritePoint()) {
      RememberError(error);
      break;
    }
    ssize_t n = ::write(FHandle, bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) RememberError(errno);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
               : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                  : SEEK_END;
  off_t result = ::lseek(FHandle, static_cast<off_t>(offset), whence);
  return result < 0 ? -1 : static_cast<int64_t>(result);
}

void TFileStream::SetSize(int64_t size) {
  int error = PassWritePoint();
  if (error == 0 && ::ftruncate(FHandle, static_cast<off_t>(size)) != 0) error = errno;
  if (error != 0) {
    RememberError(error);
    throw EWriteError();
  }
  if (Position() > size) Seek(size, TSeekOrigin::soBeginning);
}

void TFileStream::Flush() {
  int error = PassWritePoint();
  if (error == 0 && ::fsync(FHandle) != 0 && errno != EINVAL) error = errno;
  if (error != 0) {
    RememberError(error);
    throw EWriteError();
  }
}
