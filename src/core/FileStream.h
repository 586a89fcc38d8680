#pragma once

#include "core/Stream.h"

#include <chrono>
#include <memory>
#include <string>

class TMemoryStream;

// The last write, truncation or flush of a file that failed on this
// thread: the file's name and the error number (empty and 0 when none has).
// It lets a command name the file and the cause behind a library's own
// failure message.
struct TFileFailure {
  std::string FileName;
  int Error = 0;
};
TFileFailure LastFileFailure();

// A file reached through a descriptor. Only regular files are opened: a
// folder, a pipe, a socket or a device is refused with EFOpenError, and
// opening never waits for a pipe's other end. fmOpenReadWrite and
// fmOpenWrite with fmShareDenyWrite also take an exclusive advisory lock, so
// two writers of one batch file wait for each other instead of
// interleaving; the lock is always on the file the name leads to when it is
// granted (a writer that replaced the file meanwhile is noticed and the new
// file locked instead), and waiting for it ends after LockTimeout with a
// clear error.
class TFileStream : public TStream {
public:
  enum TMode { fmOpenRead, fmOpenWrite, fmOpenReadWrite, fmCreate };
  enum TShare { fmShareCompat, fmShareDenyWrite };

  // Raises EFOpenError (or EFCreateError for fmCreate) naming the file.
  TFileStream(const std::string& fileName, TMode mode, TShare share = fmShareCompat);
  ~TFileStream() override;

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;

  // Writes what was written through to the disk; raises EWriteError.
  void Flush();

  const std::string& FileName() const { return FFileName; }
  int Descriptor() const { return FHandle; }
  // The error number of the last failed read, write, truncation or flush; 0 when none failed.
  int LastError() const { return FLastError; }

  static std::chrono::milliseconds LockTimeout();
  static void SetLockTimeout(std::chrono::milliseconds timeout);

protected:
  // Takes over an open descriptor.
  TFileStream(std::string fileName, int descriptor);
  // Closes the descriptor now; raises EFCreateError naming `reportedName` when closing fails.
  void CloseChecked(const std::string& reportedName);
  void RememberError(int errorNumber);

private:
  std::string FFileName;
  int FHandle = -1;
  int FLastError = 0;
};

// Writes a file so that it appears whole or not at all. The data goes to a
// new file in the target's folder, unnamed while it is written where the
// file system allows (otherwise named ".NAME.tessivane-XXXXXX" and locked,
// so that one left behind by a process that died is recognised and removed
// by the next write to that folder); Commit flushes it to the disk, renames
// it over the target and flushes the folder. Without Commit the target
// stays as it was.
//
// The target is the file its name leads to through symbolic links (also a
// dangling one): the link stays and the file it names is written. A
// replaced file keeps its permissions and, where the system allows it, its
// owner and group. Other hard links to a replaced file keep naming the old
// content: replacing makes a new file, it does not rewrite the old one. A
// target the user could not write is refused, as are a folder, a pipe and a
// socket (EFCreateError). A device is written in place, and its write
// errors reported; what goes to it is gathered in memory (a device cannot
// be read back or seek like a file) and written to it on Commit.
class TReplacingFileStream : public TFileStream {
public:
  explicit TReplacingFileStream(const std::string& targetName);
  ~TReplacingFileStream() override;

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  void SetSize(int64_t size) override;

  void Commit(); // raises EFCreateError when the replacement fails
  // Commit without its last step, flushing the target's folder: the file's
  // data is on the disk before the new name is, so after a crash the target
  // is the old file or the new one, but the new name may not have survived
  // yet. For a writer that puts several files of one folder in place and
  // flushes the folder once (SyncFolder) before it reports any of them
  // written.
  void CommitLeavingFolderUnflushed();
  // Puts the file in place only if the target does not exist: false when it
  // does (then nothing changed, and the stream may be dropped). The folder
  // is flushed unless flushFolder is false (as for
  // CommitLeavingFolderUnflushed).
  bool CommitNew(bool flushFolder = true);

  // The file written: the target with its symbolic links followed.
  const std::string& TargetName() const { return FTargetName; }

  // Whether new files start unnamed where the file system allows it (the
  // default); turned off, every writer takes the named route that file
  // systems without unnamed files get.
  static void SetUnnamedTemporaries(bool use);

private:
  struct TPlan;
  static TPlan MakePlan(const std::string& targetName);
  TReplacingFileStream(const std::string& targetName, TPlan plan);
  bool Finish(bool replace, bool flushFolder);

  std::string FTargetName;
  std::string FTemporaryName; // empty while the new file has no name
  bool FUnnamed = false;
  bool FInPlace = false;
  bool FCommitted = false;
  std::unique_ptr<TMemoryStream> FDeviceData; // what goes to a device, until Commit
};
