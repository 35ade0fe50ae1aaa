// The model store of the 3D renderer: numbered mesh records filled from
// model files.
//
// load_model reads the file's first four bytes and dispatches: ";DDW" names
// a second text model format that this runtime does not read (such a file
// is refused and leaves the slot empty); everything else goes to load_ddd.
// Failures are written to the report file as "Wrong .ddd version.", or as
// "# read error" / "# malloc error" followed by a line with the file name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gfx3d/formats/ddd_format.h"
#include "gfx3d/formats/ddd_mesh.h"

namespace quarvel {

// What a model keeps on the GL side (names 0: none). Made when the model is
// loaded (or at its first drawing when no context was current then).
struct ModelGpu {
  std::vector<uint32_t> frame_buffers;  // each key frame's positions and normals
  uint32_t attribute_buffer = 0;  // texture coordinates, then colours
  uint32_t blend_buffer = 0;      // the last blended frame, streamed
  uint32_t texture = 0;           // the picture given by set_object_texture
  bool uploaded = false;
  // The frame pair and weight whose blend the blend buffer (or, without
  // buffer objects, `blended`) holds; weight -1: none.
  FramePick blend_key{0, 0, -1.0f};
  // The alpha byte the colours were last written with.
  int colour_alpha = -1;
};

// One mesh record: the model as read, ready for the renderer's drawing.
struct MeshObject {
  MeshObject() = default;
  MeshObject(const MeshObject&) = delete;
  MeshObject& operator=(const MeshObject&) = delete;
  // Gives back the GL names while the context lives.
  ~MeshObject();

  DddModel model;
  // The triangles drawn (gfx3d/formats/ddd_mesh.h).
  DrawMesh mesh;
  ModelGpu gpu;
  std::vector<float> blended;  // the last blended frame (see ModelGpu)
  // Set by load_model once the model has been handed over for drawing.
  uint8_t prepared = 0;
};

// Deletes the GL names of a model (buffers; the texture too when
// `with_texture`), when a context is current.
void release_model_gpu(ModelGpu& gpu, bool with_texture);

// Mesh slots 0..kModelSlotCount-1; the load command ends the program with
// error 9 for any other number.
constexpr int kModelSlotCount = 1024;
// Model files larger than this are refused ("# malloc error").
constexpr size_t kMaxModelFileBytes = size_t(64) << 20;

class ModelStore {
 public:
  static bool valid_slot(int slot) { return slot >= 0 && slot < kModelSlotCount; }

  // The record of a slot, made on first use; null for a number outside
  // the slots.
  MeshObject* mesh(int slot);
  // The record when the slot has one, else null.
  const MeshObject* find(int slot) const;
  MeshObject* find(int slot);
  // Empties a slot.
  void release(int slot);

  // Loads an already resolved file into the slot; true on success. The
  // slot's previous model is released first, and a failure leaves it empty.
  // `why`, when given, says what went wrong on failure.
  bool load_model(int slot, const char* file_name, std::string* why = nullptr);

 private:
  std::vector<std::unique_ptr<MeshObject>> meshes_;
};

// Reads a ".ddd" file (either form) into the record, expanding binary
// frames when `expand` is set; reports failures as described above.
bool load_ddd(MeshObject& mesh, const char* file_name, bool expand, std::string* why = nullptr);

}  // namespace quarvel
