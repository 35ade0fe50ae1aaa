#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gfx2d/formats/image_readers.h"
#include "picture_files.h"
#include "test_support.h"

namespace quarvel {
namespace {

using quarvel_test::BitmapFile;
using quarvel_test::put_u16;
using quarvel_test::put_u32;

// RGBA of pixel (x, y), top row 0, as one number 0xRRGGBBAA.
uint32_t rgba_at(const ImageBuffer& image, int x, int y) {
  const uint8_t* p = image.pixels.data() + (static_cast<size_t>(y) * image.width + x) * 4;
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

bool decode(const std::vector<uint8_t>& bytes, int64_t key, ImageBuffer& out) {
  return decode_bitmap(bytes.data(), bytes.size(), key, out);
}

// 3 x 2, every pixel its own colour.
BitmapFile three_by_two(uint16_t bits) {
  BitmapFile f;
  f.width = 3;
  f.height = 2;
  f.bits = bits;
  f.pixels = {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xD0E0F0, 0x010203};
  return f;
}

void expect_three_by_two(const ImageBuffer& image) {
  ASSERT_EQ(image.width, 3);
  ASSERT_EQ(image.height, 2);
  ASSERT_EQ(image.pixels.size(), 3u * 2 * 4);
  EXPECT_EQ(rgba_at(image, 0, 0), 0x102030FFu);
  EXPECT_EQ(rgba_at(image, 1, 0), 0x405060FFu);
  EXPECT_EQ(rgba_at(image, 2, 0), 0x708090FFu);
  EXPECT_EQ(rgba_at(image, 0, 1), 0xA0B0C0FFu);
  EXPECT_EQ(rgba_at(image, 1, 1), 0xD0E0F0FFu);
  EXPECT_EQ(rgba_at(image, 2, 1), 0x010203FFu);
}

TEST(BitmapReader, RowsArePaddedToFourBytes) {
  // 24 bits, 3 wide: 9 bytes of pixels and 3 of padding per row. 32 bits,
  // 3 wide: exactly 12 bytes, the fourth byte of each pixel ignored.
  for (uint16_t bits : {24, 32}) {
    SCOPED_TRACE(bits);
    const std::vector<uint8_t> file = three_by_two(bits).build();
    ASSERT_EQ(file.size(), 54u + 2 * 12);
    ImageBuffer image;
    ASSERT_TRUE(decode(file, kNoColourKey, image));
    expect_three_by_two(image);
    // One byte short of the last row's padding is a short file.
    EXPECT_FALSE(decode_bitmap(file.data(), file.size() - 1, kNoColourKey, image));
  }
}

TEST(BitmapReader, PaletteBitmap) {
  BitmapFile f;
  f.width = 5;  // rows of 5 bytes padded to 8
  f.height = 2;
  f.bits = 8;
  f.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  f.pixels = {0, 1, 2, 3, 1, 3, 3, 2, 2, 0};
  ImageBuffer image;
  ASSERT_TRUE(decode(f.build(), kNoColourKey, image));
  ASSERT_EQ(image.width, 5);
  ASSERT_EQ(image.height, 2);
  const uint32_t want[] = {0x000000FF, 0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFF0000FF,
                           0x0000FFFF, 0x0000FFFF, 0x00FF00FF, 0x00FF00FF, 0x000000FF};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(rgba_at(image, i % 5, i / 5), want[i]) << i;
}

TEST(BitmapReader, BottomUpAndTopDownGiveTheSamePicture) {
  for (uint16_t bits : {24, 32}) {
    BitmapFile f = three_by_two(bits);
    f.top_down = true;
    ImageBuffer image;
    ASSERT_TRUE(decode(f.build(), kNoColourKey, image));
    expect_three_by_two(image);
  }
  // The stored row order really differs: a bottom-up file read as top-down
  // comes out upside down.
  std::vector<uint8_t> file = three_by_two(24).build();
  put_u32(file, 22, static_cast<uint32_t>(-2));
  ImageBuffer image;
  ASSERT_TRUE(decode(file, kNoColourKey, image));
  EXPECT_EQ(rgba_at(image, 0, 0), 0xA0B0C0FFu);
  EXPECT_EQ(rgba_at(image, 0, 1), 0x102030FFu);
}

TEST(BitmapReader, ColourKeys) {
  BitmapFile f;
  f.width = 4;
  f.height = 1;
  f.pixels = {0xFF0080, 0xFF0081, 0x000000, 0x010000};
  const std::vector<uint8_t> file = f.build();
  ImageBuffer image;

  // The sprite key 0x8000FF is red 255, green 0, blue 128.
  ASSERT_TRUE(decode(file, kDefaultSpriteKey, image));
  EXPECT_EQ(rgba_at(image, 0, 0), 0x00000000u);
  EXPECT_EQ(rgba_at(image, 1, 0), 0xFF0081FFu);
  EXPECT_EQ(rgba_at(image, 2, 0), 0x000000FFu);

  ASSERT_TRUE(decode(file, kNoColourKey, image));
  for (int x = 0; x < 4; ++x) EXPECT_EQ(image.pixels[x * 4 + 3], 255) << x;

  // Fonts use black: only pure black goes.
  ASSERT_TRUE(decode(file, 0, image));
  EXPECT_EQ(rgba_at(image, 0, 0), 0xFF0080FFu);
  EXPECT_EQ(rgba_at(image, 2, 0), 0x00000000u);
  EXPECT_EQ(rgba_at(image, 3, 0), 0x010000FFu);

  // Keys outside 0..0xFFFFFF match nothing, black included.
  for (int64_t key : {int64_t{0x1000000}, int64_t{-2}}) {
    ASSERT_TRUE(decode(file, key, image));
    EXPECT_EQ(rgba_at(image, 2, 0), 0x000000FFu) << key;
  }
}

TEST(BitmapReader, FailureClearsThePicture) {
  ImageBuffer image;
  ASSERT_TRUE(decode(three_by_two(24).build(), kNoColourKey, image));
  std::vector<uint8_t> file = three_by_two(24).build();
  file[0] = 'X';
  EXPECT_FALSE(decode(file, kNoColourKey, image));
  EXPECT_EQ(image.width, 0);
  EXPECT_EQ(image.height, 0);
  EXPECT_TRUE(image.pixels.empty());
  EXPECT_EQ(image.pixels.capacity(), 0u);
}

struct MalformedBitmap {
  const char* name;
  std::vector<uint8_t> bytes;
};

std::vector<MalformedBitmap> malformed_bitmaps() {
  std::vector<MalformedBitmap> cases;
  const std::vector<uint8_t> good = three_by_two(24).build();
  auto with = [&](const char* name, size_t at, uint32_t value) {
    std::vector<uint8_t> b = good;
    put_u32(b, at, value);
    cases.push_back({name, b});
  };
  cases.push_back({"empty", {}});
  cases.push_back({"header only", std::vector<uint8_t>(good.begin(), good.begin() + 54)});
  cases.push_back({"short header", std::vector<uint8_t>(good.begin(), good.begin() + 53)});
  {
    std::vector<uint8_t> b = good;
    b[1] = 'A';
    cases.push_back({"wrong magic", b});
  }
  with("zero width", 18, 0);
  with("negative width", 18, static_cast<uint32_t>(-3));
  with("zero height", 22, 0);
  with("most negative height", 22, 0x80000000u);
  with("huge width: row size overflows 32 bits", 18, 0x40000001u);
  with("width over the side cap", 18, 16385);
  with("pixel count over the cap", 18, 16384);  // with height 16384 below
  put_u32(cases.back().bytes, 22, 16384);
  with("data offset inside the header", 10, 40);
  with("data offset beyond the file", 10, static_cast<uint32_t>(good.size() + 1));
  with("data offset near 4 GiB", 10, 0xFFFFFFF0u);
  with("rows run past the end", 10, 55);
  {
    std::vector<uint8_t> b = good;
    put_u16(b, 28, 16);
    cases.push_back({"16 bits per pixel", b});
    put_u16(b, 28, 1);
    cases.push_back({"1 bit per pixel", b});
  }
  {
    std::vector<uint8_t> b(good.begin(), good.end() - 5);
    cases.push_back({"truncated rows", b});
  }
  {
    // A palette of two entries and a pixel that indexes the third.
    BitmapFile f;
    f.width = 2;
    f.height = 1;
    f.bits = 8;
    f.palette = {0x112233, 0x445566};
    f.pixels = {1, 2};
    cases.push_back({"palette index beyond the palette", f.build()});
    f.palette.clear();
    f.pixels = {0, 0};
    cases.push_back({"8 bits without a palette", f.build()});
  }
  return cases;
}

TEST(BitmapReader, MalformedFilesFailCleanly) {
  for (const MalformedBitmap& c : malformed_bitmaps()) {
    SCOPED_TRACE(c.name);
    ImageBuffer image;
    image.width = 7;
    image.height = 7;
    image.pixels.assign(7 * 7 * 4, 1);
    EXPECT_FALSE(decode_bitmap(c.bytes.empty() ? nullptr : c.bytes.data(), c.bytes.size(), kNoColourKey, image));
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_TRUE(image.pixels.empty());
  }
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  std::fclose(f);
}

TEST(ImageFiles, ReadBitmapsFromFiles) {
  const std::string dir = quarvel_test::temp_dir();
  write_file(dir + "/sprite.bmp", three_by_two(24).build());
  ImageBuffer image;
  ASSERT_TRUE(read_bitmap_file(image, (dir + "/sprite.bmp").c_str(), kNoColourKey));
  expect_three_by_two(image);
  // Backslashes are directory separators too.
  ASSERT_TRUE(read_image_file(image, (dir + "\\sprite.bmp").c_str(), kNoColourKey));
  expect_three_by_two(image);
  // A bitmap is no PNG.
  EXPECT_FALSE(read_png_file(image, (dir + "/sprite.bmp").c_str(), kNoColourKey));
  EXPECT_TRUE(image.pixels.empty());

  for (const std::string& name : {dir + "/missing.bmp", dir, std::string(), dir + "/" + std::string(1100, 'a')}) {
    image.width = 1;
    EXPECT_FALSE(read_image_file(image, name.c_str(), kNoColourKey)) << name;
    EXPECT_EQ(image.width, 0);
  }
  EXPECT_FALSE(read_bitmap_file(image, nullptr, kNoColourKey));
  write_file(dir + "/empty.bmp", {});
  EXPECT_FALSE(read_image_file(image, (dir + "/empty.bmp").c_str(), kNoColourKey));
}

}  // namespace
}  // namespace quarvel
