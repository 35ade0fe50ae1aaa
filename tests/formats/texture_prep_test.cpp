#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "gfx2d/formats/texture_prep.h"

namespace quarvel {
namespace {

using Rgba = std::array<uint8_t, 4>;

ImageBuffer solid_image(int width, int height, Rgba colour) {
  ImageBuffer image;
  image.width = width;
  image.height = height;
  for (int i = 0; i < width * height; ++i) image.pixels.insert(image.pixels.end(), colour.begin(), colour.end());
  return image;
}

// Every pixel distinct: (x, y, 7, 255).
ImageBuffer coordinate_image(int width, int height) {
  ImageBuffer image;
  image.width = width;
  image.height = height;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.pixels.insert(image.pixels.end(), {static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7, 255});
    }
  }
  return image;
}

void set_pixel(ImageBuffer& image, int x, int y, Rgba colour) {
  std::copy(colour.begin(), colour.end(), image.pixels.begin() + (y * image.width + x) * 4);
}

Rgba texel(const TexelPicture& p, int c, int r) {
  const uint8_t* t = p.texels.data() + (static_cast<size_t>(r) * p.width + c) * 4;
  return {t[0], t[1], t[2], t[3]};
}

constexpr Rgba kClear{0, 0, 0, 0};

TEST(TexturePrep, PaddedSizes) {
  const std::pair<int, int> cases[] = {{-5, 2}, {0, 2}, {1, 2}, {2, 2}, {3, 4}, {64, 64}, {65, 128}, {100, 128}, {16384, 16384}};
  for (auto [n, want] : cases) EXPECT_EQ(padded_size(n), want) << n;
}

TEST(TexturePrep, OnePixelGetsTwoByTwo) {
  TexelPicture p;
  ASSERT_TRUE(prepare_texels(solid_image(1, 1, {9, 8, 7, 255}), 0, 0, 0, 0, 4096, false, p));
  EXPECT_EQ(p.width, 2);
  EXPECT_EQ(p.height, 2);
  ASSERT_EQ(p.texels.size(), 16u);
  EXPECT_EQ(texel(p, 0, 0), (Rgba{9, 8, 7, 255}));
  // The other texels have only border neighbours, which never count.
  EXPECT_EQ(texel(p, 1, 0), kClear);
  EXPECT_EQ(texel(p, 0, 1), kClear);
  EXPECT_EQ(texel(p, 1, 1), kClear);
}

TEST(TexturePrep, PictureIsFlippedIntoTheLowerLeftCorner) {
  const ImageBuffer image = coordinate_image(100, 50);
  TexelPicture p;
  ASSERT_TRUE(prepare_texels(image, 0, 0, 0, 0, 4096, true, p));
  EXPECT_EQ(p.width, 128);
  EXPECT_EQ(p.height, 64);
  ASSERT_EQ(p.texels.size(), 128u * 64 * 4);
  EXPECT_EQ(texel(p, 0, 49), (Rgba{0, 0, 7, 255}));    // top-left of the picture
  EXPECT_EQ(texel(p, 99, 49), (Rgba{99, 0, 7, 255}));  // top-right
  EXPECT_EQ(texel(p, 0, 0), (Rgba{0, 49, 7, 255}));    // bottom-left
  EXPECT_EQ(texel(p, 37, 20), (Rgba{37, 29, 7, 255}));
  EXPECT_EQ(texel(p, 100, 0), kClear);
  EXPECT_EQ(texel(p, 0, 50), kClear);
  EXPECT_EQ(texel(p, 127, 63), kClear);
}

TEST(TexturePrep, RectanglesOffsetsAndZeroSizes) {
  const ImageBuffer image = coordinate_image(10, 6);
  TexelPicture p;
  // Width 0 runs to the right edge (10 - 3 = 7), height 0 to the bottom (6 - 2 = 4).
  ASSERT_TRUE(prepare_texels(image, 3, 2, 0, 0, 4096, true, p));
  EXPECT_EQ(p.width, 8);
  EXPECT_EQ(p.height, 4);
  EXPECT_EQ(texel(p, 0, 3), (Rgba{3, 2, 7, 255}));
  EXPECT_EQ(texel(p, 6, 0), (Rgba{9, 5, 7, 255}));
  EXPECT_EQ(texel(p, 7, 0), kClear);

  // A rectangle reaching past the picture: the outside stays transparent.
  ASSERT_TRUE(prepare_texels(image, 8, 4, 4, 4, 4096, true, p));
  EXPECT_EQ(p.width, 4);
  EXPECT_EQ(texel(p, 0, 3), (Rgba{8, 4, 7, 255}));
  EXPECT_EQ(texel(p, 1, 2), (Rgba{9, 5, 7, 255}));
  EXPECT_EQ(texel(p, 2, 3), kClear);
  EXPECT_EQ(texel(p, 0, 1), kClear);

  // A negative origin: the picture starts inside the texture.
  ASSERT_TRUE(prepare_texels(image, -2, -1, 4, 3, 4096, true, p));
  EXPECT_EQ(texel(p, 2, 1), (Rgba{0, 0, 7, 255}));
  EXPECT_EQ(texel(p, 3, 0), (Rgba{1, 1, 7, 255}));
  EXPECT_EQ(texel(p, 1, 1), kClear);
  EXPECT_EQ(texel(p, 2, 2), kClear);

  // Nothing left to the right or below, or negative sizes: no texture.
  for (auto [x, y, w, h] : {std::array<int, 4>{10, 0, 0, 0}, {0, 6, 0, 0}, {0, 0, -1, 2}, {0, 0, 2, -4}, {12, 0, 0, 0}}) {
    p.width = 99;
    EXPECT_FALSE(prepare_texels(image, x, y, w, h, 4096, true, p)) << x << ' ' << y << ' ' << w << ' ' << h;
    EXPECT_EQ(p.width, 0);
    EXPECT_TRUE(p.texels.empty());
  }
}

