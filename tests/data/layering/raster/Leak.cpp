// A raster source that reaches up into pdf and into Qt Widgets.
#include "pdf/PDFDocument.h"
#include "raster/DIB.h"

#include <QWidget>
