#include "raster/TiffAppend.h"

#include "core/FileStream.h"
#include "raster/TiffBinding.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr const char* kNotTiff = "not a TIFF file";

// Reads the page chain of a TIFF file without libtiff, to check that every
// directory lies whole inside the file and the chain ends.
class TTiffChain {
public:
  explicit TTiffChain(TStream& stream) : FStream(stream) {}

  // Empty when the chain is sound; otherwise what is wrong with it.
  std::string Check() {
    const int64_t size = FStream.Size();
    uint8_t header[16] = {};
    if (!ReadAt(0, header, 8)) return kNotTiff;
    if (header[0] == 'I' && header[1] == 'I')
      FBigEndian = false;
    else if (header[0] == 'M' && header[1] == 'M')
      FBigEndian = true;
    else
      return kNotTiff;
    const uint64_t magic = Decode(header + 2, 2);
    int64_t link = 4;
    if (magic == 43) {
      FBig = true;
      link = 8;
    } else if (magic != 42) {
      return kNotTiff;
    }
    std::set<uint64_t> seen;
    for (;;) {
      uint8_t bytes[8];
      if (!ReadAt(link, bytes, LinkSize())) return "its page chain runs past the end of the file";
      const uint64_t target = Decode(bytes, LinkSize());
      if (target == 0) return seen.empty() ? "it holds no page" : "";
      if (!seen.insert(target).second) return "its page chain loops";
      const int countSize = FBig ? 8 : 2;
      uint8_t countBytes[8];
      if (target >= static_cast<uint64_t>(size) ||
          !ReadAt(static_cast<int64_t>(target), countBytes, countSize))
        return "its page chain points past the end of the file";
      const uint64_t entries = Decode(countBytes, countSize);
      const uint64_t entrySize = FBig ? 20 : 12;
      if (entries == 0 || entries > static_cast<uint64_t>(size) / entrySize)
        return "a page directory is damaged";
      link = static_cast<int64_t>(target + static_cast<uint64_t>(countSize) + entries * entrySize);
    }
  }

private:
  int LinkSize() const { return FBig ? 8 : 4; }
  bool ReadAt(int64_t offset, uint8_t* buffer, int count) {
    return FStream.Seek(offset, TSeekOrigin::soBeginning) == offset &&
           FStream.Read(buffer, static_cast<size_t>(count)) == static_cast<size_t>(count);
  }
  uint64_t Decode(const uint8_t* bytes, int count) const {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | bytes[FBigEndian ? i : count - 1 - i];
    return value;
  }

  TStream& FStream;
  bool FBigEndian = false;
  bool FBig = false;
};

// The stream libtiff appends through: everything at or past the old end
// goes to the file at once, while writes into the old file (the link to
// the new directory) are held back and read back from memory, to be put in
// place only once the new page is on the disk.
class THeldLinkStream : public TStream {
public:
  THeldLinkStream(TStream& file, int64_t end) : FFile(file), FEnd(end) {}

  size_t Read(void* buffer, size_t count) override {
    const int64_t start = FPosition;
    if (FFile.Seek(start, TSeekOrigin::soBeginning) != start) return 0;
    const size_t got = FFile.Read(buffer, count);
    auto* bytes = static_cast<uint8_t*>(buffer);
    for (const auto& [offset, held] : FHeld)
      for (size_t i = 0; i < held.size(); ++i) {
        const int64_t at = offset + static_cast<int64_t>(i) - start;
        if (at >= 0 && at < static_cast<int64_t>(got)) bytes[at] = held[i];
      }
    FPosition += static_cast<int64_t>(got);
    return got;
  }

