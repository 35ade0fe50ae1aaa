// The desktop icon as the build writes it, read back with the runtime's PNG
// reader: the size the install puts it under, a transparent outside and a
// picture (not an empty tile) inside.
#include <gtest/gtest.h>

#include <string>

#include "gfx2d/formats/image_readers.h"

namespace {

TEST(DesktopIcon, IsASquarePngWithAClearOutsideAndAPictureInside) {
  const std::string path = std::string(STONESWARM_ASSET_DIR) + "/icon.png";
  quarvel::ImageBuffer icon;
  ASSERT_TRUE(quarvel::read_png_file(icon, path.c_str(), quarvel::kNoColourKey)) << path;
  // The install names this size in its icon folder (hicolor/128x128).
  ASSERT_EQ(icon.width, 128);
  ASSERT_EQ(icon.height, 128);
  auto at = [&](int x, int y) { return icon.pixels.data() + (static_cast<size_t>(y) * icon.width + x) * 4; };
  for (int corner : {0, 127}) {
    EXPECT_EQ(at(corner, 0)[3], 0) << "corner " << corner << ",0";
    EXPECT_EQ(at(corner, 127)[3], 0) << "corner " << corner << ",127";
  }
  int opaque = 0, bright = 0;
  for (int y = 0; y < icon.height; ++y)
    for (int x = 0; x < icon.width; ++x) {
      const uint8_t* p = at(x, y);
      if (p[3] == 255) ++opaque;
      if (p[3] == 255 && p[0] + p[1] + p[2] > 3 * 100) ++bright;
    }
  EXPECT_GT(opaque, 128 * 128 * 8 / 10);
  // The rock and the craft take a good part of the tile; the sky alone is dark.
  EXPECT_GT(bright, 128 * 128 / 10);
}

}  // namespace
