#include "files/formats/media_pack_format.h"

#include <lzo/lzo1x.h>

#include <climits>
#include <cstring>
#include <new>

namespace quarvel::media_pack_format {

namespace {

bool lzo_ready() {
  static const bool ready = lzo_init() == LZO_E_OK;
  return ready;
}

uint32_t get_le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void put_le32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 24));
}

int32_t as_signed(uint32_t v) {
  int32_t s;
  std::memcpy(&s, &v, sizeof s);
  return s;
}

uint32_t as_unsigned(int32_t v) {
  uint32_t u;
  std::memcpy(&u, &v, sizeof u);
  return u;
}

bool read_bytes(void* context, uint64_t pos, void* dst, size_t n) {
  std::memcpy(dst, static_cast<const uint8_t*>(context) + pos, n);
  return true;
}

bool read_file(void* context, uint64_t pos, void* dst, size_t n) {
  std::FILE* file = static_cast<std::FILE*>(context);
  if (pos > static_cast<uint64_t>(LONG_MAX)) return false;
  if (std::fseek(file, static_cast<long>(pos), SEEK_SET) != 0) return false;
  return std::fread(dst, 1, n, file) == n;
}

unsigned char ascii_lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// The most bytes an LZO1X stream of `compressed` bytes can expand to: a
// zero byte in a length extension is worth at most 255 output bytes, every
// other byte far less. The slack covers the fixed codes at either end.
uint64_t expansion_limit(uint64_t compressed) { return compressed * 256 + 4096; }

}  // namespace

PackSource bytes_source(const uint8_t* data, size_t length) {
  PackSource s;
  s.size = data != nullptr ? length : 0;
  s.read_fn = read_bytes;
  s.context = const_cast<uint8_t*>(data);  // only ever read
  return s;
}

PackSource file_source(std::FILE* file) {
  PackSource s;
  s.read_fn = read_file;
  s.context = file;
  if (file != nullptr && std::fseek(file, 0, SEEK_END) == 0) {
    const long end = std::ftell(file);
    if (end > 0) s.size = static_cast<uint64_t>(end);
  }
  return s;
}

TrailerStatus read_trailer(const PackSource& source, int32_t& directory_offset) {
  uint8_t trailer[kTrailerSize];
  if (source.size < kTrailerSize || !source.read_at(source.size - kTrailerSize, trailer, kTrailerSize)) {
    return TrailerStatus::truncated;
  }
  if (std::memcmp(trailer, kMagic, sizeof kMagic) != 0) return TrailerStatus::bad_magic;
  directory_offset = as_signed(get_le32(trailer + 3));
  return TrailerStatus::ok;
}

bool resolve_offset(uint64_t file_size, int32_t directory_offset, int32_t offset, uint64_t& pos) {
  int64_t p = offset;
  if (directory_offset < 0) p += static_cast<int64_t>(file_size);
  if (p < 0 || static_cast<uint64_t>(p) > file_size) return false;
  pos = static_cast<uint64_t>(p);
  return true;
}

DirectoryWalker::DirectoryWalker(const PackSource& source, int32_t directory_offset) : source_(source) {
  done_ = !resolve_offset(source.size, directory_offset, directory_offset, cursor_);
}

bool DirectoryWalker::next(DirectoryEntry& entry) {
  if (done_) return false;
  uint8_t length = 0;
  uint8_t fields[8];
  char name[kMaxEntryName];
  if (!source_.read_at(cursor_, &length, 1) || length == 0 ||
      !source_.read_at(cursor_ + 1, name, length) ||
      !source_.read_at(cursor_ + 1 + length, fields, sizeof fields)) {
    done_ = true;
    return false;
  }
  cursor_ += 1u + length + sizeof fields;
  const void* nul = std::memchr(name, 0, length);
  entry.name_length = nul != nullptr ? static_cast<uint32_t>(static_cast<const char*>(nul) - name) : length;
  std::memcpy(entry.name, name, entry.name_length);
  entry.name[entry.name_length] = '\0';
  entry.offset = as_signed(get_le32(fields));
  entry.stored_size = get_le32(fields + 4);
  return true;
}

