#pragma once

#include "raster/DIB.h"

// The page algorithms written the plain way, step by step, one pixel at a
// time through GetPixel and SetPixel: the oracle the fast forms in the
// library are checked against.
namespace plain {

double DetectSkew(const TDIB& page, int stripHeight, double maxAngle, double angleStep);
void Rotate(TDIB& page, bool fillWithWhite, bool interpolate, double rowAngle, double columnAngle,
            bool enlarge);
void FindBlobs(const TDIB& page, int minWidth, int minHeight, int minPixelCount, int maxWidth,
               int maxHeight, int maxPixelCount, TBlobList* blobs);
void FillRect(TDIB& page, const TPixelRect& rect, int value);
int Despeckle(TDIB& page, int maxWidth, int maxHeight);

} // namespace plain
