// The runtime's public command set. A game includes this header and nothing
// else of the runtime.
#pragma once

#include "quarvel/dyn_string.h"
#include "quarvel/graphics.h"
#include "quarvel/number_text.h"
#include "quarvel/runtime.h"
