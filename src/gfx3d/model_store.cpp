#include "gfx3d/model_store.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "quarvel/runtime.h"
#include "values/file_bytes.h"

namespace quarvel {

namespace {

enum class ReadResult { ok, missing, too_large, short_read };

// The whole file, or why not. Either separator is accepted in the name.
ReadResult read_model_file(const char* file_name, std::vector<uint8_t>& bytes) {
  bytes.clear();
  std::string name(file_name ? file_name : "");
  if (name.empty() || name.size() >= kMaxFileNameLength) return ReadResult::missing;
  for (char& c : name)
    if (c == '\\') c = '/';
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (!file) return ReadResult::missing;
  ReadResult result = ReadResult::short_read;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long end = std::ftell(file);
    if (end >= 0 && static_cast<unsigned long>(end) > kMaxModelFileBytes) {
      result = ReadResult::too_large;
    } else if (end >= 0 && std::fseek(file, 0, SEEK_SET) == 0) {
      try {
        bytes.resize(static_cast<size_t>(end));
        if (end == 0 || std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size()) result = ReadResult::ok;
      } catch (const std::bad_alloc&) {
        result = ReadResult::too_large;
      }
    }
  }
  std::fclose(file);
  if (result != ReadResult::ok) bytes.clear();
  return result;
}

void report_failure(const char* what, const char* file_name) {
  append_report_line(what);
  append_report_line(file_name ? file_name : "");
}

}  // namespace

bool load_ddd(MeshObject& mesh, const char* file_name, bool expand, std::string* why) {
  auto fail = [&](const char* reason) {
    if (why) *why = reason;
    return false;
  };
  mesh.model.clear();
  mesh.mesh.clear();
  std::vector<float>().swap(mesh.blended);
  release_model_gpu(mesh.gpu, false);
  mesh.prepared = 0;
  std::vector<uint8_t> bytes;
  switch (read_model_file(file_name, bytes)) {
    case ReadResult::ok:
      break;
    case ReadResult::missing:
      return fail("not found");
    case ReadResult::too_large:
      report_failure("# malloc error", file_name);
      return fail("too large (more than 64 MB)");
    case ReadResult::short_read:
      report_failure("# read error", file_name);
      return fail("cannot be read");
  }
  switch (parse_ddd(bytes.data(), bytes.size(), expand, mesh.model)) {
    case DddStatus::ok:
      return true;
    case DddStatus::wrong_version:
      append_report_line("Wrong .ddd version.");
      return fail("a binary model of another version than 1.02");
    case DddStatus::read_error:
      report_failure("# read error", file_name);
      return fail("damaged (counts, indices or numbers that do not fit the file)");
    case DddStatus::no_memory:
      report_failure("# malloc error", file_name);
      return fail("too large when expanded");
    case DddStatus::not_a_model:
      return fail("not a model file (neither the binary form nor \"DDDA\" text of version 1.1 or lower)");
  }
  return fail("not a model file");
}

MeshObject* ModelStore::mesh(int slot) {
  if (!valid_slot(slot)) return nullptr;
  if (meshes_.size() <= static_cast<size_t>(slot)) meshes_.resize(static_cast<size_t>(slot) + 1);
  if (!meshes_[slot]) meshes_[slot] = std::make_unique<MeshObject>();
  return meshes_[slot].get();
}

const MeshObject* ModelStore::find(int slot) const {
  if (!valid_slot(slot) || static_cast<size_t>(slot) >= meshes_.size()) return nullptr;
  return meshes_[slot].get();
}

MeshObject* ModelStore::find(int slot) {
  if (!valid_slot(slot) || static_cast<size_t>(slot) >= meshes_.size()) return nullptr;
  return meshes_[slot].get();
}

MeshObject::~MeshObject() { release_model_gpu(gpu, true); }

void ModelStore::release(int slot) {
  if (valid_slot(slot) && static_cast<size_t>(slot) < meshes_.size()) meshes_[slot].reset();
}

bool ModelStore::load_model(int slot, const char* file_name, std::string* why) {
  MeshObject* record = mesh(slot);
  if (!record) return false;
  // Only the first four bytes decide the loader.
  char head[4] = {};
  std::string name(file_name ? file_name : "");
  for (char& c : name)
    if (c == '\\') c = '/';
  if (std::FILE* file = std::fopen(name.c_str(), "rb")) {
    const size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    if (got == sizeof head && std::memcmp(head, ";DDW", 4) == 0) {
      // The second model format is not read by this runtime.
      release(slot);
      if (why) *why = "the \";DDW\" model format is not read by this runtime";
      return false;
    }
  }
  if (!load_ddd(*record, file_name, true, why)) {
    release(slot);
    return false;
  }
  // Drawing works from the triangles made from the expanded vertex lists;
  // a model without a whole triangle loads but draws nothing.
  build_draw_mesh(record->model, record->mesh);
  record->prepared = 1;
  return true;
}

}  // namespace quarvel
