// A workflow source that takes the graphics header, as it may.
#include "graphics/Leaky.h"
