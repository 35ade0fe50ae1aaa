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
#include <vector>

#include "gfx3d/formats/ddd_format.h"

namespace quarvel {

// One mesh record: the model as read, ready for the renderer's drawing.
struct MeshObject {
  DddModel model;
  // Set by load_model once the model has been handed over for drawing.
  uint8_t prepared = 0;
};

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
  // Empties a slot.
  void release(int slot);

  // Loads an already resolved file into the slot; true on success. The
  // slot's previous model is released first, and a failure leaves it empty.
  bool load_model(int slot, const char* file_name);

 private:
  std::vector<std::unique_ptr<MeshObject>> meshes_;
};

// Reads a ".ddd" file (either form) into the record, expanding binary
// frames when `expand` is set; reports failures as described above.
bool load_ddd(MeshObject& mesh, const char* file_name, bool expand);

}  // namespace quarvel
