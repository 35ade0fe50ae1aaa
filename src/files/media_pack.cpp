#include "files/media_pack.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/engine_state.h"
#include "files/formats/media_pack_format.h"
#include "platform/platform.h"
#include "quarvel/runtime.h"

namespace quarvel {

namespace fmt = media_pack_format;

namespace {

// Copies a name of at most kMediaPackNameSize - 1 characters into `out`
// with '\\' turned into '/'; false when it is too long.
bool disk_path(const char* name, size_t length, char (&out)[kMediaPackNameSize]) {
  if (length >= kMediaPackNameSize) return false;
  for (size_t i = 0; i < length; ++i) out[i] = name[i] == '\\' ? '/' : name[i];
  out[length] = '\0';
  return true;
}

// Opens an existing regular file for reading. Directories, pipes and
// devices do not count as files here: a directory would open on this
// system and a pipe would block.
std::FILE* open_existing(const char* path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return nullptr;
  return std::fopen(path, "rb");
}

bool is_readable_file(const char* path) {
  std::FILE* f = open_existing(path);
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

// Writes the extracted bytes to a fresh file. An existing file of that
// name is removed first and the new one is created exclusively, so a link
// planted under the name is never followed. A file that could not be
// written completely is removed again.
bool write_new_file(const char* path, const std::vector<uint8_t>& bytes) {
  std::remove(path);
  std::FILE* f = std::fopen(path, "wbx");
  if (f == nullptr) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) std::remove(path);
  return ok;
}

// Characters before the first NUL of a name field, at most its size.
size_t field_length(const char* field) {
  const void* nul = std::memchr(field, 0, kMediaPackNameSize);
  return nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - field) : kMediaPackNameSize;
}

void delete_extracted(MediaPack& pack) {
  if (pack.last_extracted[0] != '\0') {
    platform::remove_file(pack.last_extracted);
    pack.last_extracted[0] = '\0';
  }
}

// Looks the base name up in the open pack and extracts it. Fills `path`
// with the temporary file's path on success. `enabled` falls to 0 only for
// a file that is not a pack.
enum class Lookup { found, missing, not_a_pack };

Lookup extract_from_pack(std::FILE* file, const char* base, size_t base_length, std::string& path) {
  const fmt::PackSource source = fmt::file_source(file);
  int32_t directory_offset = 0;
  switch (fmt::read_trailer(source, directory_offset)) {
    case fmt::TrailerStatus::ok:
      break;
    case fmt::TrailerStatus::truncated:
      return Lookup::missing;
    case fmt::TrailerStatus::bad_magic:
      return Lookup::not_a_pack;
  }
  fmt::DirectoryEntry entry;
  if (!fmt::find_entry(source, directory_offset, base, base_length, entry)) return Lookup::missing;
  // The stored name becomes part of a file name in the temporary directory.
  if (!fmt::safe_entry_name(entry.name, entry.name_length)) return Lookup::missing;

  std::vector<uint8_t> bytes;
  if (fmt::extract_entry(source, directory_offset, entry, bytes) != fmt::ExtractStatus::ok) {
    return Lookup::missing;
  }
  const uint32_t offset_bits = static_cast<uint32_t>(entry.offset);  // its bit pattern
  path = platform::temp_dir();
  path += "sbx";
  path += static_cast<char>('A' + offset_bits % 26);
  path += static_cast<char>('A' + entry.stored_size % 26);
  path.append(entry.name, entry.name_length);
  if (path.size() >= kMediaPackNameSize) return Lookup::missing;
  return write_new_file(path.c_str(), bytes) ? Lookup::found : Lookup::missing;
}

}  // namespace

bool resolve_media_file(MediaPack& pack, DynString& name) {
  delete_extracted(pack);

  const size_t length = name.length_of();
  if (length == 0 || length >= kMediaPackNameSize) {
    name = "";
    return false;
  }
  // The request is read completely before the result is written.
  char request[kMediaPackNameSize];
  std::memcpy(request, name.c_str(), length + 1);

  char probe[kMediaPackNameSize];
  disk_path(request, length, probe);
  if (is_readable_file(probe)) return true;  // the result is the request

  if (pack.enabled == 0) return false;
  char pack_path[kMediaPackNameSize];
  const size_t pack_length = field_length(pack.pack_name);
  if (pack_length == 0 || !disk_path(pack.pack_name, pack_length, pack_path)) {
    pack.enabled = 0;
    return false;
  }
  std::FILE* file = open_existing(pack_path);
  if (file == nullptr) {
    pack.enabled = 0;
    return false;
  }
  size_t base_length = 0;
  const char* base = fmt::base_name(request, length, base_length);
  std::string path;
  const Lookup lookup = extract_from_pack(file, base, base_length, path);
  std::fclose(file);

  switch (lookup) {
    case Lookup::not_a_pack:
      pack.enabled = 0;
      return false;
    case Lookup::missing:
      name = "";
      return false;
    case Lookup::found:
      break;
  }
  std::memcpy(pack.last_extracted, path.c_str(), path.size() + 1);
  name = path.c_str();
  return true;
}

bool resolve_asset_name(DynString& name) {
  name.reserve(256);
  MediaPack* pack = engine().media_pack;
  bool ok;
  if (pack != nullptr) {
    ok = resolve_media_file(*pack, name);
  } else {
    MediaPack disk_only;
    disk_only.enabled = 0;
    ok = resolve_media_file(disk_only, name);
  }
  name.recount();
  if (!ok) name = "";
  return ok;
}

void report_failed_load(const char* command, const char* file_name, const char* reason) {
  std::string line = std::string(command) + ": \"" + (file_name ? file_name : "") + "\" not loaded: " +
                     (reason && *reason ? reason : "unknown reason");
  append_report_line(line.c_str());
}

void reset_media_pack(MediaPack& pack, const char* pack_name) {
  pack.enabled = 1;
  delete_extracted(pack);
  const size_t length = pack_name != nullptr ? std::strlen(pack_name) : 0;
  if (length >= kMediaPackNameSize) {
    pack.pack_name[0] = '\0';  // too long to name any pack: none
  } else {
    std::memcpy(pack.pack_name, pack_name == nullptr ? "" : pack_name, length);
    pack.pack_name[length] = '\0';
  }
}

void set_media_pack(const char* media_pack, const char* second) {
  EngineState& e = engine();
  if (e.media_pack != nullptr) reset_media_pack(*e.media_pack, media_pack);
  if (e.media_pack_second != nullptr) reset_media_pack(*e.media_pack_second, second);
}

void close_media_pack(MediaPack& pack) {
  delete_extracted(pack);
  pack.pack_name[0] = '\0';
}

}  // namespace quarvel
