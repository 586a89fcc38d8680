#include "core/FileStream.h"

#include "core/Exception.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

std::pair<std::string, int> MakeTemporary(const std::string& target) {
  std::string name = target + ".XXXXXX";
  int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) throw EFCreateError(target, errno);
  // The permissions a newly created target would get, or the existing target's.
  struct stat existing {};
  mode_t mode;
  if (::stat(target.c_str(), &existing) == 0) {
    mode = existing.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd, mode);
  return {name, fd};
}

} // namespace

TFileStream::TFileStream(const std::string& fileName, TMode mode, TShare share)
    : FFileName(fileName) {
  do {
    FHandle = ::open(fileName.c_str(), OpenFlags(mode) | O_CLOEXEC, 0666);
  } while (FHandle < 0 && errno == EINTR);
  if (FHandle < 0) {
    if (mode == fmCreate) throw EFCreateError(fileName, errno);
    throw EFOpenError(fileName, errno);
  }
  if (share == fmShareDenyWrite && mode != fmOpenRead) {
    if (::flock(FHandle, LOCK_EX) != 0) {
      int error = errno;
      ::close(FHandle);
      throw EFOpenError(fileName, error);
    }
  }
}

TFileStream::TFileStream(std::string fileName, int descriptor)
    : FFileName(std::move(fileName)), FHandle(descriptor) {}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

size_t TFileStream::Read(void* buffer, size_t count) {
  size_t done = 0;
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (done < count) {
    ssize_t n = ::read(FHandle, bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

size_t TFileStream::Write(const void* buffer, size_t count) {
  size_t done = 0;
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  while (done < count) {
    ssize_t n = ::write(FHandle, bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
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
  if (::ftruncate(FHandle, static_cast<off_t>(size)) != 0) throw EWriteError();
  if (Position() > size) Seek(size, TSeekOrigin::soBeginning);
}

TReplacingFileStream::TReplacingFileStream(const std::string& targetName)
    : TReplacingFileStream(targetName, MakeTemporary(targetName)) {}

TReplacingFileStream::TReplacingFileStream(const std::string& targetName,
                                           std::pair<std::string, int> temporary)
    : TFileStream(std::move(temporary.first), temporary.second), FTargetName(targetName) {}

TReplacingFileStream::~TReplacingFileStream() {
  if (!FCommitted) ::unlink(FileName().c_str());
}

void TReplacingFileStream::Commit() {
  // The data reaches the disk before the name does, so a power cut leaves
  // the old file or the new one, never an empty one.
  if (::fdatasync(Descriptor()) != 0) throw EFCreateError(FTargetName, errno);
  if (::rename(FileName().c_str(), FTargetName.c_str()) != 0)
    throw EFCreateError(FTargetName, errno);
  FCommitted = true;
}
