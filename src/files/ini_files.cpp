#include "quarvel/ini_files.h"

#include <string>
#include <vector>

#include "files/documents.h"
#include "files/formats/ini_format.h"
#include "files/media_pack.h"
#include "platform/host.h"
#include "values/file_bytes.h"

namespace quarvel {

namespace {

namespace ini = ini_format;

// Files larger than this are not read (the document stays empty).
constexpr size_t kMaxIniBytes = size_t{256} << 20;

struct IniFile {
  // Where the document is written back; empty before the first ini_open.
  std::string path;
  ini::IniDocument document;
  bool changed = false;
};

// Never destroyed: the exit handler uses it after static destructors may
// have begun.
IniFile& ini_file() {
  static IniFile* file = new IniFile();
  return *file;
}

std::string text_of(const DynString& s) { return std::string(s.c_str(), s.length_of()); }

}  // namespace

void write_back_ini_document() {
  IniFile& f = ini_file();
  if (!f.changed || f.path.empty()) return;
  const std::string bytes = ini::write_ini(f.document);
  // Write errors are not reported; the document stays changed, so a later
  // write-back tries again.
  if (platform::replace_file(f.path.c_str(), bytes.data(), bytes.size())) f.changed = false;
}

void ini_open(const DynString& file_name) {
  IniFile& f = ini_file();
  register_document_write_back();
  write_back_ini_document();
  f.document.sections.clear();
  f.changed = false;
  f.path = file_name.length_of() != 0 ? write_back_path(file_name) : std::string();

  DynString resolved = file_name;
  if (!resolve_asset_name(resolved)) return;  // no file: an empty document
  std::vector<uint8_t> bytes;
  if (!read_file_bytes(resolved.c_str(), kMaxIniBytes, bytes)) return;
  ini::parse_ini(bytes.data(), bytes.size(), f.document);
}

DynString ini_get(const DynString& section, const DynString& key) {
  const std::string* value = ini::find_value(ini_file().document, text_of(section), text_of(key));
  if (value == nullptr) return DynString("NO_DATA");
  return DynString(value->c_str(), static_cast<uint32_t>(value->size()));
}

void ini_put(const DynString& section, const DynString& key, const DynString& value) {
  IniFile& f = ini_file();
  register_document_write_back();
  if (ini::put_value(f.document, text_of(section), text_of(key), text_of(value)) == ini::PutResult::changed) {
    f.changed = true;
  }
}

}  // namespace quarvel
