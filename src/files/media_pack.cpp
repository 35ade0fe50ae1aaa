#include "files/media_pack.h"

#include "core/engine_state.h"
#include "platform/platform.h"

namespace quarvel {

static void reset_record(MediaPack& pack, const std::string& name) {
  pack.enabled = true;
  close_media_pack(pack);
  pack.pack_name = name;
}

void set_media_pack(const std::string& media_pack, const std::string& second) {
  EngineState& e = engine();
  if (e.media_pack) reset_record(*e.media_pack, media_pack);
  if (e.media_pack_second) reset_record(*e.media_pack_second, second);
}

void close_media_pack(MediaPack& pack) {
  if (!pack.last_extracted.empty()) {
    platform::remove_file(pack.last_extracted.c_str());
    pack.last_extracted.clear();
  }
}

}  // namespace quarvel
