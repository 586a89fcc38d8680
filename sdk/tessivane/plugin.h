/*
 * Plug-in modules: shared libraries that work on one page at a time.
 *
 * The application loads, at start, every file whose name ends in ".so" in
 * its program folder. A module is kept when it exports all four functions
 * below by these plain (unmangled, C) names; a file that does not load or
 * lacks one of them is skipped without a message. Modules stay loaded until
 * the application ends and are unloaded from the last loaded to the first.
 *
 * Build a module from this folder alone: include "tessivane/plugin.h"
 * (which brings tessivane/pagemem.h and tessivane/dib.h), compile as
 * position-independent C or C++, and link with the application's block
 * library, libtessivane_pagemem.so:
 *
 *     cc -shared -fPIC -I<sdk> -o mymodule.so mymodule.c \
 *        -L<program folder> -ltessivane_pagemem
 *
 * Every call comes from the application's user-interface thread, one at a
 * time, in the order StartProcess, ExecuteProcess once per page, EndProcess.
 * A run is either the page shown in the viewer or, one after the other, the
 * first page of every file of the batch. StartProcess and EndProcess are
 * paired: EndProcess follows every StartProcess that accepted the run, also
 * when the run failed on the way.
 *
 * Texts are null-terminated UTF-8.
 */
#ifndef TESSIVANE_PLUGIN_H
#define TESSIVANE_PLUGIN_H

#include "tessivane/dib.h"
#include "tessivane/pagemem.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The application's main window, as the windowing system names it (0 when
 * it has none, for example without a display). Only for parenting windows
 * of the module's own. */
typedef uintptr_t TSV_WINDOW;

/* The size of the buffer GetProcessDescription fills. */
#define TSV_DESCRIPTION_SIZE 256

/* Called once, when the module is loaded: writes the text the operator
 * sees in the list of modules, at most 255 bytes and a terminating null,
 * into a buffer of TSV_DESCRIPTION_SIZE bytes. */
typedef void (*TSV_GetProcessDescription)(char* description);

/* Called at the start of every run. A result below 0 refuses the run:
 * nothing is processed and EndProcess is not called. */
typedef int32_t (*TSV_StartProcess)(TSV_WINDOW mainWindow);

/* Called once per page.
 *
 * fileName: the full path of the file the page comes from, or "" for a
 * page that has no file yet (a page just scanned). pageIndex: the page's
 * number within that file counted from 0 (always 0 in a batch run; -1 for a
 * page shown without page tabs).
 *
 * page: a block (tessivane/pagemem.h) holding the page as a packed
 * device-independent bitmap (tessivane/dib.h): the 40-byte information
 * header, the palette of 2, 16 or 256 entries for 1, 4 and 8 bits per pixel
 * (none for 24), then the rows bottom-up, each padded to a multiple of 4
 * bytes. A stored bilevel page has index 0 black and 1 white.
 *
 * The module MAY lock the block (tsv_mem_lock), change pixels, palette
 * entries and the resolution fields in place, and unlock it again.
 * The module MUST NOT free, resize or keep the block, nor change the width,
 * height, bits per pixel, compression or palette size: after the call the
 * block must still hold a valid packed bitmap that fits the block. The
 * application checks the block when the call returns (header, sizes,
 * palette) and rejects a page that is no longer valid with an error; it
 * then frees the block itself.
 *
 * Result: 0 when the page was changed and is to be stored; any other value
 * when there is nothing to store (the file is then left as it was). */
typedef int32_t (*TSV_ExecuteProcess)(const char* fileName, int32_t pageIndex, TSV_HANDLE page);

/* Called at the end of every run StartProcess accepted. A result of 1 asks
 * the application to read the batch folder again (for a module that added,
 * removed or rewrote files itself); any other value asks nothing. */
typedef int32_t (*TSV_EndProcess)(void);

/* The exports a module defines, for example:
 *
 *   TSV_PLUGIN_EXPORT void GetProcessDescription(char* description);
 *   TSV_PLUGIN_EXPORT int32_t StartProcess(TSV_WINDOW mainWindow);
 *   TSV_PLUGIN_EXPORT int32_t ExecuteProcess(const char* fileName, int32_t pageIndex,
 *                                            TSV_HANDLE page);
 *   TSV_PLUGIN_EXPORT int32_t EndProcess(void);
 */
#ifdef __cplusplus
#define TSV_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#else
#define TSV_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
}
#endif

#endif
