// The media pack file layout: reading and writing.
//
// A media pack is a set of LZO1X-compressed files behind a 7-byte trailer:
//
//   file size - 7   3 bytes  magic "sbX"
//   file size - 4   4 bytes  directory offset (signed 32-bit little-endian)
//
// A directory offset of 0 or more counts from the start of the file (a pack
// of its own); a negative one counts from the end (a pack appended to
// another file). Every entry offset uses the base that the directory
// offset's sign selects, whatever its own sign.
//
// The directory is a run of entries read in order until a name length of 0
// or the end of the file:
//
//   1 byte   name length N (1..255)
//   N bytes  name, no terminator (a bare file name)
//   4 bytes  entry offset (signed)
//   4 bytes  stored size (unsigned)
//
// Entry data at the entry offset: 4 bytes uncompressed size U, then
// stored size - 4 bytes of LZO1X stream that decompresses to exactly U bytes.
//
// Readers take a PackSource: a size and a positioned read, over a byte span
// or an open file. Nothing here touches the operating system except through
// <cstdio> in the file source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quarvel::media_pack_format {

constexpr size_t kTrailerSize = 7;
constexpr size_t kMaxEntryName = 255;
constexpr char kMagic[3] = {'s', 'b', 'X'};

// A random-access byte source. read_at fills exactly n bytes from position
// pos and returns true, or returns false (nothing promised about dst) when
// the range is not inside the source or the read fails.
struct PackSource {
  uint64_t size = 0;
  bool (*read_fn)(void* context, uint64_t pos, void* dst, size_t n) = nullptr;
  void* context = nullptr;

  bool read_at(uint64_t pos, void* dst, size_t n) const {
    if (pos > size || n > size - pos) return false;
    return n == 0 || read_fn(context, pos, dst, n);
  }
};

// A source over bytes in memory; the bytes must outlive it.
PackSource bytes_source(const uint8_t* data, size_t length);
// A source over an open stdio file (binary mode). The size is taken once,
// here; a file whose size cannot be told gives size 0.
PackSource file_source(std::FILE* file);

enum class TrailerStatus {
  ok,
  truncated,  // fewer than 7 bytes, or the trailer could not be read
  bad_magic,  // the last 7 bytes do not start with "sbX"
};

// Reads the trailer; on ok, directory_offset holds the signed offset.
TrailerStatus read_trailer(const PackSource& source, int32_t& directory_offset);

// Absolute position of a pack offset under the base chosen by the directory
// offset's sign; false when it lies before the start of the file or past
// its end.
bool resolve_offset(uint64_t file_size, int32_t directory_offset, int32_t offset, uint64_t& pos);

struct DirectoryEntry {
  // The stored name, cut at the first NUL byte (as a C string would be),
  // and always NUL-terminated here.
  char name[kMaxEntryName + 1] = {};
  uint32_t name_length = 0;  // characters in name, after the cut
  int32_t offset = 0;        // as stored
  uint32_t stored_size = 0;  // as stored
};

// Walks the directory entry by entry:
//   DirectoryWalker walk(source, directory_offset);
//   DirectoryEntry e;
//   while (walk.next(e)) ...
// The walk ends at a name length of 0, at a read that comes up short, or
// when the directory offset points outside the file.
class DirectoryWalker {
 public:
  DirectoryWalker(const PackSource& source, int32_t directory_offset);
  bool next(DirectoryEntry& entry);

 private:
  PackSource source_;
  uint64_t cursor_ = 0;
  bool done_ = false;
};

// ASCII case-insensitive comparison of two byte strings.
bool names_equal(const char* a, size_t a_length, const char* b, size_t b_length);

// The characters after the last '/' or '\\' of a path (the whole path when
// it has neither). Points into path.
const char* base_name(const char* path, size_t length, size_t& base_length);

// Finds the first entry whose name equals `name` without regard to ASCII
// case. An empty name matches nothing.
bool find_entry(const PackSource& source, int32_t directory_offset, const char* name,
                size_t name_length, DirectoryEntry& found);

enum class ExtractStatus {
  ok,
  outside_file,  // the entry's bytes are not all inside the file
  too_small,     // stored size below 4: no room for the uncompressed size
  damaged,       // decompression failed or gave another length than stored
  no_memory,
};

const char* extract_status_text(ExtractStatus status);

// Reads and decompresses one entry into out (replaced).
ExtractStatus extract_entry(const PackSource& source, int32_t directory_offset,
                            const DirectoryEntry& entry, std::vector<uint8_t>& out);

// Decompresses entry data already in memory (the 4-byte size and the LZO1X
// stream). Claimed sizes beyond what an LZO1X stream of that length can
// produce are refused before anything is allocated.
ExtractStatus decompress_entry_data(const uint8_t* data, size_t length, std::vector<uint8_t>& out);

// True when an entry name may be used as part of a file name in a
// directory: no '/' or '\\', no "..", not empty.
bool safe_entry_name(const char* name, size_t length);

// ---------------------------------------------------------------- writing ---

// Compresses a whole file into entry data (LZO1X-999 after the 4-byte
// size). False (with a reason) when the file is too large for the format.
bool compress_entry_data(const uint8_t* data, size_t length, std::vector<uint8_t>& stored,
                         std::string& error);

struct StoredEntry {
  std::string name;             // 1..255 bytes; written as is
  std::vector<uint8_t> stored;  // entry data exactly as it goes in the file
};

enum class PackBase {
  from_start,  // a file of its own: offsets count from its start
  from_end,    // for appending to another file: negative offsets from the end
};

// Lays out the entries (data first, in order, then the directory, a 0 name
// length, and the trailer) and appends the pack to out. A pack built
// from_end has the same bytes whatever file it is appended to. False (with
// a reason, out unchanged) for a name of 0 or more than 255 bytes or a pack
// too large for 32-bit offsets.
bool write_pack(const std::vector<StoredEntry>& entries, PackBase base, std::vector<uint8_t>& out,
                std::string& error);

}  // namespace quarvel::media_pack_format