bool names_equal(const char* a, size_t a_length, const char* b, size_t b_length) {
  if (a_length != b_length) return false;
  for (size_t i = 0; i < a_length; ++i) {
    if (ascii_lower(static_cast<unsigned char>(a[i])) != ascii_lower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

const char* base_name(const char* path, size_t length, size_t& base_length) {
  size_t start = 0;
  for (size_t i = 0; i < length; ++i) {
    if (path[i] == '/' || path[i] == '\\') start = i + 1;
  }
  base_length = length - start;
  return path + start;
}

bool find_entry(const PackSource& source, int32_t directory_offset, const char* name,
                size_t name_length, DirectoryEntry& found) {
  if (name_length == 0 || name_length > kMaxEntryName) return false;
  DirectoryWalker walk(source, directory_offset);
  while (walk.next(found)) {
    if (names_equal(found.name, found.name_length, name, name_length)) return true;
  }
  return false;
}

const char* extract_status_text(ExtractStatus status) {
  switch (status) {
    case ExtractStatus::ok:
      return "ok";
    case ExtractStatus::outside_file:
      return "entry data lies outside the file";
    case ExtractStatus::too_small:
      return "entry data shorter than its 4-byte size field";
    case ExtractStatus::damaged:
      return "compressed data is damaged";
    case ExtractStatus::no_memory:
      return "not enough memory";
  }
  return "unknown";
}

ExtractStatus extract_entry(const PackSource& source, int32_t directory_offset,
                            const DirectoryEntry& entry, std::vector<uint8_t>& out) {
  out.clear();
  if (entry.stored_size < 4) return ExtractStatus::too_small;
  uint64_t pos = 0;
  if (!resolve_offset(source.size, directory_offset, entry.offset, pos) ||
      entry.stored_size > source.size - pos) {
    return ExtractStatus::outside_file;
  }
  std::vector<uint8_t> stored;
  try {
    stored.resize(entry.stored_size);
  } catch (const std::bad_alloc&) {
    return ExtractStatus::no_memory;
  }
  if (!source.read_at(pos, stored.data(), stored.size())) return ExtractStatus::outside_file;
  return decompress_entry_data(stored.data(), stored.size(), out);
}

ExtractStatus decompress_entry_data(const uint8_t* data, size_t length, std::vector<uint8_t>& out) {
  out.clear();
  if (data == nullptr || length < 4) return ExtractStatus::too_small;
  const uint32_t size = get_le32(data);
  const size_t compressed = length - 4;
  if (size > expansion_limit(compressed) || !lzo_ready()) return ExtractStatus::damaged;
  try {
    out.resize(size != 0 ? size : 1);
  } catch (const std::bad_alloc&) {
    return ExtractStatus::no_memory;
  }
  lzo_uint produced = size;
  const int r = lzo1x_decompress_safe(data + 4, compressed, out.data(), &produced, nullptr);
  if (r != LZO_E_OK || produced != size) {
    out.clear();
    return ExtractStatus::damaged;
  }
  out.resize(size);
  return ExtractStatus::ok;
}

bool safe_entry_name(const char* name, size_t length) {
  if (length == 0) return false;
  for (size_t i = 0; i < length; ++i) {
    if (name[i] == '/' || name[i] == '\\' || name[i] == '\0') return false;
    if (name[i] == '.' && i + 1 < length && name[i + 1] == '.') return false;
  }
  return true;
}

bool compress_entry_data(const uint8_t* data, size_t length, std::vector<uint8_t>& stored,
                         std::string& error) {
  if (length > UINT32_MAX - 4) {
    error = "file too large for a pack entry (over 4 GiB)";
    return false;
  }
  if (!lzo_ready()) {
    error = "the LZO library failed to initialise";
    return false;
  }
  static const uint8_t kNothing = 0;
  if (data == nullptr) data = &kNothing;
  std::vector<uint8_t> work(LZO1X_999_MEM_COMPRESS);
  std::vector<uint8_t> packed(length + length / 16 + 64 + 3);
  lzo_uint packed_length = 0;
  if (lzo1x_999_compress(data, length, packed.data(), &packed_length, work.data()) != LZO_E_OK ||
      packed_length > UINT32_MAX - 4) {
    error = "compression failed";
    return false;
  }
  stored.clear();
  stored.reserve(packed_length + 4);
  put_le32(stored, static_cast<uint32_t>(length));
  stored.insert(stored.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packed_length));
  // Read it back before it goes into a pack.
  std::vector<uint8_t> check;
  if (decompress_entry_data(stored.data(), stored.size(), check) != ExtractStatus::ok ||
      check.size() != length || (length != 0 && std::memcmp(check.data(), data, length) != 0)) {
    error = "compressed data did not read back";
    return false;
  }
  return true;
}

bool write_pack(const std::vector<StoredEntry>& entries, PackBase base, std::vector<uint8_t>& out,
                std::string& error) {
  uint64_t data_length = 0;
  uint64_t directory_length = 1;  // the closing 0
  for (const StoredEntry& e : entries) {
    if (e.name.empty() || e.name.size() > kMaxEntryName) {
      error = "entry name must be 1 to 255 bytes: \"" + e.name + "\"";
      return false;
    }
    data_length += e.stored.size();
    directory_length += 1 + e.name.size() + 8;
  }
  const uint64_t total = data_length + directory_length + kTrailerSize;
  if (total > static_cast<uint64_t>(INT32_MAX) || data_length > UINT32_MAX) {
    error = "pack too large for 32-bit offsets (2 GiB)";
    return false;
  }
  // Offsets relative to the pack's first byte; from_end subtracts the pack
  // length, which is where that byte sits counted from the end of the file.
  const int64_t shift = base == PackBase::from_end ? -static_cast<int64_t>(total) : 0;
  auto offset = [&](uint64_t pos) { return as_unsigned(static_cast<int32_t>(static_cast<int64_t>(pos) + shift)); };

  const size_t start = out.size();
  out.reserve(start + total);
  for (const StoredEntry& e : entries) out.insert(out.end(), e.stored.begin(), e.stored.end());
  uint64_t pos = 0;
  for (const StoredEntry& e : entries) {
    out.push_back(static_cast<uint8_t>(e.name.size()));
    out.insert(out.end(), e.name.begin(), e.name.end());
    put_le32(out, offset(pos));
    put_le32(out, static_cast<uint32_t>(e.stored.size()));
    pos += e.stored.size();
  }
  out.push_back(0);
  out.insert(out.end(), kMagic, kMagic + sizeof kMagic);
  put_le32(out, offset(data_length));
  return true;
}

}  // namespace quarvel::media_pack_format
