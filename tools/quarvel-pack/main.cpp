// quarvel-pack: the media pack tool for game authors.
//
//   quarvel-pack create PACK FILE...          new pack file
//   quarvel-pack list PACK                    show the directory
//   quarvel-pack extract PACK [NAME...] [-o DIR]
//   quarvel-pack append TARGET FILE...        pack appended to TARGET (merged
//                                             with one already there)
//   quarvel-pack strip TARGET                 appended pack removed
//
// Exit codes: 0 done, 1 failed (I/O, not a pack, damaged entries, names
// not found), 2 misuse.
#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "files/formats/media_pack_format.h"

namespace fs = std::filesystem;
namespace fmt = quarvel::media_pack_format;

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kMisuse = 2;

const char kUsage[] =
    "usage: quarvel-pack COMMAND ARGS...\n"
    "\n"
    "Builds and reads media packs: archives of LZO1X-compressed asset files\n"
    "that a Quarvel game consults for any asset it does not find on disk.\n"
    "Entries are stored and looked up by base name (directories are dropped,\n"
    "case does not matter when the game looks them up).\n"
    "\n"
    "commands:\n"
    "  create PACK FILE...           write a new pack file PACK holding FILEs\n"
    "                                (PACK is replaced if it exists)\n"
    "  list PACK                     list the entries: name, stored size,\n"
    "                                uncompressed size, offset as stored\n"
    "  extract PACK [NAME...] [-o DIR]\n"
    "                                unpack every entry, or the NAMEd ones,\n"
    "                                into DIR (default: the current directory)\n"
    "  append TARGET FILE...         append a pack holding FILEs to the end of\n"
    "                                the existing file TARGET (for example the\n"
    "                                game executable, making a single-file\n"
    "                                game); TARGET keeps its mode bits.\n"
    "                                A pack already appended is merged: its\n"
    "                                entries stay unless a FILE of the same\n"
    "                                name replaces them, and TARGET ends in\n"
    "                                one pack\n"
    "  strip TARGET                  remove the pack appended to TARGET\n"
    "\n"
    "options:\n"
    "  -h, --help                    show this text\n"
    "\n"
    "exit status: 0 done, 1 failed, 2 wrong usage\n";

int misuse(const char* message) {
  std::fprintf(stderr, "quarvel-pack: %s\nTry 'quarvel-pack --help'.\n", message);
  return kMisuse;
}

void error(const std::string& message) { std::fprintf(stderr, "quarvel-pack: %s\n", message.c_str()); }

std::string errno_text() { return std::strerror(errno); }

bool read_whole_file(const std::string& path, std::vector<uint8_t>& bytes) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    error(path + ": " + (fs::exists(path, ec) ? "not a regular file" : "no such file"));
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error(path + ": cannot open: " + errno_text());
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error(path + ": read error");
    return false;
  }
  return true;
}

bool write_whole_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (out) out.close();
  if (!out) {
    error(path + ": cannot write: " + errno_text());
    std::error_code ec;
    fs::remove(path, ec);
    return false;
  }
  return true;
}

// Reads and compresses the input files into entries named by their base
// names. Refuses names the runtime could not serve.
bool collect_entries(const std::vector<std::string>& files, std::vector<fmt::StoredEntry>& entries) {
  for (const std::string& file : files) {
    size_t base_length = 0;
    const char* base = fmt::base_name(file.c_str(), file.size(), base_length);
    const std::string name(base, base_length);
    if (base_length == 0) {
      error(file + ": no file name after the last separator");
      return false;
    }
    if (base_length > fmt::kMaxEntryName) {
      error(file + ": file name longer than 255 bytes");
      return false;
    }
    if (!fmt::safe_entry_name(name.c_str(), name.size())) {
      error(file + ": entry name \"" + name + "\" may not contain \"..\"");
      return false;
    }
    for (const fmt::StoredEntry& e : entries) {
      if (fmt::names_equal(e.name.c_str(), e.name.size(), name.c_str(), name.size())) {
        error(file + ": an entry named \"" + e.name + "\" is already in the pack (names ignore case)");
        return false;
      }
    }
    std::vector<uint8_t> bytes;
    if (!read_whole_file(file, bytes)) return false;
    fmt::StoredEntry entry;
    entry.name = name;
    std::string why;
    if (!fmt::compress_entry_data(bytes.data(), bytes.size(), entry.stored, why)) {
      error(file + ": " + why);
      return false;
    }
    entries.push_back(std::move(entry));
  }
  return true;
}

