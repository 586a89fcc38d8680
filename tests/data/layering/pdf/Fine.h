// A pdf header that uses only what lies below it.
#include "core/Exception.h"
#include "raster/DIB.h"
