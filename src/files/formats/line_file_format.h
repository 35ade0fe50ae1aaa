// Line files: a text file cached as 256 numbered lines.
//
// Reading: a line ends at LF (a CR right before it is dropped) or at the
// end of the file. A cache line holds at most 1023 characters: the rest of
// a longer line never runs into the next cache line; it is kept aside and
// written back after the line unless the line is replaced. A NUL byte ends
// a line's text. Lines after the 256th are kept aside as they are and
// written back after line 255, so a write-back never shortens a file.
//
// Writing: lines 0 to last_line, each ended by CR LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quarvel::line_file_format {

constexpr int kLineCount = 256;
constexpr size_t kLineLimit = 1023;

struct LineCache {
  std::string lines[kLineCount];
  // Bytes of a line beyond its first kLineLimit characters (up to, not
  // including, its line end; a NUL and what follows it is dropped).
  std::string overflow[kLineCount];
  // The file's bytes after the end of line 255, exactly as read.
  std::string tail;
  // The last line that belongs to the file, 0..255.
  int last_line = 0;

  void clear();
  // Replaces line n (0..255) and raises last_line to n; the text is cut to
  // kLineLimit characters and the line's kept-aside bytes are forgotten.
  void set_line(int n, const char* text, size_t length);
};

// Replaces `cache` with the lines of bytes[0, length).
void read_lines(const uint8_t* bytes, size_t length, LineCache& cache);

// The file image: lines 0..last_line with CR LF, then the tail.
std::string write_lines(const LineCache& cache);

}  // namespace quarvel::line_file_format
