#include "ReferenceFaxCoder.h"

#include "pdf/CCITTCodes.h"

namespace pdftest {

namespace {

class TBitWriter {
public:
  void Put(TFaxCode code) {
    for (int i = code.length - 1; i >= 0; --i) FBits.push_back((code.code >> i) & 1);
  }
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> bytes((FBits.size() + 7) / 8, 0);
    for (size_t i = 0; i < FBits.size(); ++i)
      if (FBits[i]) bytes[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
    return bytes;
  }

private:
  std::vector<bool> FBits;
};

// Coded colour of a pixel: 1 black (source bit 0), 0 white; positions at or
// beyond the width read as nothing.
struct TRow {
  std::vector<int> pixels;
  int Width() const { return static_cast<int>(pixels.size()); }
  // The next changing element after p: where the colour first differs from pixel p.
  int NextChange(int p) const {
    if (p >= Width()) return Width();
    int q = p + 1;
    while (q < Width() && pixels[static_cast<size_t>(q)] == pixels[static_cast<size_t>(p)]) ++q;
    return q;
  }
  int FirstBlack() const {
    int q = 0;
    while (q < Width() && pixels[static_cast<size_t>(q)] == 0) ++q;
    return q;
  }
  int At(int p) const { return pixels[static_cast<size_t>(p)]; }
};

void PutRun(TBitWriter& out, int run, bool white) {
  while (run > 2623) {
    out.Put(kExtendedMakeUp[12]);
    run -= 2560;
  }
  if (run > 63) {
    const int m = run / 64;
    out.Put(m <= 27 ? (white ? kWhiteMakeUp : kBlackMakeUp)[m - 1] : kExtendedMakeUp[m - 28]);
    run %= 64;
  }
  out.Put((white ? kWhiteTerminating : kBlackTerminating)[run]);
}

void CodeOneD(TBitWriter& out, const TRow& row) {
  int p = 0;
  bool white = true;
  while (true) {
    int q = p;
    while (q < row.Width() && row.At(q) == (white ? 0 : 1)) ++q;
    PutRun(out, q - p, white);
    p = q;
    if (p >= row.Width()) return;
    white = !white;
  }
}

// b1: the first changing element of the reference row to the right of a0
// whose colour is opposite to the colour of a0.
int FindB1(const TRow& reference, int a0, int colour, bool start) {
  for (int p = start ? 0 : a0 + 1; p < reference.Width(); ++p) {
    const int before = p == 0 ? 0 : reference.At(p - 1);
    if (reference.At(p) != before && reference.At(p) != colour) return p;
  }
  return reference.Width();
}

void CodeTwoD(TBitWriter& out, const TRow& row, const TRow& reference) {
  const int width = row.Width();
  int a0 = 0;
  bool start = true;
  int colour = 0; // of a0; white before the row
  while (true) {
    const int a1 = start ? row.FirstBlack() : row.NextChange(a0);
    const int b1 = FindB1(reference, a0, colour, start);
    const int b2 = reference.NextChange(b1);
    if (b2 < a1) {
      out.Put(kPassCode);
      a0 = b2;
    } else if (a1 - b1 >= -3 && a1 - b1 <= 3) {
      out.Put(kVerticalCodes[a1 - b1 + 3]);
      a0 = a1;
      colour = 1 - colour;
    } else {
      const int a2 = row.NextChange(a1);
      out.Put(kHorizontalCode);
      PutRun(out, a1 - a0, colour == 0);
      PutRun(out, a2 - a1, colour != 0);
      a0 = a2;
    }
    start = false;
    if (a0 >= width) return;
  }
}

} // namespace

std::vector<uint8_t> ReferenceFaxCode(const TDIB& page, int mode) {
  TBitWriter out;
  TRow reference{std::vector<int>(static_cast<size_t>(page.Width()), 0)};
  for (int y = 0; y < page.Height() && page.Width() > 0; ++y) {
    TRow row;
    for (int x = 0; x < page.Width(); ++x) row.pixels.push_back(1 - page.GetPixel(x, y));
    if (mode == 0) {
      CodeOneD(out, row);
    } else {
      if (mode == 1) {
        out.Put(kEndOfLine);
        out.Put({0, 1});
      }
      CodeTwoD(out, row, reference);
      reference = row;
    }
  }
  if (mode == 2 && page.Width() > 0 && page.Height() > 0) {
    out.Put(kEndOfLine);
    out.Put(kEndOfLine);
  }
  return out.Bytes();
}

} // namespace pdftest
