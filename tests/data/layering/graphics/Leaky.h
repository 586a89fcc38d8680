// A graphics header offered to other libraries that shows them pdf's types.
#include "pdf/Fine.h"
