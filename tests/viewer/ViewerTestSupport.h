#pragma once

#include "support/TestApplication.h"
#include "viewer/ImageScrollBox.h"

#include <memory>
#include <string>

namespace test {

// A shown viewer whose viewport is exactly width x height (no frame, no
// scroll bars until it needs them).
std::unique_ptr<TImageScrollBox> ShownViewer(int width, int height);

// A bilevel page of random strokes (0 black, 1 white), or a page of random
// pixels in any other format, at 300 dpi.
void FillPage(TDibGraphic& page, int width, int height, TImageFormat format, uint32_t seed);

// Writes pages as one TIFF file through the format's own writer.
void WriteTiffPages(const std::string& path, int count, int width, int height, TImageFormat format);

} // namespace test
