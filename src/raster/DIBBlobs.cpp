#include "raster/DIB.h"

#include "core/Rounding.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <vector>

// Groups of 8-connected black pixels are found in one pass over the rows,
// row by row: each row is cut into runs of black pixels, a run joins the
// groups of the runs of the row above that it touches (diagonally included),
// and a group is finished when no run of the next row touches it. Groups are
// then put in the order in which a scan down each column, column after
// column, meets their first pixel: by their leftmost column, then by their
// topmost pixel in that column. Memory grows with the width of the page and
// with the number of groups reported, not with the size of a group.

namespace {

const char* const kNeeds1Bit = "This operation requires 1 bit per pixel bitmap !";

struct TRun {
  int first, last; // columns, inclusive
  int label;
};

struct TGroup {
  int parent;
  int left, top, right, bottom;
  int topOfLeft; // the topmost row of the group in its leftmost column
  int lastRow;   // the last row holding one of its runs; -1 once reported
  int64_t count;
};

struct TFound {
  int left, topOfLeft;
  TBlob blob;
};

class TGroupFinder {
public:
  TGroupFinder(int minWidth, int minHeight, int minCount, int maxWidth, int maxHeight, int maxCount)
      : FMinWidth(minWidth), FMinHeight(minHeight), FMinCount(std::max(0, minCount)),
        FMaxWidth(maxWidth), FMaxHeight(maxHeight), FMaxCount(maxCount) {}

  // Takes the runs of the next row, top row first.
  void Row(int y, std::vector<TRun>& runs) {
    size_t p = 0;
    for (TRun& run : runs) {
      while (p < FPrevious.size() && FPrevious[p].last < run.first - 1) ++p;
      int root = -1;
      for (size_t q = p; q < FPrevious.size() && FPrevious[q].first <= run.last + 1; ++q)
        root = root < 0 ? Find(FPrevious[q].label) : Join(root, FPrevious[q].label);
      if (root < 0) root = NewGroup(run, y);
      Extend(FGroups[static_cast<size_t>(root)], run, y);
      run.label = root;
    }
    for (TRun& run : runs) {
      run.label = Find(run.label);
      FGroups[static_cast<size_t>(run.label)].lastRow = y;
    }
    Finish(y);
    FPrevious.swap(runs);
  }

  // Reports the groups still open after the last row, and returns every group
  // found, in the order of discovery.
  std::vector<TFound>& End() {
    Finish(INT_MAX);
    std::sort(FFound.begin(), FFound.end(), [](const TFound& a, const TFound& b) {
      return a.left != b.left ? a.left < b.left : a.topOfLeft < b.topOfLeft;
    });
    return FFound;
  }

private:
  int Find(int label) {
    while (FGroups[static_cast<size_t>(label)].parent != label) {
      TGroup& g = FGroups[static_cast<size_t>(label)];
      g.parent = FGroups[static_cast<size_t>(g.parent)].parent;
      label = g.parent;
    }
    return label;
  }

  int Join(int root, int label) {
    const int other = Find(label);
    if (other == root) return root;
    TGroup& into = FGroups[static_cast<size_t>(root)];
    TGroup& from = FGroups[static_cast<size_t>(other)];
    if (from.left < into.left || (from.left == into.left && from.topOfLeft < into.topOfLeft)) {
      into.left = from.left;
      into.topOfLeft = from.topOfLeft;
    }
    into.top = std::min(into.top, from.top);
    into.right = std::max(into.right, from.right);
    into.bottom = std::max(into.bottom, from.bottom);
    into.count += from.count;
    from.parent = root;
    FUnused.push_back(other);
    return root;
  }

  int NewGroup(const TRun& run, int y) {
    const TGroup group{0, run.first, y, run.last, y, y, y, 0};
    int label;
    if (!FFree.empty()) {
      label = FFree.back();
      FFree.pop_back();
      FGroups[static_cast<size_t>(label)] = group;
    } else {
      label = static_cast<int>(FGroups.size());
      FGroups.push_back(group);
    }
    FGroups[static_cast<size_t>(label)].parent = label;
    return label;
  }

  static void Extend(TGroup& group, const TRun& run, int y) {
    if (run.first < group.left) {
      group.left = run.first;
      group.topOfLeft = y;
    }
    group.right = std::max(group.right, run.last);
    group.bottom = y;
    group.count += run.last - run.first + 1;
  }

  // Groups of the previous row that no run of row y joined are complete.
  void Finish(int y) {
    for (const TRun& run : FPrevious) {
      const int root = Find(run.label);
      TGroup& group = FGroups[static_cast<size_t>(root)];
      if (group.lastRow == y || group.lastRow < 0) continue;
      group.lastRow = -1;
      Report(group);
      FUnused.push_back(root);
    }
    // No run refers to the joined or finished labels any more.
    FFree.insert(FFree.end(), FUnused.begin(), FUnused.end());
    FUnused.clear();
  }

  void Report(const TGroup& group) {
    if (group.count < FMinCount || group.count > FMaxCount) return;
    const int width = group.right - group.left + 1;
    const int height = group.bottom - group.top + 1;
    if (width < FMinWidth || width > FMaxWidth || height < FMinHeight || height > FMaxHeight)
      return;
    FFound.push_back(
        {group.left,
         group.topOfLeft,
         {{group.left, group.top, group.right, group.bottom}, static_cast<int32_t>(group.count)}});
  }

