#include "core/value_errors.h"

#include "quarvel/runtime.h"
#include "values/arrays.h"

namespace quarvel {

namespace {
[[noreturn]] void end_with_error(int code) {
  record_runtime_error(code);
  end_program();
}
}  // namespace

void route_value_errors_to_end_program() { set_value_error_handler(&end_with_error); }

}  // namespace quarvel
