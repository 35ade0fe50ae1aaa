// The public model and shader commands over the 3D renderer's model store
// and shader slots.
#include "core/engine_state.h"
#include "files/media_pack.h"
#include "gfx3d/vurivari3d.h"
#include "quarvel/models.h"
#include "quarvel/runtime.h"
#include "quarvel/shaders.h"
#include "values/truncate.h"

namespace quarvel {

double load_object(const DynString& file_name, double slot) {
  Vurivari3D* renderer = engine().renderer3d;
  if (!renderer) return 0;
  const int number = truncate_to_int32(slot);
  if (!ModelStore::valid_slot(number)) {
    record_runtime_error(9);
    end_program();
  }
  DynString name = file_name;
  if (!resolve_asset_name(name)) {
    renderer->models.release(number);
    report_failed_load("load_object", file_name.c_str(), "not found");
    return 0;
  }
  std::string why;
  if (!renderer->models.load_model(number, name.c_str(), &why)) {
    report_failed_load("load_object", file_name.c_str(), why.c_str());
    return 0;
  }
  // The key frames go to the GL now, not at the first drawing.
  if (MeshObject* mesh = renderer->models.find(number)) renderer->prepare_model(*mesh);
  return 1;
}

double object_loaded(double slot) {
  Vurivari3D* renderer = engine().renderer3d;
  if (!renderer) return 0;
  const MeshObject* mesh = renderer->models.find(truncate_to_int32(slot));
  return mesh && mesh->model.loaded ? 1 : 0;
}

double object_frame_count(double slot) {
  Vurivari3D* renderer = engine().renderer3d;
  if (!renderer) return 0;
  const MeshObject* mesh = renderer->models.find(truncate_to_int32(slot));
  return mesh ? static_cast<double>(mesh->model.frames.size()) : 0;
}

double load_shader(double slot, const DynString& vertex_file, const DynString& fragment_file) {
  Vurivari3D* renderer = engine().renderer3d;
  if (!renderer) return 0;
  return renderer->shaders.load_shader(truncate_to_int32(slot), vertex_file.c_str(), fragment_file.c_str());
}

void use_shader(double slot) {
  if (Vurivari3D* renderer = engine().renderer3d) renderer->use_shader(truncate_to_int32(slot));
}

void set_shader_uniform(const DynString& name, double value) {
  if (Vurivari3D* renderer = engine().renderer3d) renderer->shaders.set_uniform(name.c_str(), static_cast<float>(value));
}

}  // namespace quarvel
