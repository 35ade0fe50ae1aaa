// Files through eight numbered channels, 0..7, and a few commands on files
// by name.
//
// A channel is opened on a file for reading (mode not 0) or created anew
// for writing (mode 0); then bytes, 16- and 32-bit integers, doubles, text
// and text lines are read from it or written to it, little-endian. Lines
// are written with CR LF; a line read ends at LF, drops a CR before it and
// holds at most 1024 bytes (a longer line comes in pieces of 1024).
//
// Channel numbers are truncated toward zero. A number outside 0..7 ends the
// program with error 7; a read or write that fails (closed channel, short
// read, reading past the end, writing on a channel opened for reading,
// incomplete write) ends it with error 3.
//
// File names accept both "/" and "\" as the separator. They are used as
// given; the media pack is not consulted.
//
// Main thread only.
#pragma once

#include "quarvel/dyn_string.h"

namespace quarvel {

// 1 when the file is open on the channel, 0 when it could not be opened
// (the channel is closed then). A file open on the channel is closed first.
double open_file(double channel, const DynString& file_name, double mode);
// Closes the channel (nothing happens for a closed one).
void close_file(double channel);
// 1 once reads have consumed the size the file had when it was opened; a
// channel opened for writing is always at its end.
double end_of_file(double channel);

// Unsigned little-endian values: 0..255, 0..65535, 0..4294967295; an IEEE
// double of 8 bytes.
void read_byte(double channel, double& value);
void read_word(double channel, double& value);
void read_long(double channel, double& value);
void read_ieee(double channel, double& value);
// Reads exactly count bytes; the text is the bytes before the first zero
// byte. A count of 0 or less gives the empty text and touches no channel.
void read_string(double channel, DynString& text, double count);
// One line without its CR LF or LF.
void read_line(double channel, DynString& text);
// One line read as a number by its longest numeric prefix (0 if none).
void read_number_line(double channel, double& value);

// The whole-number part of the value: its low 8, low 16 or low 32 bits.
void write_byte(double channel, double value);
void write_word(double channel, double value);
void write_long(double channel, double value);
void write_ieee(double channel, double value);
// The text's bytes, without a terminator.
void write_string(double channel, const DynString& text);
// The text and CR LF.
void write_line(double channel, const DynString& text);
// The number's text (10 significant digits) and CR LF.
void write_number_line(double channel, double value);

// Size in bytes; 0 when the file cannot be opened.
double file_size(const DynString& file_name);
// 1 when the file exists and can be opened for reading, else 0.
double file_exists(const DynString& file_name);
// 1 when the file was deleted, else 0.
double delete_file(const DynString& file_name);
// Gives a file a new name, replacing a file of that name in one step (the
// old one is never half-replaced); 1 on success, else 0.
double rename_file(const DynString& old_name, const DynString& new_name);
// Copies in full or not at all: a copy that fails on the way leaves the
// destination as it was. A source that cannot be opened copies nothing.
void copy_file(const DynString& source, const DynString& destination);
// The current directory with "/" separators and a final "/".
DynString current_dir();
// 1 on success, else 0.
double set_current_dir(const DynString& path);

}  // namespace quarvel
