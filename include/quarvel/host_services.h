// Host services: directory listing, file dialogs, starting programs and
// functions of shared libraries.
//
// Main thread only.
#pragma once

#include "quarvel/arrays.h"
#include "quarvel/dyn_string.h"

namespace quarvel {

// Lists the current directory into `names`: every directory first ("." and
// ".." included, no pattern test), then the files whose names match the
// pattern ("*" any run of characters, "?" any one character except ".",
// letters without regard to case), each group in the system's order.
// Returns files + 65536 x directories.
double get_file_list(const DynString& pattern, StringArray& names);

// Shows the open dialog (open_flag non-zero) or the save dialog through the
// desktop's dialog program (zenity, else kdialog) and returns the chosen
// name with "/" separators. The filter text is description|pattern pairs,
// "Pictures|*.bmp;*.png|All files|*.*". "NO_FILE" on cancel, on any error,
// when no dialog program is installed and in runs that must not show
// dialogs (QUARVEL_NO_DIALOGS=1, the offscreen video driver). The current
// directory is the same afterwards.
DynString file_dialog(double open_flag, const DynString& filter);

// Starts the command line through /bin/sh -c. With a non-zero wait flag it
// waits for the program to end and stores its exit code; otherwise the exit
// code stays 0. Returns 1 when the program was started, else 0. The show
// flag has no effect on this system.
double run_program(const DynString& command_line, double wait_flag, double show_flag, double& exit_code);

// Lower-cases the library name (A..Z, in the caller's string), loads the
// library once per name and stores the address of the named function in
// `address`, or null when the library or the function is missing.
void get_library_function(DynString& library_name, const DynString& function_name, void*& address);

}  // namespace quarvel
