// Line files: text files read and written line by line, by line number.
//
// The runtime caches one such file: 256 lines (0..255) of at most 1023
// characters each. Naming a file loads it (through the media pack, like
// every asset) unless it is the cached one; names are compared exactly,
// letter case included. Writes change the cache only: the cached file is
// written back in one piece (lines 0 up to the last one used, each ended
// by CR LF) when another file is named and when the program ends, and only
// if it was written to. A line longer than 1023 characters reads cut; its
// rest is written back unchanged unless the line is replaced.
//
// A line number outside 0..255 records runtime error 7 (the program goes
// on): reads give "NO_DATA", writes do nothing. A file that cannot be read
// records error 3: reads give "NO_FILE", writes build a new file of that
// name.
//
// Main thread only.
#pragma once

#include "quarvel/dyn_string.h"

namespace quarvel {

// The line without trailing characters 0..31; "NO_DATA" when that leaves
// nothing, "NO_FILE" when the file cannot be read.
DynString get_file_line(const DynString& file_name, double line);
// The line's number by its longest numeric prefix; 0 for "NO_DATA" and
// "NO_FILE".
double get_file_number(const DynString& file_name, double line);
// Replaces the line (the file grows with empty lines to reach it); the
// file is written at the latest when the program ends.
void put_file_line(const DynString& file_name, double line, const DynString& text);
// The number as text with up to 10 significant digits.
void put_file_number(const DynString& file_name, double line, double value);

}  // namespace quarvel
