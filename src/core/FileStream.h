#pragma once

#include "core/Stream.h"

#include <string>
#include <utility>

// A file reached through a descriptor. fmOpenReadWrite with fmShareDenyWrite
// also takes an exclusive advisory lock, so two writers of one batch file
// wait for each other instead of interleaving.
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

  const std::string& FileName() const { return FFileName; }
  int Descriptor() const { return FHandle; }

protected:
  // Takes over an open descriptor.
  TFileStream(std::string fileName, int descriptor);

private:
  std::string FFileName;
  int FHandle = -1;
};

// Writes a file so that it appears whole or not at all: the data goes to a
// temporary file in the target's folder, which Commit renames over the
// target. Without Commit the temporary file is removed and the target stays
// as it was. An existing target's permissions carry over.
class TReplacingFileStream : public TFileStream {
public:
  explicit TReplacingFileStream(const std::string& targetName);
  ~TReplacingFileStream() override;
  void Commit(); // raises EFCreateError when the rename fails

private:
  TReplacingFileStream(const std::string& targetName, std::pair<std::string, int> temporary);
  std::string FTargetName;
  bool FCommitted = false;
};