TEST(TexturePrep, ClampsToTheMaximumSize) {
  const ImageBuffer image = coordinate_image(40, 20);
  TexelPicture p;
  ASSERT_TRUE(prepare_texels(image, 0, 0, 0, 0, 16, true, p));
  EXPECT_EQ(p.width, 16);
  EXPECT_EQ(p.height, 16);
  // The top-left 16 x 16 of the picture, flipped.
  EXPECT_EQ(texel(p, 0, 15), (Rgba{0, 0, 7, 255}));
  EXPECT_EQ(texel(p, 15, 0), (Rgba{15, 15, 7, 255}));
}

TEST(TexturePrep, ColourBleed) {
  ImageBuffer image = solid_image(6, 6, kClear);
  set_pixel(image, 2, 2, {200, 0, 0, 255});  // texel (2, 3)
  set_pixel(image, 4, 2, {0, 0, 100, 255});  // texel (4, 3)
  set_pixel(image, 0, 0, {0, 250, 0, 255});  // texel (0, 5), in border column 0
  TexelPicture p;
  ASSERT_TRUE(prepare_texels(image, 0, 0, 0, 0, 4096, false, p));
  ASSERT_EQ(p.width, 8);
  // Next to the red texel only: red with alpha 0.
  EXPECT_EQ(texel(p, 1, 3), (Rgba{200, 0, 0, 0}));
  EXPECT_EQ(texel(p, 2, 2), (Rgba{200, 0, 0, 0}));
  // Between red and blue: the average, truncated.
  EXPECT_EQ(texel(p, 3, 3), (Rgba{100, 0, 50, 0}));
  EXPECT_EQ(texel(p, 3, 4), (Rgba{100, 0, 50, 0}));
  // Opaque texels are untouched.
  EXPECT_EQ(texel(p, 2, 3), (Rgba{200, 0, 0, 255}));
  // No chaining: two texels away stays black.
  EXPECT_EQ(texel(p, 0, 3), kClear);
  EXPECT_EQ(texel(p, 6, 3), kClear);
  // The green texel sits in border column 0: it feeds none of its neighbours.
  EXPECT_EQ(texel(p, 0, 5), (Rgba{0, 250, 0, 255}));
  EXPECT_EQ(texel(p, 1, 5), kClear);
  EXPECT_EQ(texel(p, 1, 6), kClear);

  // Nearest filtering: no bleed at all.
  ASSERT_TRUE(prepare_texels(image, 0, 0, 0, 0, 4096, true, p));
  EXPECT_EQ(texel(p, 1, 3), kClear);
  EXPECT_EQ(texel(p, 3, 3), kClear);
}

TEST(TexturePrep, BleedReachesIntoThePaddingAndTheBorderRow) {
  // A 3 x 3 opaque picture in a 4 x 4 texture: texels of the last column
  // and row (border) take colours from interior neighbours.
  const ImageBuffer image = solid_image(3, 3, {30, 60, 90, 255});
  TexelPicture p;
  ASSERT_TRUE(prepare_texels(image, 0, 0, 0, 0, 4096, false, p));
  ASSERT_EQ(p.width, 4);
  EXPECT_EQ(texel(p, 3, 3), (Rgba{30, 60, 90, 0}));
  EXPECT_EQ(texel(p, 3, 0), (Rgba{30, 60, 90, 0}));  // (2, 1) counts; (2, 0) is in the border row
}

