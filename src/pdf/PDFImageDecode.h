#pragma once

#include "pdf/PDFFile.h"
#include "raster/DIB.h"

// Decodes an image XObject into a new raster page, rows from the top:
//  - DeviceGray (and CalGray, and ICC-based spaces of one component): 1 bit
//    (0 = black), 2 and 4 bits as 16 grey levels, 8 and 16 bits as 256;
//  - DeviceRGB (CalRGB, ICC-based of three components): 24 bits;
//  - Indexed over either: 1, 4 or 8 bits with the image's palette;
// from raw samples (no filter, FlateDecode with its predictors,
// RunLengthDecode), DCTDecode data (one or three components) or
// CCITTFaxDecode data. A Decode array may invert the samples. Everything
// else, and data that ends before the image does, raises EPDFReadError;
// sizes beyond the raster library's bound raise EDIBError before anything
// large is allocated.
void DecodePDFImage(TPDFFile& file, const TPDFObject& image, TDIB& page);
