// Host services of the platform layer: directory listing, replacing files
// in one step, starting programs and waiting for them, the file dialog
// program and shared libraries.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quarvel::platform {

// ------------------------------------------------------------- files ---

struct DirectoryEntry {
  std::string name;
  bool is_directory = false;  // a link to a directory counts as one
};

// Every entry of the directory, "." and ".." included, in the order the
// system delivers them. False when the directory cannot be read.
bool list_directory(const char* path, std::vector<DirectoryEntry>& entries);

// Replaces the file `path` with the bytes in one step: they go to a new
// file in the same directory, which is flushed to disk and then renamed
// over `path`. A crash leaves either the old or the new file, never a
// part of one. A link is followed to the file it names; an existing file's
// permissions are kept. False (and `path` untouched) on any failure.
bool replace_file(const char* path, const char* bytes, size_t length);

// The current directory ("" when unknown).
std::string current_directory();

// ---------------------------------------------------------- processes ---

// Starts "/bin/sh -c command" with the current environment and directory
// and no open files besides standard input, output and error. Returns the
// process id, or -1 when it could not be started.
int start_program(const char* command);
// Waits for a started program to end and returns its exit code (128 + the
// signal number for a program ended by a signal); -1 when there is no such
// child.
int wait_program(int process_id);
// Collects programs that ended and were not waited for, without blocking.
void collect_ended_programs(std::vector<int>& process_ids);

// ------------------------------------------------------- file dialogs ---

struct DialogFilter {
  std::string description;
  std::string patterns;  // "*.bmp;*.png"
};

enum class DialogOutcome {
  chosen,      // `chosen` holds the file name
  cancelled,   // the user closed the dialog without a choice, or it failed
  no_program,  // neither zenity nor kdialog could be started
};

// Shows an open (open = true) or save dialog through the first dialog
// program on PATH that starts, "zenity" then "kdialog", starting in
// `start_directory`, and waits for it. Arguments go to the program as they
// are, never through a shell.
DialogOutcome file_dialog(bool open, const std::vector<DialogFilter>& filters, const std::string& start_directory,
                          std::string& chosen);

// ---------------------------------------------------- shared libraries ---

// dlopen with immediate binding; null when the library cannot be loaded.
void* library_load(const char* name);
// dlsym; null when the library has no such symbol.
void* library_symbol(void* library, const char* name);

}  // namespace quarvel::platform
