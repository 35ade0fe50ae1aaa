// The media-pack records through which asset names are resolved.
#pragma once

#include <string>

namespace quarvel {

struct MediaPack {
  bool enabled = true;
  std::string pack_name;
  std::string last_extracted;
};

// Stores the pack file names (the pack is opened at each lookup).
void set_media_pack(const std::string& media_pack, const std::string& second);
// Deletes the record's last extracted file, if any.
void close_media_pack(MediaPack& pack);

}  // namespace quarvel
