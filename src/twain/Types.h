#pragma once

#include "tessivane/dib.h"
#include "tessivane/twain.h"

#include <cstdint>
#include <string>

// Return codes of the engine's own, beside the standard's.
constexpr uint16_t TWRC_DSMEXCEPTION = 33668; // the manager's entry point raised an exception
constexpr uint16_t TWRC_NOANSWER = 33669;     // the worker did not answer in time

// Anything that raises events: the component itself, or its event thread.
class TTwnObject {
public:
  virtual ~TTwnObject() = default;
};

enum TTwnXferType : uint16_t { TWFX_NATIVE = 0, TWFX_FILES = 1, TWFX_MEMORY = 2, TWFX_FILES2 = 3 };

// How an image is handed to OnImageReady. A "DIB section" is a page in a
// block of the shared registry laid out as a packed DIB (header, full colour
// table, bits) with its header completed: THDT_DIBHANDLE hands over the
// block alone, THDT_DIBSEC the block (locked once, so the pointers to its
// header and bits stay valid until the receiver frees it), THDT_DIBRAW the
// source's own block unchanged, THDT_MEMPTR no image but the strips of a
// memory transfer.
enum TTwnHdlType : uint8_t {
  THDT_DIBHANDLE = 0,
  THDT_DIBSEC = 1,
  THDT_DIBRAW = 2,
  THDT_MEMPTR = 3
};

enum TTwnErrorLevel : uint8_t { ML_NONE, ML_ERROR, ML_INFO, ML_FULL };

// A file format is its TWFF_ code (TWFF_TIFF to TWFF_EXIF); a set of formats
// holds bit n for code n.
using TTwnFileFmt = uint16_t;
using TTwnFileFmts = uint32_t;
constexpr TTwnFileFmts FileFmtBit(TTwnFileFmt format) {
  return TTwnFileFmts{1} << format;
}

// A device event is its TWDE_ code (TWDE_CHECKAUTOMATICCAPTURE 0 to
// TWDE_POWERSAVENOTIFY 16); a set holds bit n for code n.
using TTwnDeviceEvent = uint16_t;
using TTwnDeviceEvents = uint32_t;
constexpr TTwnDeviceEvents DeviceEventBit(TTwnDeviceEvent event) {
  return TTwnDeviceEvents{1} << event;
}
constexpr int kDeviceEventCount = 17;

using TTwnBitmapInfoHeader = tsv_bitmap_info_header;

// A DIB header followed by its colour table (blue, green, red, 0 per entry).
struct TTwnBitmapInfo {
  TTwnBitmapInfoHeader bmiHeader;
  uint32_t bmiColors[1];
};

// What the transfers read of the component's settings, taken whole at the
// start of each image.
struct TTwnTransferSettings {
  TTwnXferType XferMech = TWFX_NATIVE;
  TTwnHdlType DIBHandleType = THDT_DIBHANDLE;
  bool SwapMemRGB = true;
  std::string Filename;
  TTwnFileFmt FileFormat = TWFF_BMP;
  bool ReturnHandle = true;
};

// The acquire mode, set when the source is enabled.
enum class TAcquireMode : uint8_t { Idle, DisableAfterAcquire, StayEnabled };
