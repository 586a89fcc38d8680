#pragma once

#include "graphics/DibGraphic.h"

#include <QImage>
#include <QRect>
#include <QSize>

// The display copy is the page at the zoom shown, in true colour:
// - a bilevel page with anti-aliasing: the anti-aliased reduction to the
//   display size (each pixel's grey tells how much black its source area
//   holds), in true colour;
// - any other page: the plain stretch to the display size, each display
//   pixel taking one source pixel, except that a true-colour page of more
//   than 1024 pixels averages the source area each display pixel covers.
// Only the part asked for is built; it holds exactly what the whole display
// copy holds there. The page's resolution goes with it.
QImage BuildDisplayPart(const TDibGraphic& page, QSize displaySize, bool antiAliased,
                        const QRect& part);
