#pragma once

#include "graphics/DibGraphic.h"

#include <cstdint>
#include <vector>

// The Group 4 (ITU-T T.6) data of a black-and-white page, ended by the
// end-of-facsimile-block code: coded white where the page looks white,
// whichever palette entry that is.
std::vector<uint8_t> Group4Data(const TDibGraphic& graphic);