TEST(TexturePrep, MipmapLevels) {
  TexelPicture p;
  p.width = 64;
  p.height = 32;
  p.texels.assign(64 * 32 * 4, 200);
  const std::pair<int, int> levels[] = {{32, 16}, {16, 8}, {8, 4}, {4, 2}, {2, 1}, {1, 1}};
  for (auto [w, h] : levels) {
    ASSERT_TRUE(next_mipmap_level(p));
    EXPECT_EQ(p.width, w);
    EXPECT_EQ(p.height, h);
    EXPECT_EQ(p.texels.size(), static_cast<size_t>(w) * h * 4);
  }
  EXPECT_FALSE(next_mipmap_level(p));
  EXPECT_EQ(p.width, 1);
  // A flat picture stays flat: 9/9, 3/3 of the same value.
  EXPECT_EQ(texel(p, 0, 0), (Rgba{200, 200, 200, 200}));
}

TEST(TexturePrep, MipmapValues) {
  // 4 x 4 with value 10 c + 40 r in every channel but alpha (255 - that).
  TexelPicture p;
  p.width = 4;
  p.height = 4;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      const uint8_t v = static_cast<uint8_t>(10 * c + 40 * r);
      p.texels.insert(p.texels.end(), {v, v, v, static_cast<uint8_t>(255 - v)});
    }
  }
  ASSERT_TRUE(next_mipmap_level(p));
  ASSERT_EQ(p.width, 2);
  // (0,0): (4*0 + 2*10 + 2*90 + 80) / 9 = 31, with p2, p3 from row 2.
  // (1,0): (2*20 + 100) / 3 = 46.  (0,1): (2*80 + 90) / 3 = 83.  (1,1): 100.
  EXPECT_EQ(texel(p, 0, 0), (Rgba{31, 31, 31, (4 * 255 + 2 * 245 + 2 * 165 + 175) / 9}));
  EXPECT_EQ(texel(p, 1, 0), (Rgba{46, 46, 46, (2 * 235 + 155) / 3}));
  EXPECT_EQ(texel(p, 0, 1), (Rgba{83, 83, 83, (2 * 175 + 165) / 3}));
  EXPECT_EQ(texel(p, 1, 1), (Rgba{100, 100, 100, 155}));
  ASSERT_TRUE(next_mipmap_level(p));
  EXPECT_EQ(texel(p, 0, 0), (Rgba{31, 31, 31, 223}));

  // 8 x 4 -> 4 x 2 -> 2 x 1: the last row and column rules.
  p = TexelPicture();
  p.width = 8;
  p.height = 4;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 8; ++c) {
      const uint8_t v = static_cast<uint8_t>(10 * c + 40 * r);
      p.texels.insert(p.texels.end(), {v, 0, 0, 255});
    }
  }
  ASSERT_TRUE(next_mipmap_level(p));
  const uint8_t level1[] = {31, 51, 71, 86, 83, 103, 123, 140};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(texel(p, i % 4, i / 4)[0], level1[i]) << i;
  ASSERT_TRUE(next_mipmap_level(p));
  EXPECT_EQ(texel(p, 0, 0)[0], 37);  // (2*31 + 51) / 3
  EXPECT_EQ(texel(p, 1, 0)[0], 71);  // p0
}

TEST(TexturePrep, NormalMaps) {
  TexelPicture p;
  p.width = 4;
  p.height = 4;
  for (int i = 0; i < 16; ++i) p.texels.insert(p.texels.end(), {1, 2, 90, static_cast<uint8_t>(i)});
  make_normal_map(p);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(texel(p, i % 4, i / 4), (Rgba{127, 127, 255, static_cast<uint8_t>(i)})) << i;

  // A ramp along x: heights 0, 0.2, 0.4, 0.6, wrapping from 0.6 to 0. At
  // column 1, gx = 4 (0 - 0.4) = -1.6, n = 1 / sqrt(3.56) = 0.53:
  // red = (1 - 0.848) 127.5 = 19, blue = 1.53 x 127.5 = 195.
  // Column 0 sees 0.6 on its left: gx = +1.6, red = 235.
  p.texels.clear();
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) p.texels.insert(p.texels.end(), {0, 0, static_cast<uint8_t>(51 * c), 255});
  }
  make_normal_map(p);
  const uint8_t reds[] = {235, 19, 19, 235};
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(texel(p, c, r), (Rgba{reds[c], 127, 195, 255})) << c << ' ' << r;
  }

  // The same ramp along the texel rows: gy is row r + 1 minus row r - 1.
  p.texels.clear();
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) p.texels.insert(p.texels.end(), {0, 0, static_cast<uint8_t>(51 * r), 255});
  }
  make_normal_map(p);
  const uint8_t greens[] = {19, 235, 235, 19};
  for (int r = 0; r < 4; ++r) EXPECT_EQ(texel(p, 2, r), (Rgba{127, greens[r], 195, 255})) << r;
}

}  // namespace
}  // namespace quarvel
