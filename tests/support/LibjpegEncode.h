#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

#include <jpeglib.h>

namespace test {

// JPEG data coded by libjpeg directly, independently of the program's own
// binding: sample(x, y, component) gives each sample; quality and the JFIF
// density fields as given (libjpeg's defaults are quality 75, unit 0,
// density 1).
std::vector<uint8_t> LibjpegEncode(int width, int height, int components, J_COLOR_SPACE space,
                                   int quality, const std::function<int(int, int, int)>& sample,
                                   int densityUnit = 0, int density = 1);

} // namespace test
