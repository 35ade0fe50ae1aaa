#include <cstdlib>

#include "platform/environment.h"

namespace quarvel::platform {

void set_environment(const char* name, const char* value) {
  if (!name) return;
  if (value) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

bool has_environment(const char* name) { return name && std::getenv(name) != nullptr; }

}  // namespace quarvel::platform
