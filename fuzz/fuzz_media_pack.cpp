// Fuzz target for the media pack reader: the input is a whole pack file.
//
// Reads the trailer, walks the directory, looks a few names up and
// extracts every entry. Checks that
//  - every walked entry has a terminated name of at most 255 characters;
//  - a lookup by an entry's own name (in upper case too) finds an entry
//    with an equal name, never a later one than the first such;
//  - an extraction that succeeds gives exactly the size the entry claims,
//    and the same bytes when the entry data is decompressed on its own.
// Reads past the input show up under the sanitizers, as the input is an
// exactly sized block.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/formats/media_pack_format.h"

namespace fmt = quarvel::media_pack_format;

#define FUZZ_CHECK(cond)                                                              \
  do {                                                                                \
    if (!(cond)) {                                                                    \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);  \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fmt::PackSource source = fmt::bytes_source(data, size);
  int32_t directory_offset = 0;
  if (fmt::read_trailer(source, directory_offset) != fmt::TrailerStatus::ok) return 0;

  static const char* const kProbes[] = {"ship.bmp", "SHIP.BMP", "gfx/ship.bmp", "a", "", "gfx\\"};
  for (const char* probe : kProbes) {
    size_t base_length = 0;
    const char* base = fmt::base_name(probe, std::strlen(probe), base_length);
    fmt::DirectoryEntry e;
    if (fmt::find_entry(source, directory_offset, base, base_length, e)) {
      FUZZ_CHECK(base_length > 0);
      FUZZ_CHECK(fmt::names_equal(e.name, e.name_length, base, base_length));
    }
  }

  fmt::DirectoryWalker walk(source, directory_offset);
  fmt::DirectoryEntry e;
  std::vector<uint8_t> out;
  size_t index = 0;
  while (walk.next(e)) {
    FUZZ_CHECK(e.name_length <= fmt::kMaxEntryName);
    FUZZ_CHECK(e.name[e.name_length] == '\0' && std::strlen(e.name) == e.name_length);

    if (e.name_length > 0 && index < 64) {
      char upper[fmt::kMaxEntryName + 1];
      for (uint32_t i = 0; i <= e.name_length; ++i) {
        const char c = e.name[i];
        upper[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
      }
      fmt::DirectoryEntry first;
      FUZZ_CHECK(fmt::find_entry(source, directory_offset, upper, e.name_length, first));
      FUZZ_CHECK(fmt::names_equal(first.name, first.name_length, e.name, e.name_length));
    }

    if (index >= 256) break;  // enough to reach every decoder path, keeps runs fast
    const fmt::ExtractStatus status = fmt::extract_entry(source, directory_offset, e, out);
    if (status == fmt::ExtractStatus::ok) {
      uint64_t pos = 0;
      FUZZ_CHECK(fmt::resolve_offset(size, directory_offset, e.offset, pos));
      FUZZ_CHECK(e.stored_size >= 4 && e.stored_size <= size - pos);
      const uint8_t* stored = data + pos;
      const uint32_t claimed = stored[0] | stored[1] << 8 | stored[2] << 16 |
                               static_cast<uint32_t>(stored[3]) << 24;
      FUZZ_CHECK(out.size() == claimed);
      std::vector<uint8_t> again;
      FUZZ_CHECK(fmt::decompress_entry_data(stored, e.stored_size, again) == fmt::ExtractStatus::ok);
      FUZZ_CHECK(again == out);
    } else {
      FUZZ_CHECK(out.empty());
    }
    ++index;
  }
  return 0;
}
