#pragma once

#include "tessivane/twain.h"

#include <cstdint>
#include <string>
#include <vector>

// The memory functions the manager gave (DAT_ENTRYPOINT), or the shared
// block registry before it did.
struct TSourceMemory {
  DSM_MEMALLOCATE Allocate = nullptr;
  DSM_MEMFREE Free = nullptr;
  DSM_MEMLOCK Lock = nullptr;
  DSM_MEMUNLOCK Unlock = nullptr;
  TW_HANDLE Alloc(size_t size) const;
  void* LockHandle(TW_HANDLE handle) const;
  void UnlockHandle(TW_HANDLE handle) const;
  void FreeHandle(TW_HANDLE handle) const;
  // A new block holding size bytes from bytes; null when none can be had.
  TW_HANDLE Copy(const void* bytes, size_t size) const;
};

// Whether values holds value; where (0 when it does not).
bool Contains(const std::vector<double>& values, double value);
uint32_t IndexOf(const std::vector<double>& values, double value);

// The paper sizes of ICAP_SUPPORTEDSIZES the sources know, in inches.
struct TPaperInches {
  int Size;
  double Width, Height;
};
const std::vector<TPaperInches>& PaperSizes();

// DAT_IMAGEINFO of an uncompressed page: grey and bilevel pages have one
// sample of bitsPerPixel, colour three of 8; resolutions in dots per inch,
// given per ICAP_UNITS unit.
TW_IMAGEINFO UncompressedImageInfo(int width, int height, int pixelType, int bitsPerPixel,
                                   double xDpi, double yDpi, double unitsPerInch);
// A frame in inches, in ICAP_UNITS units.
TW_FRAME FrameInUnits(const TW_FRAME& inches, double unitsPerInch);
// DAT_SETUPMEMXFER for rows of rowBytes: at least one row, some 64 KB of
// whole rows preferred, no upper bound.
TW_SETUPMEMXFER StripSizes(size_t rowBytes);

// A container as the application sent it, items read by their type:
// numbers (integers, booleans, TW_FIX32 as floats), frames, texts.
struct TReceived {
  uint16_t ConType = 0;
  uint16_t ItemType = 0;
  std::vector<double>
      Values; // one value: 1; array, enumeration: the items; range: min max step default current
  std::vector<TW_FRAME> Frames; // TWTY_FRAME items
  uint32_t CurrentIndex = 0;
  uint32_t DefaultIndex = 0;
  std::string Trace; // the container as text, for the trace file

  // The value the application means: the one value, the enumeration's
  // current item, the range's current value.
  bool Current(double& value) const;
};

// Reads the container of a capability set; false when it is malformed.
bool ReadContainer(const TSourceMemory& memory, const TW_CAPABILITY& cap, TReceived& received);

// Containers for replies, allocated through the manager's memory.
TW_HANDLE OneValue(const TSourceMemory& memory, uint16_t itemType, double value);
TW_HANDLE Enumeration(const TSourceMemory& memory, uint16_t itemType,
                      const std::vector<double>& values, uint32_t current, uint32_t defaultIndex);
TW_HANDLE Range(const TSourceMemory& memory, uint16_t itemType, double minimum, double maximum,
                double step, double defaultValue, double current);
TW_HANDLE Array(const TSourceMemory& memory, uint16_t itemType, const std::vector<double>& values);
TW_HANDLE FrameEnumeration(const TSourceMemory& memory, const TW_FRAME& frame);
TW_HANDLE FrameOneValue(const TSourceMemory& memory, const TW_FRAME& frame);

TW_FIX32 ToFix32(double value);
double FromFix32(TW_FIX32 value);

// How many of the ICAP_UNITS unit make an inch; pixels count as inches here,
// the caller turning them by its resolution.
double UnitsInAnInch(uint16_t units);

// The file a file transfer writes, as DAT_SETUPFILEXFER sets it: BMP or
// TIFF; until set, "TWAIN.TMP" in the temporary folder as BMP.
struct TFileXferTarget {
  std::string FileName; // empty: the default name
  uint16_t Format = TWFF_BMP;

  std::string Name() const;
  // Answers DAT_SETUPFILEXFER for a source in state `state`: MSG_GET the
  // target, MSG_GETDEFAULT the default, MSG_SET (states 4 to 6) a new one.
  // Returns TWCC_SUCCESS when answered, else the condition to fail with.
  TW_UINT16 Setup(TW_UINT16 msg, pTW_SETUPFILEXFER setup, int state);
};
