// The media pack: where asset loaders find their files.
//
// Every loader passes its file name through resolve_asset_name (or
// resolve_media_file) before opening it. A file that exists on disk under
// that name is used as it is. Otherwise the name's base name is looked up,
// without regard to ASCII case, in the media pack (see
// formats/media_pack_format.h); a hit is decompressed into a temporary file
// "sbx??<entry name>" in the temporary directory and the loader is handed
// that path instead. At most one extracted file exists per record: every
// lookup first deletes the one before.
//
// The pack file is opened afresh at each lookup that misses on disk and is
// never held open. A pack that cannot be used (no name, cannot be opened,
// not a pack) switches the record off until set_media_pack names it again;
// later misses then fail without touching any file.
//
// Main thread only: nothing here is synchronised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "quarvel/dyn_string.h"

namespace quarvel {

// Size of the record's name fields: names of up to 1023 characters.
constexpr size_t kMediaPackNameSize = 1024;

struct MediaPack {
  // 1: a lookup that misses on disk consults the pack.
  uint8_t enabled = 1;
  // Path of the pack file (a pack of its own or a file with a pack
  // appended); empty means no pack.
  char pack_name[kMediaPackNameSize] = {};
  // Full path of the file the last extraction wrote; empty when none.
  char last_extracted[kMediaPackNameSize] = {};
};

// Resolves `name` in place. True: name now holds a readable file, either
// the request itself (unchanged, separators included) or the path of an
// extracted copy. False: the asset is not available; name is then either
// left as it was (pack switched off, pack unusable) or emptied (empty
// request, truncated trailer, no such entry, damaged entry, names over
// the limits).
//
// The extracted copy lives until the next call for this record, the next
// set_media_pack or close_media_pack: read it before resolving the next name.
bool resolve_media_file(MediaPack& pack, DynString& name);

// For loaders: reserves room for 256 characters, resolves through the
// engine's media pack (only the disk when there is none) and re-measures;
// name is empty on failure.
bool resolve_asset_name(DynString& name);

// Writes the one report-file line of a failed load:
//   <command>: "<file name>" not loaded: <reason>
void report_failed_load(const char* command, const char* file_name, const char* reason);

// One record: enabled again, its extracted file deleted, the pack named.
// A null name or one of more than 1023 characters names no pack.
void reset_media_pack(MediaPack& pack, const char* pack_name);

// Names the pack of the loaders (engine().media_pack) and the second record
// (engine().media_pack_second); records that do not exist are skipped. The
// pack file is not opened here.
void set_media_pack(const char* media_pack, const char* second);
inline void set_media_pack(const std::string& media_pack, const std::string& second) {
  set_media_pack(media_pack.c_str(), second.c_str());
}

// Shutdown step for one record: deletes its extracted file and clears both
// names. The record itself belongs to the engine, which frees it.
void close_media_pack(MediaPack& pack);

}  // namespace quarvel
