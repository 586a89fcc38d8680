#pragma once

#include "../virtual/VirtualWire.h"
#include "raster/DIB.h"

#include <sane/sane.h>

#include <cstdint>
#include <vector>

// A scanned page as the TWAIN source delivers it: a packed DIB in a block of
// the manager's memory (rows from the bottom, padded to 4 bytes, colour as
// blue-green-red, 1-bit pages with the black and white palette, 1 = white).
// It is built there as the lines arrive, so a native transfer hands the
// block over without copying the page.
class TSanePage {
public:
  TSanePage() = default;
  // A page of 1, 8 or 24 bits in a new block; raises ESaneError when the
  // manager has no memory for it.
  TSanePage(const TSourceMemory& memory, int pixelType, int width, int height, int xDpi, int yDpi);
  TSanePage(TSanePage&& other) noexcept;
  TSanePage& operator=(TSanePage&& other) noexcept;
  TSanePage(const TSanePage&) = delete;
  TSanePage& operator=(const TSanePage&) = delete;
  ~TSanePage();

  bool Empty() const { return FBlock == nullptr; }
  int PixelType() const { return FPixelType; }
  int Width() const { return FLayout.Width; }
  int Height() const { return FLayout.Height; }
  int BitsPerPixel() const { return FLayout.Bits; }
  size_t RowBytes() const { return static_cast<size_t>(DIBRowBytes(FLayout.Width, FLayout.Bits)); }
  // Rows are numbered from the top.
  uint8_t* Row(int row) {
    return FBits + static_cast<size_t>(FLayout.Height - 1 - row) * FLayout.Stride;
  }
  const uint8_t* Row(int row) const {
    return FBits + static_cast<size_t>(FLayout.Height - 1 - row) * FLayout.Stride;
  }
  // A row as a memory transfer sends it: RowBytes() bytes, colour as red,
  // green, blue.
  void CopyRow(int row, uint8_t* out) const;
  // A copy of the page, for writing it to a file.
  TDIB ToDIB() const;
  // The block, unlocked; from now on the application's to free.
  TW_HANDLE Release();

private:
  void Free();
  TSourceMemory FMemory;
  TW_HANDLE FBlock = nullptr;
  uint8_t* FBits = nullptr;
  TNewDIBLayout FLayout{};
  int FPixelType = 0;
  int FXDpi = 0, FYDpi = 0;
};

// Builds a page from the frames of one sane_start: a grey or colour frame,
// or a red, green and blue frame of a three-pass scanner. 1-bit grey data
// (SANE's 1 = black) becomes a bilevel page (1 = white); 16-bit samples keep
// their high byte; a frame of unknown length grows the page line by line.
class TSanePageBuilder {
public:
  TSanePageBuilder(const TSourceMemory& memory, int xDpi, int yDpi)
      : FMemory(memory), FXDpi(xDpi), FYDpi(yDpi) {}
  // Starts the next frame; raises ESaneError for a frame it cannot take.
  void BeginFrame(const SANE_Parameters& parameters);
  // Data as sane_read gave it, any length.
  void Add(const uint8_t* data, size_t length);
  // The page once the last frame has ended: as many rows as lines came,
  // empty when none did.
  TSanePage Finish();

private:
  void TakeLine(const uint8_t* line);
  // Row `row` of the page, made when it is the next new one.
  uint8_t* Row(size_t row);
  TSourceMemory FMemory;
  int FXDpi, FYDpi;
  SANE_Parameters FFrame{};
  bool FStarted = false;
  int FChannel = -1; // 0 to 2 for the frames of a three-pass scan, else -1
  int FLineInFrame = 0;
  std::vector<uint8_t> FPartial; // the start of a line not yet complete
  int FPixelType = 0, FWidth = 0, FBits = 0;
  size_t FRowBytes = 0;
  size_t FHeight = 0; // rows made so far
  // The page of the announced height, while the lines fit it.
  TSanePage FPage;
  // Otherwise every row, top row first, FRowBytes each.
  std::vector<uint8_t> FGrown;
};
