#pragma once

#include "tessivane/pagemem.h"
#include "twain/Memory.h"

#include <cstdint>

// The page of a native transfer, taken from the block the source delivered
// (allocated through the manager's memory functions) into a block of the
// shared registry that the application keeps after the manager is gone:
// raw, the packed DIB unchanged; otherwise a DIB section (BuildDIBSection).
// A TIFF (recognised by its signature, as sources on Linux may deliver) is
// read through the raster library into a packed DIB first.
// The source's block is always freed through the same memory functions; a
// block of the registry that needs no change is handed on as it is. On
// failure the result is null and `condition` says why: TWCC_BADVALUE for
// no image or one in no form this engine reads, TWCC_LOWMEMORY.
TSV_HANDLE TakeNativePage(const TTwnMemory& memory, TW_HANDLE image, bool raw, uint16_t& condition);
