#include "files/documents.h"

#include <cstdlib>

#include "platform/host.h"

namespace quarvel {

namespace {
void write_back_at_exit() {
  write_back_ini_document();
  open_line_file(nullptr);
}
}  // namespace

void register_document_write_back() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  std::atexit(write_back_at_exit);
}

void start_file_documents() {
  open_line_file(nullptr);
  register_document_write_back();
}

std::string write_back_path(const DynString& file_name) {
  std::string path(file_name.c_str(), file_name.length_of());
  for (char& c : path)
    if (c == '\\') c = '/';
  if (!path.empty() && path[0] != '/') {
    std::string dir = platform::current_directory();
    if (!dir.empty()) {
      if (dir.back() != '/') dir += '/';
      path = dir + path;
    }
  }
  return path;
}

}  // namespace quarvel
