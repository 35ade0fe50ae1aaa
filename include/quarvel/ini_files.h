// INI files: one settings document in memory at a time.
//
// ini_open loads a file (through the media pack, like every asset) into
// memory; ini_get and ini_put work on that copy. The copy is written back
// in full, under the name given to ini_open, when the next file is opened
// and when the program ends, but only if ini_put set, added or deleted a
// key. Comments and the layout of the file are not kept; sections are
// written as "[name]" and pairs as "key=value", lines ended by CR LF.
//
// Section names and keys are found without regard to letter case; they
// are stored with the case of the call (or the file line) that made them.
//
//   ini_open("settings.ini");
//   DynString name = ini_get("Player", "Name");   // "NO_DATA" when absent
//   ini_put("Player", "Name", "Bob");
//
// Main thread only.
#pragma once

#include "quarvel/dyn_string.h"

namespace quarvel {

// Writes a changed document back, then loads file_name. A file that cannot
// be read gives an empty document that ini_put can fill and that is then
// written under file_name.
void ini_open(const DynString& file_name);
// The value of key in the first section of that name, or "NO_DATA".
DynString ini_get(const DynString& section, const DynString& key);
// Sets, adds or (with an empty value) deletes a key; a missing section is
// created. An empty key deletes the section itself (the last section of the
// document takes its place); that alone does not mark the document changed,
// but it is saved with the next change.
void ini_put(const DynString& section, const DynString& key, const DynString& value);

}  // namespace quarvel
