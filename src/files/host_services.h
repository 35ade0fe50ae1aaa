// Internals of the host services, for tests.
#pragma once

#include <cstddef>

namespace quarvel {

// Libraries get_library_function has loaded so far.
size_t loaded_library_count();

}  // namespace quarvel
