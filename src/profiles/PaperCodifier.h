#pragma once

#include <array>
#include <cstdint>
#include <string>

// One named paper size, in inches.
struct TPaperSize {
  double Width = 0;
  double Height = 0;
  std::string Name; // at most 10 characters
};

// The fixed table of named paper sizes: A0 to A6, Letter, Legal, Executive,
// Ledger (the only landscape one, 17 by 11), Statement, B4 and B5.
class TPaperCodifier {
public:
  TPaperCodifier();

  // Copies the whole record of the paper named exactly name (case matters)
  // into size. An unknown name leaves size as it was.
  void GetPaperSize(const std::string& name, TPaperSize& size) const;

  int Count() const { return FCount; }
  const TPaperSize& Item(int index) const { return FSizes.at(static_cast<size_t>(index)); }

private:
  std::array<TPaperSize, 14> FSizes;
  int FCount = 0;
};

// The paper that a TWAIN page-size code (TWSS_) names in the table above, or
// an empty name for the codes the table has no paper for (0 for the largest
// area among them).
std::string SupportedSizePaperName(int32_t supportedSize);
