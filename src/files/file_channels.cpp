#include "files/file_channels.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "quarvel/number_text.h"
#include "quarvel/runtime.h"
#include "values/file_bytes.h"
#include "values/truncate.h"

namespace quarvel {

namespace {

constexpr int kErrorReadWrite = 3;
constexpr int kErrorBadChannel = 7;
constexpr size_t kLineLimit = 1024;
constexpr size_t kLineBlock = 64;
constexpr size_t kCopyBlock = 4096;

[[noreturn]] void fail(int code) {
  record_runtime_error(code);
  end_program();
}

FileChannel& channel_at(double channel) {
  if (std::isnan(channel)) fail(kErrorBadChannel);
  const int32_t n = truncate_to_int32(channel);
  if (n < 0 || n >= kFileChannelCount) fail(kErrorBadChannel);
  return file_channel_table().channels[n];
}

// The channel of a read or write: error 7 for a bad number, 3 when closed.
FileChannel& open_channel_at(double channel) {
  FileChannel& ch = channel_at(channel);
  if (ch.handle == nullptr) fail(kErrorReadWrite);
  return ch;
}

void close_channel(FileChannel& ch) {
  if (ch.handle != nullptr) std::fclose(ch.handle);
  ch = FileChannel();
}

bool is_directory(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

// Opens an existing file for reading; directories do not count as files.
std::FILE* open_for_reading(const std::string& path) {
  if (path.empty() || is_directory(path)) return nullptr;
  return std::fopen(path.c_str(), "rb");
}

uint64_t size_of(std::FILE* f) {
  if (std::fseek(f, 0, SEEK_END) != 0) return 0;
  const long size = std::ftell(f);
  std::rewind(f);
  return size > 0 ? static_cast<uint64_t>(size) : 0;
}

size_t read_some(FileChannel& ch, void* out, size_t n) {
  if (ch.last_was_write) {
    std::fseek(ch.handle, 0, SEEK_CUR);
    ch.last_was_write = false;
  }
  const size_t got = std::fread(out, 1, n, ch.handle);
  if (got < n && std::ferror(ch.handle)) fail(kErrorReadWrite);
  return got;
}

void read_exact(double channel, uint8_t* out, size_t n) {
  FileChannel& ch = open_channel_at(channel);
  ch.position += n;
  if (read_some(ch, out, n) != n) fail(kErrorReadWrite);
}

void write_exact(double channel, const void* bytes, size_t n) {
  FileChannel& ch = open_channel_at(channel);
  if (n == 0) return;
  if (!ch.last_was_write) {
    std::fseek(ch.handle, 0, SEEK_CUR);
    ch.last_was_write = true;
  }
  if (std::fwrite(bytes, 1, n, ch.handle) != n) fail(kErrorReadWrite);
}

uint64_t read_little_endian(double channel, size_t n) {
  uint8_t bytes[8];
  read_exact(channel, bytes, n);
  uint64_t v = 0;
  for (size_t i = n; i-- > 0;) v = v << 8 | bytes[i];
  return v;
}

void write_little_endian(double channel, uint64_t v, size_t n) {
  uint8_t bytes[8];
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(v >> (8 * i));
  write_exact(channel, bytes, n);
}

// The low bits of the whole-number part (two's complement for negatives).
uint64_t whole_bits(double value) { return static_cast<uint64_t>(truncate_to_int64(value)); }

// Text of up to length bytes, cut at the first zero byte.
DynString text_of(const char* bytes, size_t length) {
  const void* zero = std::memchr(bytes, 0, length);
  if (zero != nullptr) length = static_cast<size_t>(static_cast<const char*>(zero) - bytes);
  if (length > DynString::kMaxLength) length = DynString::kMaxLength;
  return DynString(bytes, static_cast<uint32_t>(length));
}

}  // namespace

FileChannelTable& file_channel_table() {
  static FileChannelTable table;
  return table;
}

void close_all_file_channels() {
  for (FileChannel& ch : file_channel_table().channels) close_channel(ch);
}

std::string channel_file_path(const DynString& name) {
  std::string path(name.c_str(), name.length_of());
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

// ------------------------------------------------------------ channels ---

double open_file(double channel, const DynString& file_name, double mode) {
  FileChannel& ch = channel_at(channel);
  close_channel(ch);
  const std::string path = channel_file_path(file_name);
  if (mode != 0) {
    ch.handle = open_for_reading(path);
    if (ch.handle != nullptr) ch.size = size_of(ch.handle);
  } else if (!path.empty()) {
    ch.handle = std::fopen(path.c_str(), "w+b");
    // Unbuffered: a write that cannot be completed is seen by the command
    // that made it.
    if (ch.handle != nullptr) std::setvbuf(ch.handle, nullptr, _IONBF, 0);
  }
  return ch.handle != nullptr ? 1 : 0;
}

void close_file(double channel) { close_channel(channel_at(channel)); }

double end_of_file(double channel) {
  const FileChannel& ch = channel_at(channel);
  return ch.position >= ch.size ? 1 : 0;
}

void read_byte(double channel, double& value) { value = static_cast<double>(read_little_endian(channel, 1)); }
void read_word(double channel, double& value) { value = static_cast<double>(read_little_endian(channel, 2)); }
void read_long(double channel, double& value) { value = static_cast<double>(read_little_endian(channel, 4)); }

void read_ieee(double channel, double& value) {
  const uint64_t bits = read_little_endian(channel, 8);
  std::memcpy(&value, &bits, sizeof value);
}

void read_string(double channel, DynString& text, double count) {
  const int64_t n = truncate_to_int64(count);
  if (n <= 0) {
    text = DynString();
    return;
  }
  FileChannel& ch = open_channel_at(channel);
  ch.position += static_cast<uint64_t>(n);
  // Read in blocks, so that a count far beyond the file costs no memory;
  // keep the bytes up to the first zero byte.
  std::string kept;
  bool ended = false;
  char block[16384];
  for (uint64_t left = static_cast<uint64_t>(n); left > 0;) {
    const size_t want = left < sizeof block ? static_cast<size_t>(left) : sizeof block;
    const size_t got = read_some(ch, block, want);
    if (!ended) {
      const void* zero = std::memchr(block, 0, got);
      const size_t take = zero ? static_cast<size_t>(static_cast<const char*>(zero) - block) : got;
      if (kept.size() + take <= DynString::kMaxLength) kept.append(block, take);
      ended = zero != nullptr;
    }
    if (got != want) fail(kErrorReadWrite);
    left -= got;
  }
  text = text_of(kept.data(), kept.size());
}

void read_line(double channel, DynString& text) {
  FileChannel& ch = open_channel_at(channel);
  char line[kLineLimit];
  size_t filled = 0;
  size_t end = kLineLimit;  // a full buffer without LF is one piece
  bool line_feed = false;
  while (filled < kLineLimit) {
    const size_t got = read_some(ch, line + filled, kLineBlock);
    if (got == 0) {
      // End of file: an error when the line has no byte at all; otherwise
      // the bytes read so far are the last line.
      if (filled == 0) fail(kErrorReadWrite);
      end = filled;
      line_feed = true;
      break;
    }
    ch.position += got;
    const void* lf = std::memchr(line + filled, '\n', got);
    if (lf != nullptr) {
      end = static_cast<size_t>(static_cast<const char*>(lf) - line);
      // Give back the bytes after the LF.
      const size_t excess = filled + got - (end + 1);
      if (excess > 0) {
        if (std::fseek(ch.handle, -static_cast<long>(excess), SEEK_CUR) != 0) fail(kErrorReadWrite);
        ch.position -= excess;
      }
      line_feed = true;
      break;
    }
    filled += got;
    if (got < kLineBlock) {
      // A short block ends the file and the line.
      end = filled;
      line_feed = true;
      break;
    }
  }
  if (line_feed && end > 0 && line[end - 1] == '\r') --end;
  text = text_of(line, end);
}

void read_number_line(double channel, double& value) {
  DynString text;
  read_line(channel, text);
  value = text_to_number(text);
}

void write_byte(double channel, double value) { write_little_endian(channel, whole_bits(value), 1); }
void write_word(double channel, double value) { write_little_endian(channel, whole_bits(value), 2); }
void write_long(double channel, double value) { write_little_endian(channel, whole_bits(value), 4); }

void write_ieee(double channel, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  write_little_endian(channel, bits, 8);
}

void write_string(double channel, const DynString& text) {
  write_exact(channel, text.c_str(), text.length_of());
}

void write_line(double channel, const DynString& text) {
  std::string line(text.c_str(), text.length_of());
  line += "\r\n";
  write_exact(channel, line.data(), line.size());
}

void write_number_line(double channel, double value) { write_line(channel, number_to_text(value)); }

// ------------------------------------------------------- files by name ---

double file_size(const DynString& file_name) {
  std::FILE* f = open_for_reading(channel_file_path(file_name));
  if (f == nullptr) return 0;
  const uint64_t size = size_of(f);
  std::fclose(f);
  return static_cast<double>(size);
}

double file_exists(const DynString& file_name) {
  std::FILE* f = open_for_reading(channel_file_path(file_name));
  if (f == nullptr) return 0;
  std::fclose(f);
  return 1;
}

double delete_file(const DynString& file_name) {
  const std::string path = channel_file_path(file_name);
  if (path.empty() || is_directory(path)) return 0;
  return std::remove(path.c_str()) == 0 ? 1 : 0;
}

double rename_file(const DynString& old_name, const DynString& new_name) {
  const std::string from = channel_file_path(old_name), to = channel_file_path(new_name);
  if (from.empty() || to.empty() || is_directory(from) || is_directory(to)) return 0;
  return std::rename(from.c_str(), to.c_str()) == 0 ? 1 : 0;
}

void copy_file(const DynString& source, const DynString& destination) {
  const std::string to = channel_file_path(destination);
  std::FILE* in = open_for_reading(channel_file_path(source));
  if (in == nullptr) return;
  // The copy goes to a new file next to the destination and takes its
  // place only when complete, so a failure (and a copy onto itself) leaves
  // the destination as it was.
  PartFile out(to);
  if (!out.ok()) {
    std::fclose(in);
    return;
  }
  bool ok = true;
  char block[kCopyBlock];
  for (;;) {
    const size_t got = std::fread(block, 1, sizeof block, in);
    if (got < sizeof block && std::ferror(in)) ok = false;
    if (ok) out.write(block, got);
    if (!ok || !out.ok() || got < sizeof block) break;
  }
  std::fclose(in);
  if (ok) out.commit();
}

DynString current_dir() {
  std::error_code ec;
  std::string dir = std::filesystem::current_path(ec).string();
  if (ec || dir.empty()) return DynString("./");
  for (char& c : dir)
    if (c == '\\') c = '/';
  if (dir.back() != '/') dir += '/';
  return DynString(dir.c_str());
}

double set_current_dir(const DynString& path) {
  const std::string p = channel_file_path(path);
  if (p.empty()) return 0;
  std::error_code ec;
  std::filesystem::current_path(p, ec);
  return ec ? 0 : 1;
}

}  // namespace quarvel
