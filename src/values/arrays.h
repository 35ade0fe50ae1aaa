// The error end of the value commands.
//
// The values library knows nothing of the runtime, so an array command that
// cannot go on (index out of range: 9, no memory: 7) hands its error code
// to a handler that the runtime installs at start-up and that records the
// code and ends the program (route_value_errors_to_end_program in
// core/value_errors.h). Without a handler the process prints
// "runtime error N" on standard error and exits with code 0.
#pragma once

#include "quarvel/arrays.h"

namespace quarvel {

constexpr int kErrorNoMemory = 7;
constexpr int kErrorIndexOutOfRange = 9;

// Must not return; a handler that does is followed by the fallback end.
using ValueErrorHandler = void (*)(int code);

// Installs the handler (null: back to the fallback) and returns the one
// before.
ValueErrorHandler set_value_error_handler(ValueErrorHandler handler);

[[noreturn]] void value_error(int code);

}  // namespace quarvel
