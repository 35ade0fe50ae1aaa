// Connects the values library's error end to the runtime's: an array
// command that cannot go on records its error code and ends the program
// through end_program, like every other fatal command error.
#pragma once

namespace quarvel {

// Start-up calls this once, before the game runs.
void route_value_errors_to_end_program();

}  // namespace quarvel
