/*
 * The virtual scanner: the default data source, present on every machine.
 * It feeds deterministic document pages, each with its page number drawn
 * large in the top right corner. With ICAP_PIXELFLAVOR set to TWPF_VANILLA a
 * bilevel page has white as pixel value 0: native transfers carry the
 * reversed palette, memory transfers the inverted data.
 */
#ifndef TESSIVANE_VIRTUALSCANNER_H
#define TESSIVANE_VIRTUALSCANNER_H

#include "tessivane/twain.h"

/* Product name of the virtual scanner (the module virtual.ds). A copy of the
 * module installed as virtual-NAME.ds is a further scanner, "Virtual Scanner
 * NAME", with a state of its own. */
#define VIRTUAL_SCANNER_NAME "Virtual Scanner"

/* Sheets in the feeder at each scan (TWTY_INT32, 0 to 10000, default 3).
 * A duplex scan gives two pages per sheet. */
#define CAP_VIRTUAL_SHEETS (CAP_CUSTOMBASE + 1)

/* Environment variable: sheets in the feeder when the scanner is opened. */
#define VIRTUAL_SHEETS_VARIABLE "TESSIVANE_VIRTUAL_SHEETS"

/* Environment variable naming a configuration file that tests use to make
 * the scanner misbehave. It is read at each MSG_OPENDS; one setting a line:
 *   sheets=N            sheets in the feeder
 *   cancel=P            the transfer of page P is cancelled by the operator
 *   failxfer=P          the transfer of page P fails with a paper jam
 *   offline=N           the device reports offline for the first N reads of
 *                       CAP_DEVICEONLINE (-1: always)
 *   insistui=1          enabling without the user interface is answered
 *                       with TWRC_CHECKSTATUS, and the interface is shown
 *   closewindow=1       with its interface shown, the operator closes the
 *                       scanner's window without scanning (MSG_CLOSEDSREQ)
 *   nosizes=1           ICAP_SUPPORTEDSIZES is not supported (not listed in
 *                       CAP_SUPPORTEDCAPS, its calls fail)
 *   fail=DAT MSG [CAP] CC   that triplet fails with condition code CC
 *   hang=DAT MSG [CAP]  that triplet blocks until the release file exists
 *   throw=DAT MSG [CAP] that triplet throws a C++ exception
 *   release=PATH        the release file of hang (default: none; the hang
 *                       then ends after 60 seconds)
 *   trace=PATH          every triplet received is appended to this file as
 *                       "DG DAT MSG", capability sets with their container as
 *                       it arrived (see the scanner's sources), image layout
 *                       sets with "frame=L,T,R,B numbers=DOC,PAGE,FRAME", each
 *                       edge as TW_FIX32 Whole:Frac
 * Numbers are decimal or 0x hexadecimal. */
#define VIRTUAL_CONFIG_VARIABLE "TESSIVANE_VIRTUAL_SCANNER_CONFIG"

#endif
