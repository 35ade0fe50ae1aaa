// The process environment, for the runtime's own switches.
#pragma once

namespace quarvel::platform {

// Sets (value not null) or removes (null) an environment variable of this
// process and of the programs it starts.
void set_environment(const char* name, const char* value);
// True when the variable is set, to anything.
bool has_environment(const char* name);

}  // namespace quarvel::platform