int cmd_create(const std::vector<std::string>& args) {
  if (args.size() < 2) return misuse("create needs a pack name and at least one file");
  std::vector<fmt::StoredEntry> entries;
  if (!collect_entries({args.begin() + 1, args.end()}, entries)) return kFailed;
  std::vector<uint8_t> pack;
  std::string why;
  if (!fmt::write_pack(entries, fmt::PackBase::from_start, pack, why)) {
    error(args[0] + ": " + why);
    return kFailed;
  }
  if (!write_whole_file(args[0], pack)) return kFailed;
  std::printf("%s: %zu entries, %zu bytes\n", args[0].c_str(), entries.size(), pack.size());
  return kOk;
}

// The packs appended at the end of a file (normally one; several when an
// older tool appended twice) and where the first of them starts.
struct AppendedPacks {
  int count = 0;
  uint64_t start = 0;                     // the file's size when there is none
  std::vector<fmt::StoredEntry> entries;  // oldest pack first; a later entry replaces an earlier one
  bool own_pack = false;                  // the whole file is a pack of its own
};

// Adds the entry, replacing one of the same name (names ignore case).
// Returns true when it replaced one.
bool put_entry(std::vector<fmt::StoredEntry>& entries, fmt::StoredEntry entry) {
  for (fmt::StoredEntry& e : entries) {
    if (fmt::names_equal(e.name.c_str(), e.name.size(), entry.name.c_str(), entry.name.size())) {
      e = std::move(entry);
      return true;
    }
  }
  entries.push_back(std::move(entry));
  return false;
}

// Reads every pack appended to `bytes`, newest (last) first, keeping their
// entries' stored data as it is. False (with a reason) for a damaged pack.
bool find_appended_packs(const std::vector<uint8_t>& bytes, AppendedPacks& packs, std::string& why) {
  packs = AppendedPacks();
  uint64_t end = bytes.size();
  std::vector<std::vector<fmt::StoredEntry>> newest_first;
  for (;;) {
    const fmt::PackSource source = fmt::bytes_source(bytes.data(), static_cast<size_t>(end));
    int32_t directory = 0;
    if (fmt::read_trailer(source, directory) != fmt::TrailerStatus::ok) break;
    if (directory >= 0) {
      // A pack file of its own, not one appended to a program.
      packs.own_pack = packs.count == 0;
      break;
    }
    uint64_t lowest = 0;
    if (!fmt::resolve_offset(end, directory, directory, lowest)) {
      why = "the appended pack's directory lies outside the file";
      return false;
    }
    std::vector<fmt::StoredEntry> entries;
    fmt::DirectoryWalker walk(source, directory);
    fmt::DirectoryEntry e;
    while (walk.next(e)) {
      uint64_t pos = 0;
      if (!fmt::resolve_offset(end, directory, e.offset, pos) || e.stored_size > end - pos) {
        why = std::string("entry \"") + e.name + "\" of the appended pack lies outside the file";
        return false;
      }
      lowest = std::min(lowest, pos);
      fmt::StoredEntry stored;
      stored.name = e.name;
      stored.stored.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                           bytes.begin() + static_cast<std::ptrdiff_t>(pos + e.stored_size));
      // Within one pack the runtime serves the first of equal names.
      bool shadowed = false;
      for (const fmt::StoredEntry& k : entries) {
        shadowed = shadowed || fmt::names_equal(k.name.c_str(), k.name.size(), stored.name.c_str(), stored.name.size());
      }
      if (!shadowed) entries.push_back(std::move(stored));
    }
    newest_first.push_back(std::move(entries));
    ++packs.count;
    end = lowest;
  }
  packs.start = end;
  for (auto it = newest_first.rbegin(); it != newest_first.rend(); ++it) {
    for (fmt::StoredEntry& e : *it) put_entry(packs.entries, std::move(e));
  }
  return true;
}

// Replaces the file's bytes from `start` on with `tail`, in place, so the
// file keeps its inode, owner and mode bits. On a failure the old tail is
// written back.
bool replace_tail(const std::string& path, uint64_t start, const std::vector<uint8_t>& old_bytes,
                  const std::vector<uint8_t>& tail) {
  auto write_tail = [&](const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    if (f == nullptr) return false;
    bool ok = fseeko(f, static_cast<off_t>(start), SEEK_SET) == 0 && std::fwrite(data, 1, size, f) == size;
    ok = std::fclose(f) == 0 && ok;
    std::error_code ec;
    if (ok) fs::resize_file(path, start + size, ec);
    return ok && !ec;
  };
  if (write_tail(tail.data(), tail.size())) return true;
  error(path + ": write failed: " + errno_text());
  write_tail(old_bytes.data() + start, static_cast<size_t>(old_bytes.size() - start));
  return false;
}

