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

// The one writer of whole files: a new file in the target's directory
// takes the bytes and replaces the target, flushed to disk, only on commit;
// anything else (a failed write, no commit) leaves the target as it was. A
// crash at any moment leaves the old or the new file, never a part of one.
// The new file is unnamed while it is written (a named temporary
// ".<name>.part-<process id>-<random>" on file systems without unnamed
// files, and for the moment between naming it and the rename); each save
// first removes such temporaries of the same target whose process is gone.
// A link is followed to the file it names; an existing file's permissions
// are kept.
class SaveFile {
 public:
  explicit SaveFile(const std::string& target);
  ~SaveFile() { discard(); }
  SaveFile(const SaveFile&) = delete;
  SaveFile& operator=(const SaveFile&) = delete;

  bool ok() const { return fd_ >= 0 && !failed_; }
  void write(const void* bytes, size_t count);
  // Flushes the file and renames it over the target; false (and nothing
  // replaced) when any step failed.
  bool commit();
  void discard();

 private:
  std::string target_, dir_, base_;
  std::string temp_;  // the named temporary, when there is one
  int fd_ = -1;
  bool failed_ = false;
};

// Replaces the file `path` with the bytes in one step (a SaveFile). False
// (and `path` untouched) on any failure.
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
