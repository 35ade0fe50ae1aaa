#include "quarvel/line_files.h"

#include <string>
#include <vector>

#include "files/documents.h"
#include "files/formats/line_file_format.h"
#include "files/media_pack.h"
#include "platform/host.h"
#include "quarvel/number_text.h"
#include "quarvel/runtime.h"
#include "values/file_bytes.h"
#include "values/truncate.h"

namespace quarvel {

namespace {

namespace lf = line_file_format;

constexpr int kErrorReadWrite = 3;
constexpr int kErrorBadIndex = 7;
// Files larger than this count as unreadable.
constexpr size_t kMaxLineFileBytes = size_t{256} << 20;

struct LineFile {
  // The name as the commands gave it; empty when no file is cached.
  std::string name;
  // Where a write-back goes (the name made absolute when it was given).
  std::string path;
  lf::LineCache cache;
  bool changed = false;
};

// Never destroyed: the exit handler uses it after static destructors may
// have begun.
LineFile& line_file() {
  static LineFile* file = new LineFile();
  return *file;
}

// The line number, or -1 (with error 7 recorded) when outside 0..255.
int line_index(double line) {
  const int32_t n = truncate_to_int32(line);
  if (line != line || n < 0 || n >= lf::kLineCount) {
    record_runtime_error(kErrorBadIndex);
    return -1;
  }
  return n;
}

}  // namespace

double open_line_file(const DynString* file_name) {
  LineFile& f = line_file();
  register_document_write_back();
  const std::string name = file_name != nullptr ? std::string(file_name->c_str(), file_name->length_of()) : "";
  if (file_name != nullptr && !f.name.empty() && name == f.name) return 0;

  if (!f.name.empty() && f.changed) {
    // Errors are not reported; the cache is reset all the same.
    const std::string bytes = lf::write_lines(f.cache);
    platform::replace_file(f.path.c_str(), bytes.data(), bytes.size());
  }
  f.cache.clear();
  f.changed = false;
  f.name.clear();
  f.path.clear();
  if (file_name == nullptr) return 0;

  f.name = name;
  f.path = write_back_path(*file_name);
  DynString resolved = *file_name;
  std::vector<uint8_t> bytes;
  if (name.empty() || !resolve_asset_name(resolved) ||
      !read_file_bytes(resolved.c_str(), kMaxLineFileBytes, bytes)) {
    return record_runtime_error(kErrorReadWrite);
  }
  lf::read_lines(bytes.data(), bytes.size(), f.cache);
  return 0;
}

DynString get_file_line(const DynString& file_name, double line) {
  const int n = line_index(line);
  if (n < 0) return DynString("NO_DATA");
  if (open_line_file(&file_name) != 0) return DynString("NO_FILE");
  const std::string& text = line_file().cache.lines[n];
  DynString out(text.c_str(), static_cast<uint32_t>(text.size()));
  out.trim_trailing_controls();
  if (out.length_of() == 0) return DynString("NO_DATA");
  return out;
}

double get_file_number(const DynString& file_name, double line) {
  return text_to_number(get_file_line(file_name, line));
}

void put_file_line(const DynString& file_name, double line, const DynString& text) {
  const int n = line_index(line);
  if (n < 0) return;
  open_line_file(&file_name);  // a missing file is built anew
  LineFile& f = line_file();
  f.cache.set_line(n, text.c_str(), text.length_of());
  f.changed = true;
}

void put_file_number(const DynString& file_name, double line, double value) {
  put_file_line(file_name, line, number_to_text(value));
}

}  // namespace quarvel
