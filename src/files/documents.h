// The INI document and the line file of the run, and their write-back.
//
// Both are written back by an exit handler, registered the first time
// either is used (and by start-up), so that every way out of the program
// through exit() saves them, end_program included. Write-backs replace the
// file in one step (platform::replace_file) and go to the name the program
// gave, made absolute against the current directory of that moment; a file
// read from the media pack is never written into its extracted copy.
#pragma once

#include <string>

#include "quarvel/dyn_string.h"

namespace quarvel {

// With a name: 0 when that name (compared exactly) is the cached file or
// its file was loaded; otherwise records runtime error 3 and returns 3 (the
// name stays cached, so writes build a new file). Either way a changed
// cached file of another name is written back first. With null: writes a
// changed file back and empties the cache (start-up and program end).
double open_line_file(const DynString* file_name);

// Writes the INI document back if it changed; it stays in memory.
void write_back_ini_document();

// Start-up: an empty line cache, and the exit handler in place.
void start_file_documents();

// Registers the exit handler that writes both back (once per process).
void register_document_write_back();

// The path a write-back goes to: '\' turned into '/', and a relative name
// joined to the current directory.
std::string write_back_path(const DynString& file_name);

}  // namespace quarvel
