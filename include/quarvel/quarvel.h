// The runtime's public command set. A game includes this header and nothing
// else of the runtime.
#pragma once

#include "quarvel/arrays.h"
#include "quarvel/dyn_string.h"
#include "quarvel/file_channels.h"
#include "quarvel/graphics.h"
#include "quarvel/graphics3d.h"
#include "quarvel/host_services.h"
#include "quarvel/ini_files.h"
#include "quarvel/input.h"
#include "quarvel/line_files.h"
#include "quarvel/maths.h"
#include "quarvel/models.h"
#include "quarvel/network.h"
#include "quarvel/number_text.h"
#include "quarvel/pathfind.h"
#include "quarvel/runtime.h"
#include "quarvel/shaders.h"
#include "quarvel/sound.h"