int cmd_append(const std::vector<std::string>& args) {
  if (args.size() < 2) return misuse("append needs a target file and at least one file");
  const std::string& target = args[0];
  std::error_code ec;
  if (!fs::is_regular_file(target, ec)) {
    error(target + ": no such regular file to append to");
    return kFailed;
  }
  std::vector<fmt::StoredEntry> added;
  if (!collect_entries({args.begin() + 1, args.end()}, added)) return kFailed;
  std::vector<uint8_t> old_bytes;
  if (!read_whole_file(target, old_bytes)) return kFailed;
  // A pack already appended is merged with the new files (one of the same
  // name is replaced) and the result replaces it: one pack at the end.
  AppendedPacks packs;
  std::string why;
  if (!find_appended_packs(old_bytes, packs, why)) {
    error(target + ": " + why + "; nothing changed");
    return kFailed;
  }
  if (packs.own_pack) {
    error(target + ": is a pack file of its own; use create to make a new one");
    return kFailed;
  }
  const size_t kept_before = packs.entries.size();
  size_t replaced = 0;
  for (fmt::StoredEntry& e : added) replaced += put_entry(packs.entries, std::move(e)) ? 1 : 0;
  std::vector<uint8_t> pack;
  if (!fmt::write_pack(packs.entries, fmt::PackBase::from_end, pack, why)) {
    error(target + ": " + why);
    return kFailed;
  }
  if (!replace_tail(target, packs.start, old_bytes, pack)) return kFailed;
  if (packs.count == 0) {
    std::printf("%s: appended %zu entries, %zu bytes\n", target.c_str(), packs.entries.size(), pack.size());
  } else {
    std::printf("%s: pack replaced: %zu entries (%zu kept, %zu replaced, %zu new), %zu bytes\n", target.c_str(),
                packs.entries.size(), kept_before - replaced, replaced, packs.entries.size() - kept_before,
                pack.size());
  }
  return kOk;
}

int cmd_strip(const std::vector<std::string>& args) {
  if (args.size() != 1) return misuse("strip needs exactly one file");
  const std::string& target = args[0];
  std::vector<uint8_t> bytes;
  if (!read_whole_file(target, bytes)) return kFailed;
  AppendedPacks packs;
  std::string why;
  if (!find_appended_packs(bytes, packs, why)) {
    error(target + ": " + why + "; nothing changed");
    return kFailed;
  }
  if (packs.count == 0) {
    error(target + (packs.own_pack ? ": is a pack file of its own, not a file with a pack appended"
                                   : ": has no pack appended"));
    return kFailed;
  }
  std::error_code ec;
  fs::resize_file(target, packs.start, ec);
  if (ec) {
    error(target + ": " + ec.message());
    return kFailed;
  }
  std::printf("%s: pack removed (%zu entries), %" PRIu64 " bytes left\n", target.c_str(), packs.entries.size(),
              static_cast<uint64_t>(packs.start));
  return kOk;
}

// An open pack with its trailer read.
struct OpenPack {
  std::FILE* file = nullptr;
  fmt::PackSource source;
  int32_t directory_offset = 0;
  ~OpenPack() {
    if (file != nullptr) std::fclose(file);
  }
};

bool open_pack(const std::string& path, OpenPack& pack) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    error(path + ": no such regular file");
    return false;
  }
  pack.file = std::fopen(path.c_str(), "rb");
  if (pack.file == nullptr) {
    error(path + ": cannot open: " + errno_text());
    return false;
  }
  pack.source = fmt::file_source(pack.file);
  switch (fmt::read_trailer(pack.source, pack.directory_offset)) {
    case fmt::TrailerStatus::ok:
      return true;
    case fmt::TrailerStatus::truncated:
      error(path + ": too short to be a media pack");
      return false;
    case fmt::TrailerStatus::bad_magic:
      error(path + ": not a media pack (no \"sbX\" trailer)");
      return false;
  }
  return false;
}

