#include "workflow/BatchFiles.h"

#include <QFile>
#include <QString>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string SystemReason(int error) {
  return std::strerror(error);
}

bool EntryExists(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0;
}

bool IsRegularFile(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// Splits a path into its folder with the trailing "/" (maybe empty), the file
// name without extension, and the extension with its dot (maybe empty).
struct TPathParts {
  std::string Folder;
  std::string Stem;
  std::string Extension;
};

TPathParts SplitPath(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string name = path.substr(nameStart);
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || dot == 0) return {path.substr(0, nameStart), name, {}};
  return {path.substr(0, nameStart), name.substr(0, dot), name.substr(dot)};
}

std::string WithExtension(const std::string& path, const std::string& extension) {
  const TPathParts parts = SplitPath(path);
  return parts.Folder + parts.Stem + extension;
}

// Renames from to to unless to exists; 0 or the system's error number.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the no-replace rename: test, then rename.
  if (EntryExists(to)) return EEXIST;
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::string RandomTag() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device device;
  std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
  std::string tag(8, ' ');
  for (char& letter : tag) letter = kLetters[pick(device)];
  return tag;
}

// a's name with ".bak", or a fresh "<name>.<tag>.bak" beside it when that
// name is already taken.
std::string ParkingName(const std::string& a) {
  const std::string plain = WithExtension(a, ".bak");
  if (!EntryExists(plain)) return plain;
  const TPathParts parts = SplitPath(a);
  for (;;) {
    std::string candidate = parts.Folder + parts.Stem + "." + RandomTag() + ".bak";
    if (!EntryExists(candidate)) return candidate;
  }
}

class TFileDescriptor {
public:
  explicit TFileDescriptor(int descriptor) : FDescriptor(descriptor) {}
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;
  ~TFileDescriptor() { Close(); }
  int Get() const { return FDescriptor; }
  bool Close() {
    const int descriptor = FDescriptor;
    FDescriptor = -1;
    return descriptor < 0 || close(descriptor) == 0;
  }

private:
  int FDescriptor;
};

bool CopyBytes(int from, int to) {
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const ssize_t got = read(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(to, buffer.data() + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      done += put;
    }
  }
}

// Writes a whole copy of source under a hidden temporary name of fixed length
// in folder (so that a batch listing never sees a partial file); the
// temporary name, or empty when the copy failed and left nothing behind.
std::string CopyToTemporary(const std::string& source, const std::string& folder) {
  TFileDescriptor input(open(source.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat status {};
  if (input.Get() < 0 || fstat(input.Get(), &status) != 0) return {};
  std::string temporary = folder + ".tessivane-copy.XXXXXX";
  TFileDescriptor output(mkostemp(temporary.data(), O_CLOEXEC));
  if (output.Get() < 0) return {};
  const bool copied =
      CopyBytes(input.Get(), output.Get()) && fchmod(output.Get(), status.st_mode & 07777) == 0;
  if (!output.Close() || !copied) {
    unlink(temporary.c_str());
    return {};
  }
  return temporary;
}

} // namespace

void CheckPathLength(const std::string& path) {
  bool tooLong = path.size() + 1 > PATH_MAX;
  for (size_t start = 0; !tooLong && start < path.size();) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    tooLong = end - start > NAME_MAX;
    start = end + 1;
  }
  if (tooLong) throw EBatchFileError("The path is longer than the system allows: " + path);
}

bool CopyFileIntoBatch(const std::string& source, const std::string& target,
                       std::string* copiedTo) {
  CheckPathLength(source);
  CheckPathLength(target);
  if (!IsRegularFile(source)) return false;
  const TPathParts parts = SplitPath(target);
  const std::string temporary = CopyToTemporary(source, parts.Folder);
  if (temporary.empty()) return false;
  std::string candidate = target;
  for (int number = 2;; ++number) {
    CheckPathLength(candidate);
    const int error = RenameNoReplace(temporary, candidate);
    if (error == 0) {
      if (copiedTo) *copiedTo = candidate;
      return true;
    }
    if (error != EEXIST) {
      unlink(temporary.c_str());
      return false;
    }
    candidate = parts.Folder + parts.Stem + " (" + std::to_string(number) + ")" + parts.Extension;
  }
}

bool RecycleFile(const std::string& path) {
  CheckPathLength(path);
  if (!EntryExists(path)) return false;
  struct stat status {};
  if (stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return false;
  return QFile::moveToTrash(QFile::decodeName(QByteArray::fromStdString(path)));
}

TSwappedPaths SwapBatchFiles(const std::string& a, const std::string& b) {
  const std::string pageOfB = WithExtension(a, SplitPath(b).Extension);
  const std::string pageOfA = WithExtension(b, SplitPath(a).Extension);
  if (a == b || pageOfB == b) return {pageOfB, pageOfA};
  for (const std::string* path : {&a, &b, &pageOfB, &pageOfA}) CheckPathLength(*path);
  const std::string parked = ParkingName(a);
  CheckPathLength(parked);

  const std::string failure = "Cannot exchange " + a + " and " + b + ": ";
  if (const int error = RenameNoReplace(a, parked))
    throw EBatchFileError(failure + SystemReason(error));

  // Puts every file back under its own name; says what could not be undone.
  auto undo = [&](bool bMoved) {
    std::string lost;
    if (bMoved && RenameNoReplace(pageOfB, b) != 0)
      lost += " The page of " + b + " is now " + pageOfB + ".";
    if (RenameNoReplace(parked, a) != 0) lost += " The page of " + a + " is now " + parked + ".";
    return lost;
  };
  if (const int error = RenameNoReplace(b, pageOfB))
    throw EBatchFileError(failure + SystemReason(error) + undo(false));
  if (const int error = RenameNoReplace(parked, pageOfA))
    throw EBatchFileError(failure + SystemReason(error) + undo(true));
  return {pageOfB, pageOfA};
}