  int FMinWidth, FMinHeight;
  int64_t FMinCount;
  int FMaxWidth, FMaxHeight;
  int64_t FMaxCount;
  std::vector<TGroup> FGroups;
  std::vector<int> FFree, FUnused;
  std::vector<TRun> FPrevious;
  std::vector<TFound> FFound;
};

// The runs of black pixels of one row.
void FindRuns(const uint8_t* bytes, int width, bool blackIsOne, std::vector<uint64_t>& words,
              std::vector<TRun>& runs) {
  runs.clear();
  const int count = (width + 63) / 64;
  const int rowBytes = (width + 7) / 8;
  words.assign(static_cast<size_t>(count), 0);
  std::memcpy(words.data(), bytes, static_cast<size_t>(rowBytes));
  for (uint64_t& word : words) {
    word = __builtin_bswap64(word);
    if (!blackIsOne) word = ~word;
  }
  if (width % 64) words.back() &= ~(~uint64_t{0} >> (width % 64));

  int x = 0;
  while (x < width) {
    // The next black pixel from x, then the next white one after it.
    int i = x / 64;
    uint64_t w = words[static_cast<size_t>(i)] & (~uint64_t{0} >> (x % 64));
    while (w == 0 && ++i < count) w = words[static_cast<size_t>(i)];
    if (w == 0) break;
    const int first = i * 64 + std::countl_zero(w);
    i = first / 64;
    w = ~words[static_cast<size_t>(i)] & (~uint64_t{0} >> (first % 64));
    while (w == 0 && ++i < count) w = ~words[static_cast<size_t>(i)];
    const int end = w == 0 ? width : std::min(width, i * 64 + std::countl_zero(w));
    runs.push_back({first, end - 1, -1});
    x = end;
  }
}

} // namespace

void TDIB::FindBlobs(int minWidth, int minHeight, int minPixelCount, int maxWidth, int maxHeight,
                     int maxPixelCount, TBlobList* blobs) const {
  RequireImage();
  if (BitCount() != 1) throw EDIBError(kNeeds1Bit);
  // The page is only read: without a list there is nothing to report.
  if (blobs == nullptr) return;
  const int width = Width();
  const bool blackIsOne = BlackIndex() != 0;
  TGroupFinder finder(minWidth, minHeight, minPixelCount, maxWidth, maxHeight, maxPixelCount);
  std::vector<uint64_t> words;
  std::vector<TRun> runs;
  for (int y = 0; y < Height(); ++y) {
    FindRuns(ScanLine(y), width, blackIsOne, words, runs);
    finder.Row(y, runs);
  }
  for (const TFound& found : finder.End()) blobs->Add(found.blob.Rect, found.blob.PixelCount);
}

void TDIB::FillRect(const TPixelRect& rect, int value) {
  RequireImage();
  // Only the part of the rectangle that lies on the page is written.
  const int left = std::max(0, std::min(rect.Left, rect.Right));
  const int right = std::min(Width() - 1, std::max(rect.Left, rect.Right));
  const int top = std::max(0, std::min(rect.Top, rect.Bottom));
  const int bottom = std::min(Height() - 1, std::max(rect.Top, rect.Bottom));
  if (left > right || top > bottom) return;
  switch (BitCount()) {
  case 1: {
    const int firstByte = left / 8, lastByte = right / 8;
    const uint8_t fill = value > 0 ? 0xFF : 0x00;
    for (int y = top; y <= bottom; ++y) {
      uint8_t* row = ScanLine(y);
      auto put = [&](int i, uint8_t mask) {
        row[i] = static_cast<uint8_t>((row[i] & ~mask) | (fill & mask));
      };
      if (firstByte == lastByte) {
        put(firstByte, static_cast<uint8_t>((0xFF >> (left % 8)) & (0xFF << (7 - right % 8))));
        continue;
      }
      put(firstByte, static_cast<uint8_t>(0xFF >> (left % 8)));
      std::memset(row + firstByte + 1, fill, static_cast<size_t>(lastByte - firstByte - 1));
      put(lastByte, static_cast<uint8_t>(0xFF << (7 - right % 8)));
    }
    break;
  }
  case 8:
    for (int y = top; y <= bottom; ++y)
      std::memset(ScanLine(y) + left, static_cast<uint8_t>(value),
                  static_cast<size_t>(right - left + 1));
    break;
  default:
    for (int y = top; y <= bottom; ++y)
      for (int x = left; x <= right; ++x) SetPixel(x, y, value);
  }
}

void TDIB::FillBlobRects(const TBlobList& blobs, int first, int last, int value) {
  if (last < first) return;
  if (first < 0 || last >= blobs.Count()) throw EDIBError("Blob index out of range");
  for (int i = first; i <= last; ++i) FillRect(blobs.Item(i).Rect, value);
}

int TDIB::Despeckle(int maxWidth, int maxHeight) {
  RequireImage();
  if (BitCount() != 1) throw EDIBError(kNeeds1Bit);
  auto automatic = [](int dpi) {
    const auto size = static_cast<int>(Round(dpi / 2.54 / 20));
    return size == 0 ? 2 : size;
  };
  if (maxWidth <= 0) maxWidth = automatic(XResolution());
  if (maxHeight <= 0) maxHeight = automatic(YResolution());
  TBlobList blobs;
  FindBlobs(0, 0, 0, maxWidth, maxHeight, INT_MAX, &blobs);
  FillBlobRects(blobs, 0, blobs.Count() - 1, WhiteIndex());
  return blobs.Count();
}