  size_t Write(const void* buffer, size_t count) override {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    size_t done = 0;
    if (FPosition < FEnd) {
      done = std::min(count, static_cast<size_t>(FEnd - FPosition));
      Hold(FPosition, bytes, done);
      FPosition += static_cast<int64_t>(done);
    }
    if (done == count) return count;
    if (FFile.Seek(FPosition, TSeekOrigin::soBeginning) != FPosition) return done;
    const size_t written = FFile.Write(bytes + done, count - done);
    FPosition += static_cast<int64_t>(written);
    return done + written;
  }

  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const int64_t base = origin == TSeekOrigin::soBeginning ? 0
                         : origin == TSeekOrigin::soCurrent ? FPosition
                                                            : Size();
    if (base < 0 || base + offset < 0) return -1;
    FPosition = base + offset;
    return FPosition;
  }

  int64_t Size() override { return std::max(FFile.Size(), FEnd); }
  void SetSize(int64_t) override { throw EWriteError(); }

  // The one small write that links the new page in: offset and bytes.
  const std::pair<int64_t, std::vector<uint8_t>>* Link() const {
    return FHeld.size() == 1 && FHeld.front().second.size() <= 8 ? &FHeld.front() : nullptr;
  }

private:
  void Hold(int64_t offset, const uint8_t* bytes, size_t count) {
    for (auto& [at, held] : FHeld)
      if (at == offset && held.size() == count) {
        std::memcpy(held.data(), bytes, count);
        return;
      }
    FHeld.emplace_back(offset, std::vector<uint8_t>(bytes, bytes + count));
  }

  TStream& FFile;
  int64_t FEnd;
  int64_t FPosition = 0;
  std::vector<std::pair<int64_t, std::vector<uint8_t>>> FHeld;
};

void WriteAt(TStream& stream, int64_t offset, const std::vector<uint8_t>& bytes) {
  stream.SetPosition(offset);
  stream.WriteBuffer(bytes.data(), bytes.size());
}

} // namespace

void AppendTiffPage(TStream& stream, const std::function<void(TStream&)>& writePage,
                    const std::function<void()>& flush) {
  const int64_t end = stream.Size();
  const std::string damage = TTiffChain(stream).Check();
  // What is no TIFF file at all fails as libtiff's own opening would.
  if (damage == kNotTiff) throw ETiffError("TIFFOpen");
  if (!damage.empty()) throw ETiffError("Cannot append to this TIFF file: " + damage);
  std::vector<uint8_t> old;
  int64_t linkOffset = -1;
  try {
    THeldLinkStream appending(stream, end);
    writePage(appending);
    const auto* link = appending.Link();
    if (link == nullptr) throw ETiffError("TIFFWriteDirectory: the new page was not linked");
    flush();
    old.resize(link->second.size());
    stream.SetPosition(link->first);
    stream.ReadBuffer(old.data(), old.size());
    linkOffset = link->first;
    WriteAt(stream, link->first, link->second);
    flush();
  } catch (...) {
    // Back to the old file, byte for byte: the old link, the old length.
    try {
      if (linkOffset >= 0) WriteAt(stream, linkOffset, old);
      stream.SetSize(end);
      flush();
    } catch (const Exception&) {
      // The failure that stopped the append is the one reported.
    }
    throw;
  }
}

void AppendTiffPageToFile(const std::string& fileName,
                          const std::function<void(TStream&, bool)>& writePage) {
  for (;;) {
    struct stat existing {};
    if (::stat(fileName.c_str(), &existing) != 0 && errno == ENOENT) {
      // Made whole aside and put in place only while the name is still free;
      // when another writer created it meanwhile, this page goes after its.
      TReplacingFileStream created(fileName);
      writePage(created, false);
      if (created.CommitNew()) return;
      continue;
    }
    TFileStream file(fileName, TFileStream::fmOpenReadWrite, TFileStream::fmShareDenyWrite);
    if (file.Size() == 0) {
      TReplacingFileStream replacement(fileName);
      writePage(replacement, false);
      replacement.Commit();
      return;
    }
    AppendTiffPage(
        file, [&](TStream& stream) { writePage(stream, true); }, [&] { file.Flush(); });
    return;
  }
}
