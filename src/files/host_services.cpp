#include "quarvel/host_services.h"

#include <string>
#include <utility>
#include <vector>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "files/formats/file_pattern.h"
#include "files/host_services.h"
#include "platform/host.h"
#include "platform/platform.h"
#include "quarvel/runtime.h"

namespace quarvel {

namespace {

constexpr double kDirectoryWeight = 65536;

// Programs started without waiting; collected once they end.
std::vector<int>& unwaited_programs() {
  static std::vector<int> ids;
  return ids;
}

struct LoadedLibrary {
  std::string name;  // lower-cased
  void* handle;
};

std::vector<LoadedLibrary>& loaded_libraries() {
  static std::vector<LoadedLibrary> libraries;
  return libraries;
}

// "description|pattern|description|pattern" into pairs; a description
// without its pattern is dropped.
std::vector<platform::DialogFilter> parse_filter(const DynString& filter) {
  std::vector<std::string> parts;
  std::string text(filter.c_str(), filter.length_of());
  size_t start = 0;
  for (;;) {
    const size_t bar = text.find('|', start);
    parts.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::vector<platform::DialogFilter> filters;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i + 1].empty()) continue;
    filters.push_back(platform::DialogFilter{parts[i], parts[i + 1]});
  }
  return filters;
}

}  // namespace

double get_file_list(const DynString& pattern, StringArray& names) {
  std::vector<platform::DirectoryEntry> entries;
  platform::list_directory(".", entries);
  std::vector<const std::string*> directories, files;
  for (const platform::DirectoryEntry& e : entries) {
    if (e.is_directory) {
      directories.push_back(&e.name);
    } else if (pattern_matches(pattern.c_str(), pattern.length_of(), e.name.c_str(), e.name.size())) {
      files.push_back(&e.name);
    }
  }
  const size_t total = directories.size() + files.size();
  dim_array(names, static_cast<double>(total));
  int32_t i = 0;
  for (const auto* group : {&directories, &files}) {
    for (const std::string* name : *group) {
      array_element(names, i++) = DynString(name->c_str(), static_cast<uint32_t>(name->size()));
    }
  }
  return static_cast<double>(files.size()) + kDirectoryWeight * static_cast<double>(directories.size());
}

DynString file_dialog(double open_flag, const DynString& filter) {
  if (platform::non_interactive()) return DynString("NO_FILE");
  const std::vector<platform::DialogFilter> filters = parse_filter(filter);
  const std::string directory = platform::current_directory();

  EngineState& e = engine();
  if (e.gfx != nullptr) e.gfx->hide_window();
  std::string chosen;
  const platform::DialogOutcome outcome = platform::file_dialog(open_flag != 0, filters, directory, chosen);
  if (!directory.empty()) platform::change_directory(directory.c_str());
  if (e.gfx != nullptr) {
    if (e.settings.fullscreen != 0) {
      e.gfx->enter_fullscreen();
    } else {
      e.gfx->enter_windowed();
    }
  }
  if (outcome != platform::DialogOutcome::chosen) return DynString("NO_FILE");
  for (char& c : chosen)
    if (c == '\\') c = '/';
  return DynString(chosen.c_str(), static_cast<uint32_t>(chosen.size()));
}

double run_program(const DynString& command_line, double wait_flag, double show_flag, double& exit_code) {
  (void)show_flag;  // programs have no main window to show or hide here
  exit_code = 0;
  std::vector<int>& unwaited = unwaited_programs();
  platform::collect_ended_programs(unwaited);
  const int id = platform::start_program(command_line.c_str());
  if (id < 0) return 0;
  if (wait_flag != 0) {
    exit_code = platform::wait_program(id);
  } else {
    unwaited.push_back(id);
  }
  return 1;
}

void get_library_function(DynString& library_name, const DynString& function_name, void*& address) {
  address = nullptr;
  const std::string given(library_name.c_str(), library_name.length_of());
  for (uint32_t i = 0; i < library_name.length_of(); ++i) {
    const int c = library_name.char_at(i);
    if (c >= 'A' && c <= 'Z') library_name.set_char(i, static_cast<char>(c - 'A' + 'a'));
  }
  const std::string name(library_name.c_str(), library_name.length_of());

  std::vector<LoadedLibrary>& libraries = loaded_libraries();
  void* handle = nullptr;
  for (const LoadedLibrary& l : libraries) {
    if (l.name == name) {
      handle = l.handle;
      break;
    }
  }
  if (handle == nullptr) {
    // File names are case-sensitive here: the name as given is the
    // second try.
    handle = platform::library_load(name.c_str());
    if (handle == nullptr && given != name) handle = platform::library_load(given.c_str());
    if (handle == nullptr) {
      if (engine().settings.debug_mode != 0) debug_text(DynString("Failed to load: ") + library_name);
      return;
    }
    libraries.push_back(LoadedLibrary{name, handle});
  }
  address = platform::library_symbol(handle, function_name.c_str());
}

size_t loaded_library_count() { return loaded_libraries().size(); }

}  // namespace quarvel