int cmd_list(const std::vector<std::string>& args) {
  if (args.size() != 1) return misuse("list needs exactly one pack name");
  OpenPack pack;
  if (!open_pack(args[0], pack)) return kFailed;
  std::printf("%s: %s, directory offset %" PRId32 "\n", args[0].c_str(),
              pack.directory_offset < 0 ? "pack appended to a file (offsets from the end)"
                                        : "pack file (offsets from the start)",
              pack.directory_offset);
  std::printf("%-32s %12s %12s %12s\n", "name", "stored", "uncompressed", "offset");
  fmt::DirectoryWalker walk(pack.source, pack.directory_offset);
  fmt::DirectoryEntry e;
  size_t count = 0;
  while (walk.next(e)) {
    ++count;
    char uncompressed[16] = "?";
    uint64_t pos = 0;
    uint8_t size_field[4];
    if (e.stored_size >= 4 && fmt::resolve_offset(pack.source.size, pack.directory_offset, e.offset, pos) &&
        pack.source.read_at(pos, size_field, 4)) {
      const uint32_t u = size_field[0] | size_field[1] << 8 | size_field[2] << 16 |
                         static_cast<uint32_t>(size_field[3]) << 24;
      std::snprintf(uncompressed, sizeof uncompressed, "%" PRIu32, u);
    }
    std::printf("%-32s %12" PRIu32 " %12s %12" PRId32 "\n", e.name, e.stored_size, uncompressed, e.offset);
  }
  std::printf("%zu entries\n", count);
  return kOk;
}

int cmd_extract(const std::vector<std::string>& args) {
  std::string pack_name;
  std::string out_dir = ".";
  bool have_out_dir = false;
  std::vector<std::string> wanted;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o") {
      if (i + 1 >= args.size()) return misuse("-o needs a directory");
      if (have_out_dir) return misuse("-o given twice");
      out_dir = args[++i];
      have_out_dir = true;
    } else if (pack_name.empty()) {
      pack_name = args[i];
    } else {
      wanted.push_back(args[i]);
    }
  }
  if (pack_name.empty()) return misuse("extract needs a pack name");
  std::error_code ec;
  if (!fs::is_directory(out_dir, ec)) {
    error(out_dir + ": no such directory");
    return kFailed;
  }
  OpenPack pack;
  if (!open_pack(pack_name, pack)) return kFailed;

  // The entries to write: every one, or the first match of each name
  // asked for (as the runtime would pick it).
  std::vector<fmt::DirectoryEntry> chosen;
  int status = kOk;
  if (wanted.empty()) {
    fmt::DirectoryWalker walk(pack.source, pack.directory_offset);
    fmt::DirectoryEntry e;
    while (walk.next(e)) {
      bool shadowed = false;
      for (const fmt::DirectoryEntry& c : chosen) {
        shadowed = shadowed || fmt::names_equal(c.name, c.name_length, e.name, e.name_length);
      }
      if (shadowed) {
        std::fprintf(stderr, "quarvel-pack: skipping %s: an earlier entry has the same name\n", e.name);
      } else {
        chosen.push_back(e);
      }
    }
  } else {
    for (const std::string& w : wanted) {
      size_t base_length = 0;
      const char* base = fmt::base_name(w.c_str(), w.size(), base_length);
      fmt::DirectoryEntry e;
      if (fmt::find_entry(pack.source, pack.directory_offset, base, base_length, e)) {
        chosen.push_back(e);
      } else {
        error(pack_name + ": no entry named \"" + w + "\"");
        status = kFailed;
      }
    }
  }
  for (const fmt::DirectoryEntry& e : chosen) {
    if (!fmt::safe_entry_name(e.name, e.name_length)) {
      error(pack_name + ": refusing entry \"" + e.name + "\": not a plain file name");
      status = kFailed;
      continue;
    }
    std::vector<uint8_t> bytes;
    const fmt::ExtractStatus s = fmt::extract_entry(pack.source, pack.directory_offset, e, bytes);
    if (s != fmt::ExtractStatus::ok) {
      error(pack_name + ": " + e.name + ": " + fmt::extract_status_text(s));
      status = kFailed;
      continue;
    }
    const std::string path = (fs::path(out_dir) / e.name).string();
    if (!write_whole_file(path, bytes)) {
      status = kFailed;
      continue;
    }
    std::printf("%s\n", path.c_str());
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& a : args) {
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return kOk;
    }
  }
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return kMisuse;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  for (const std::string& a : args) {
    if (a.size() > 1 && a[0] == '-' && !(a == "-o" && command == "extract")) {
      return misuse(("unknown option \"" + a + "\" (name a file starting with '-' as ./" + a + ")").c_str());
    }
  }
  if (command == "create") return cmd_create(args);
  if (command == "list") return cmd_list(args);
  if (command == "extract") return cmd_extract(args);
  if (command == "append") return cmd_append(args);
  if (command == "strip") return cmd_strip(args);
  return misuse(("unknown command \"" + command + "\"").c_str());
}
