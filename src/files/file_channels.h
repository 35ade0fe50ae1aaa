// The file channel table behind the commands of quarvel/file_channels.h.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "quarvel/file_channels.h"

namespace quarvel {

constexpr int kFileChannelCount = 8;

struct FileChannel {
  std::FILE* handle = nullptr;
  // The file's size when it was opened for reading; 0 when opened for
  // writing.
  uint64_t size = 0;
  // Bytes consumed by reads since opening; writes leave it alone.
  uint64_t position = 0;
  // The last transfer was a write (stdio needs a seek between a write and
  // a read on one stream).
  bool last_was_write = false;
};

struct FileChannelTable {
  FileChannel channels[kFileChannelCount];
};

// The table of the run. Channels stay open until closed, reopened or the
// process ends (which closes them; writes are never held back in a buffer).
FileChannelTable& file_channel_table();

// Closes every open channel.
void close_all_file_channels();

// A command's file name as a path of this system: "\" becomes "/".
std::string channel_file_path(const DynString& name);

}  // namespace quarvel
