#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gfx2d/formats/image_readers.h"
#include "gfx2d/formats/png_reader_internal.h"
#include "picture_files.h"
#include "test_support.h"

namespace quarvel {
namespace {

using quarvel_test::find_chunk;
using quarvel_test::fix_chunk_crc;
using quarvel_test::PngFile;
using quarvel_test::put_be32;

uint32_t rgba_at(const ImageBuffer& image, int x, int y) {
  const uint8_t* p = image.pixels.data() + (static_cast<size_t>(y) * image.width + x) * 4;
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

bool decode(const std::vector<uint8_t>& bytes, int64_t key, ImageBuffer& out) {
  return decode_png(bytes.data(), bytes.size(), key, out);
}

// 2 x 2 RGB: the sprite key colour, red, green, blue.
PngFile rgb_file() {
  PngFile f;
  f.width = 2;
  f.height = 2;
  f.colour_type = PNG_COLOR_TYPE_RGB;
  f.rows = {{255, 0, 128, 255, 0, 0}, {0, 255, 0, 0, 0, 255}};
  return f;
}

TEST(PngReader, RgbTakesTheColourKey) {
  const std::vector<uint8_t> file = rgb_file().build();
  ASSERT_FALSE(file.empty());
  ImageBuffer image;
  ASSERT_TRUE(decode(file, kDefaultSpriteKey, image));
  ASSERT_EQ(image.width, 2);
  ASSERT_EQ(image.height, 2);
  ASSERT_EQ(image.pixels.size(), 16u);
  EXPECT_EQ(rgba_at(image, 0, 0), 0x00000000u);
  EXPECT_EQ(rgba_at(image, 1, 0), 0xFF0000FFu);
  EXPECT_EQ(rgba_at(image, 0, 1), 0x00FF00FFu);
  EXPECT_EQ(rgba_at(image, 1, 1), 0x0000FFFFu);

  ASSERT_TRUE(decode(file, kNoColourKey, image));
  EXPECT_EQ(rgba_at(image, 0, 0), 0xFF0080FFu);
}

TEST(PngReader, AlphaIsKeptWhateverTheKey) {
  PngFile f;
  f.width = 2;
  f.height = 1;
  f.colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
  f.rows = {{255, 0, 128, 200, 0, 0, 0, 0}};
  ImageBuffer image;
  for (int64_t key : {kDefaultSpriteKey, int64_t{0}, kNoColourKey}) {
    ASSERT_TRUE(decode(f.build(), key, image));
    EXPECT_EQ(rgba_at(image, 0, 0), 0xFF0080C8u);
    EXPECT_EQ(rgba_at(image, 1, 0), 0x00000000u);
  }
}

TEST(PngReader, GreyIgnoresTheKey) {
  PngFile f;
  f.width = 3;
  f.height = 1;
  f.colour_type = PNG_COLOR_TYPE_GRAY;
  f.rows = {{0, 128, 255}};
  ImageBuffer image;
  ASSERT_TRUE(decode(f.build(), 0, image));
  EXPECT_EQ(rgba_at(image, 0, 0), 0x000000FFu);
  EXPECT_EQ(rgba_at(image, 1, 0), 0x808080FFu);
  EXPECT_EQ(rgba_at(image, 2, 0), 0xFFFFFFFFu);

  // Low bit depths are widened to bytes.
  f.bit_depth = 1;
  f.width = 4;
  f.rows = {{0xA0}};  // 1, 0, 1, 0
  ASSERT_TRUE(decode(f.build(), kNoColourKey, image));
  EXPECT_EQ(rgba_at(image, 0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(rgba_at(image, 1, 0), 0x000000FFu);
  EXPECT_EQ(rgba_at(image, 2, 0), 0xFFFFFFFFu);
  EXPECT_EQ(rgba_at(image, 3, 0), 0x000000FFu);
}

TEST(PngReader, GreyWithAlphaFails) {
  PngFile f;
  f.width = 1;
  f.height = 1;
  f.colour_type = PNG_COLOR_TYPE_GRAY_ALPHA;
  f.rows = {{100, 255}};
  ImageBuffer image;
  EXPECT_FALSE(decode(f.build(), kNoColourKey, image));
  EXPECT_TRUE(image.pixels.empty());

  // So does grey with a transparency chunk, which becomes grey with alpha.
  f.colour_type = PNG_COLOR_TYPE_GRAY;
  f.rows = {{100}};
  f.grey_key = true;
  f.grey_key_value = 100;
  EXPECT_FALSE(decode(f.build(), kNoColourKey, image));
}

TEST(PngReader, SixteenBitSamplesAreStrippedToEight) {
  PngFile f;
  f.width = 1;
  f.height = 1;
  f.colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
  f.bit_depth = 16;
  f.rows = {{0xAB, 0xCD, 0x12, 0x34, 0xFF, 0x00, 0x80, 0x01}};
  ImageBuffer image;
  ASSERT_TRUE(decode(f.build(), kNoColourKey, image));
  EXPECT_EQ(rgba_at(image, 0, 0), 0xAB12FF80u);
}

TEST(PngReader, PalettesExpand) {
  PngFile f;
  f.width = 3;
  f.height = 1;
  f.colour_type = PNG_COLOR_TYPE_PALETTE;
  f.bit_depth = 4;
  f.palette = {{255, 0, 128}, {10, 20, 30}, {0, 0, 0}};
  f.rows = {{0x01, 0x20}};  // 0, 1, 2
  ImageBuffer image;
  // Without a transparency chunk the result is RGB and takes the key.
  ASSERT_TRUE(decode(f.build(), kDefaultSpriteKey, image));
  EXPECT_EQ(rgba_at(image, 0, 0), 0x00000000u);
  EXPECT_EQ(rgba_at(image, 1, 0), 0x0A141EFFu);
  EXPECT_EQ(rgba_at(image, 2, 0), 0x000000FFu);
  // With one it is RGBA: alpha from the chunk (255 past its end), no key.
  f.palette_alpha = {255, 77};
  ASSERT_TRUE(decode(f.build(), kDefaultSpriteKey, image));
  EXPECT_EQ(rgba_at(image, 0, 0), 0xFF0080FFu);
  EXPECT_EQ(rgba_at(image, 1, 0), 0x0A141E4Du);
  EXPECT_EQ(rgba_at(image, 2, 0), 0x000000FFu);
}

TEST(PngReader, InterlacedMatchesPlain) {
  PngFile f;
  f.width = 9;
  f.height = 7;
  f.colour_type = PNG_COLOR_TYPE_RGB;
  for (uint32_t y = 0; y < f.height; ++y) {
    std::vector<uint8_t> row;
    for (uint32_t x = 0; x < f.width; ++x) {
      row.insert(row.end(), {static_cast<uint8_t>(x * 20), static_cast<uint8_t>(y * 30), 7});
    }
    f.rows.push_back(row);
  }
  ImageBuffer plain, interlaced;
  ASSERT_TRUE(decode(f.build(), kNoColourKey, plain));
  f.interlaced = true;
  ASSERT_TRUE(decode(f.build(), kNoColourKey, interlaced));
  EXPECT_EQ(plain.pixels, interlaced.pixels);
  EXPECT_EQ(rgba_at(interlaced, 8, 6), 0xA0B407FFu);
}

struct MalformedPng {
  const char* name;
  std::vector<uint8_t> bytes;
};

std::vector<MalformedPng> malformed_pngs() {
  std::vector<MalformedPng> cases;
  const std::vector<uint8_t> good = rgb_file().build();
  const size_t ihdr = find_chunk(good, "IHDR");
  const size_t idat = find_chunk(good, "IDAT");
  const uint32_t idat_length = (uint32_t{good[idat + 2]} << 8) | good[idat + 3];

  cases.push_back({"empty", {}});
  cases.push_back({"signature only", std::vector<uint8_t>(good.begin(), good.begin() + 8)});
  {
    std::vector<uint8_t> b = good;
    b[1] = 'Q';
    cases.push_back({"wrong signature", b});
  }
  cases.push_back({"cut inside IDAT", std::vector<uint8_t>(good.begin(), good.begin() + idat + 10)});
  cases.push_back({"cut before IDAT", std::vector<uint8_t>(good.begin(), good.begin() + idat)});
  {
    std::vector<uint8_t> b = good;
    b[idat + 8 + idat_length] ^= 0x55;
    cases.push_back({"corrupt IDAT CRC", b});
  }
  {
    std::vector<uint8_t> b = good;
    b[ihdr + 8 + 13] ^= 0x55;
    cases.push_back({"corrupt IHDR CRC", b});
  }
  {
    // Garbage compressed data under a correct CRC.
    std::vector<uint8_t> b = good;
    for (uint32_t i = 2; i < idat_length; ++i) b[idat + 8 + i] = static_cast<uint8_t>(0xC3 + i);
    fix_chunk_crc(b, idat);
    cases.push_back({"corrupt IDAT data", b});
  }
  auto with_size = [&](const char* name, uint32_t width, uint32_t height) {
    std::vector<uint8_t> b = good;
    put_be32(b, ihdr + 8, width);
    put_be32(b, ihdr + 12, height);
    fix_chunk_crc(b, ihdr);
    cases.push_back({name, b});
  };
  with_size("zero width", 0, 2);
  with_size("zero height", 2, 0);
  with_size("width over the side cap", 16385, 1);
  with_size("pixel count over the cap", 16384, 8192);
  with_size("width beyond 2^31", 0x80000001u, 1);
  with_size("more rows than the data holds", 2, 3000);
  return cases;
}

TEST(PngReader, MalformedFilesFailCleanly) {
  for (const MalformedPng& c : malformed_pngs()) {
    SCOPED_TRACE(c.name);
    ImageBuffer image;
    image.width = 5;
    image.height = 5;
    image.pixels.assign(100, 1);
    EXPECT_FALSE(decode_png(c.bytes.empty() ? nullptr : c.bytes.data(), c.bytes.size(), kNoColourKey, image));
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_TRUE(image.pixels.empty());
  }
}

// The reason a decode failed, or "" when it succeeded.
std::string failure(const std::vector<uint8_t>& bytes) {
  ImageBuffer image;
  std::string why;
  return decode_png_named(bytes.data(), bytes.size(), kNoColourKey, image, "test", &why) ? std::string() : why;
}

TEST(PngReader, LengthFieldsAreTrustedOnlyAsFarAsTheFileReaches) {
  const std::vector<uint8_t> good = rgb_file().build();
  const size_t ihdr = find_chunk(good, "IHDR");
  ASSERT_EQ(failure(good), "");
  // A text chunk whose length says megabytes or gigabytes in a tiny file
  // (the fuzz corpus keeps the 2 GB one): refused by its length before any
  // buffer is made for it, not when the read runs out of bytes.
  for (uint32_t claimed : {4000000u, 0x7A000019u}) {
    std::vector<uint8_t> b(good.begin(), good.begin() + ihdr + 25);
    const std::vector<uint8_t> text = {0, 0, 0, 0, 't', 'E', 'X', 't', 'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'h', 'i'};
    b.insert(b.end(), text.begin(), text.end());
    b.resize(165, 'x');
    put_be32(b, ihdr + 25, claimed);
    EXPECT_EQ(failure(b), "damaged PNG (a chunk's length runs past the end of the file)") << claimed;
  }
  // A header that asks for 8000 x 8000 pixels (256 MB) over a few bytes of
  // data: refused before the picture's memory is asked for.
  std::vector<uint8_t> wide = good;
  put_be32(wide, ihdr + 8, 8000);
  put_be32(wide, ihdr + 12, 8000);
  fix_chunk_crc(wide, ihdr);
  EXPECT_EQ(failure(wide), "damaged PNG (more pixels than the file can hold)");
  // Where the data could hold the rows, the size is believed.
  std::vector<uint8_t> tall = good;
  put_be32(tall, ihdr + 12, 40);
  fix_chunk_crc(tall, ihdr);
  EXPECT_NE(failure(tall).find("damaged PNG ("), std::string::npos);
  EXPECT_EQ(failure(tall).find("more pixels"), std::string::npos);
}

TEST(ImageFiles, PngFilesAfterTheBitmapReader) {
  const std::string path = quarvel_test::temp_dir() + "/picture.bmp";  // the name does not matter
  const std::vector<uint8_t> bytes = rgb_file().build();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  std::fclose(f);

  ImageBuffer image;
  EXPECT_FALSE(read_bitmap_file(image, path.c_str(), kDefaultSpriteKey));
  ASSERT_TRUE(read_png_file(image, path.c_str(), kDefaultSpriteKey));
  EXPECT_EQ(rgba_at(image, 0, 0), 0x00000000u);
  ASSERT_TRUE(read_image_file(image, path.c_str(), kNoColourKey));
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ(rgba_at(image, 0, 0), 0xFF0080FFu);
}

}  // namespace
}  // namespace quarvel
