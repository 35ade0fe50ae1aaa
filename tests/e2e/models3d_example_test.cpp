// The 3D models example run headless, with and without its shadow pass:
// the saved frames show the scene, and the shadows darken only part of it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "gfx2d/formats/image_buffer.h"
#include "gfx2d/formats/image_readers.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

quarvel::ImageBuffer run_example(const std::string& dir, bool shadows) {
  fs::create_directories(dir);
  const std::string command = "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy QUARVEL_NO_DIALOGS=1 '" +
                              std::string(MODELS3D_EXAMPLE) + "' 61 --save '" + dir + "'" +
                              (shadows ? "" : " --no-shadow") + " >/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0);
  quarvel::ImageBuffer image;
  EXPECT_TRUE(quarvel::read_png_file(image, (dir + "/models3d-060.png").c_str(), quarvel::kNoColourKey));
  return image;
}

int brightness(const quarvel::ImageBuffer& image, size_t pixel) {
  return image.pixels[pixel * 4] + image.pixels[pixel * 4 + 1] + image.pixels[pixel * 4 + 2];
}

TEST(Models3dExample, ShadowsDarkenPartOfTheLitScene) {
  const std::string base = quarvel_test::temp_dir();
  const quarvel::ImageBuffer lit = run_example(base + "/shadows", true);
  const quarvel::ImageBuffer plain = run_example(base + "/plain", false);
  ASSERT_EQ(lit.width, 320);
  ASSERT_EQ(plain.width, 320);
  ASSERT_EQ(lit.pixels.size(), plain.pixels.size());
  // The scene: many colours, the textured stone among them.
  size_t distinct = 0, darker = 0, brighter = 0;
  std::vector<bool> seen(1 << 15);
  for (size_t k = 0; k < lit.pixels.size() / 4; ++k) {
    const uint8_t* p = &lit.pixels[k * 4];
    const size_t key = (p[0] >> 3) | (p[1] >> 3) << 5 | (p[2] >> 3) << 10;
    if (!seen[key]) {
      seen[key] = true;
      ++distinct;
    }
    const int a = brightness(lit, k), b = brightness(plain, k);
    if (a < b) ++darker;
    if (a > b) ++brighter;
  }
  EXPECT_GT(distinct, 100u);
  // The stone's shadow on the pad: a patch some hundreds of pixels large,
  // and nothing brighter anywhere.
  EXPECT_GT(darker, 200u);
  EXPECT_LT(darker, 320u * 240u / 8);
  EXPECT_EQ(brighter, 0u);
}

}  // namespace
