#include "audio/formats/wave_reader.h"

#include <gtest/gtest.h>

#include "wave_files.h"

namespace quarvel_test {
namespace {

using quarvel::parse_wave;
using quarvel::WaveSound;

bool parses(const std::vector<uint8_t>& bytes, WaveSound& out) { return parse_wave(bytes.data(), bytes.size(), out); }

TEST(WaveReader, ReadsPcmInEveryLayoutItPlays) {
  const std::vector<uint8_t> stereo16 = constant_frames16(10, 100, -100);
  WaveSound w;
  std::vector<uint8_t> file = wave_file(WaveLayout(), stereo16);
  ASSERT_TRUE(parses(file, w));
  EXPECT_EQ(w.channels, 2);
  EXPECT_EQ(w.sample_rate, 22050u);
  EXPECT_EQ(w.bits_per_sample, 16);
  EXPECT_EQ(w.block_align, 4);
  EXPECT_EQ(w.sample_bytes, 40u);
  EXPECT_EQ(w.samples, file.data() + 44);

  WaveLayout mono8;
  mono8.channels = 1;
  mono8.bits = 8;
  mono8.rate = 11025;
  file = wave_file(mono8, std::vector<uint8_t>(7, 0x80));
  ASSERT_TRUE(parses(file, w));
  EXPECT_EQ(w.channels, 1);
  EXPECT_EQ(w.bits_per_sample, 8);
  EXPECT_EQ(w.sample_rate, 11025u);
  EXPECT_EQ(w.sample_bytes, 7u);
}

TEST(WaveReader, SkipsTheFormatExtensionAndOneFactChunk) {
  WaveLayout s;
  s.format_size = 18;  // the extended format with no extra bytes
  s.between = chunk("fact", std::string(4, '\0'));
  WaveSound w;
  const std::vector<uint8_t> file = wave_file(s, constant_frames16(3, 1, 2));
  ASSERT_TRUE(parses(file, w));
  EXPECT_EQ(w.sample_bytes, 12u);
  EXPECT_EQ(w.samples, file.data() + file.size() - 12);

  // The extensible format is read when its sub-format is PCM.
  s = WaveLayout();
  s.format_tag = 0xFFFE;
  s.format_size = 40;
  EXPECT_TRUE(parses(wave_file(s, constant_frames16(3, 1, 2)), w));
  s.sub_format = 3;  // floating point
  EXPECT_FALSE(parses(wave_file(s, constant_frames16(3, 1, 2)), w));
}

TEST(WaveReader, CutsDataToWholeFrames) {
  WaveSound w;
  std::vector<uint8_t> samples = constant_frames16(2, 5, 5);
  samples.push_back(9);  // a frame's first byte only
  ASSERT_TRUE(parses(wave_file(WaveLayout(), samples), w));
  EXPECT_EQ(w.sample_bytes, 8u);
}

TEST(WaveReader, SkipsEveryOtherChunkByItsDeclaredSize) {
  const std::vector<uint8_t> samples = constant_frames16(3, 1, 2);
  WaveSound w;
  // What sound editors and converters write between the format and the
  // data: metadata lists, several fact chunks, cue points, odd sizes with
  // their pad byte, an empty chunk.
  for (const std::string& between :
       {chunk("LIST", std::string("INFOISFT\x0e\0\0\0Lavf60.16.100\0", 26)), chunk("fact", "abcd") + chunk("fact", "abcd"),
        chunk("cue ", std::string(28, '\x01')) + chunk("JUNK", "odd") + chunk("bext", ""),
        chunk("LIST", "x") + chunk("pad ", "ab")}) {
    WaveLayout s;
    s.between = between;
    const std::vector<uint8_t> file = wave_file(s, samples);
    ASSERT_TRUE(parses(file, w)) << between.substr(0, 4);
    EXPECT_EQ(w.sample_bytes, 12u);
    EXPECT_EQ(w.samples, file.data() + file.size() - 12);
  }
  // A chunk before the format chunk (space kept free by recorders).
  std::vector<uint8_t> file = wave_file(WaveLayout(), samples);
  const std::string junk = chunk("JUNK", std::string(5, '\0'));
  file.insert(file.begin() + 12, junk.begin(), junk.end());
  ASSERT_TRUE(parses(file, w));
  EXPECT_EQ(w.channels, 2);
  EXPECT_EQ(w.sample_bytes, 12u);
}

TEST(WaveReader, RefusesMalformedChunkLayoutsWithAReason) {
  const std::vector<uint8_t> samples = constant_frames16(3, 1, 2);
  WaveSound w;
  const char* why = nullptr;
  auto refused = [&](const std::vector<uint8_t>& file) {
    why = nullptr;
    const bool ok = parse_wave(file.data(), file.size(), w, &why);
    EXPECT_EQ(w.samples, nullptr);
    return !ok && why != nullptr;
  };
  // A skipped chunk whose size runs past the end, by one byte and by far.
  for (uint32_t over : {1u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    WaveLayout s;
    std::string list = chunk("LIST", "abcd");
    const uint32_t size = over == 1 ? 4 + 8 + 12 + 1 : over;
    for (int i = 0; i < 4; ++i) list[4 + i] = static_cast<char>(size >> (8 * i));
    s.between = list;
    EXPECT_TRUE(refused(wave_file(s, samples))) << over;
    EXPECT_STREQ(why, "damaged (a chunk runs past the end)");
  }
  // Only unknown chunks after the format: no data.
  std::vector<uint8_t> file = wave_file(WaveLayout(), {});
  file.resize(file.size() - 8);
  const std::string tail = chunk("LIST", "abc");
  file.insert(file.end(), tail.begin(), tail.end());
  EXPECT_TRUE(refused(file));
  EXPECT_STREQ(why, "damaged (no data chunk)");
  // Data before the format, and two format chunks.
  file = wave_file(WaveLayout(), samples);
  std::vector<uint8_t> early(file.begin(), file.begin() + 12);
  early.insert(early.end(), file.begin() + 36, file.end());
  early.insert(early.end(), file.begin() + 12, file.begin() + 36);
  EXPECT_TRUE(refused(early));
  EXPECT_STREQ(why, "damaged (data before the format chunk)");
  std::vector<uint8_t> twice(file.begin(), file.begin() + 36);
  twice.insert(twice.end(), file.begin() + 12, file.end());
  EXPECT_TRUE(refused(twice));
  // Not a wave at all, and float samples.
  file = wave_file(WaveLayout(), samples);
  file[8] = 'A';
  EXPECT_TRUE(refused(file));
  EXPECT_STREQ(why, "not a wave file");
  WaveLayout s;
  s.format_tag = 3;
  s.bits = 16;
  EXPECT_TRUE(refused(wave_file(s, samples)));
  EXPECT_STREQ(why, "unsupported format (samples are not PCM)");
}

TEST(WaveReader, RefusesFormatsItCannotPlaySafely) {
  const std::vector<uint8_t> samples = constant_frames16(4, 1, 1);
  auto refused = [&](WaveLayout s) {
    WaveSound w;
    const bool ok = parses(wave_file(s, samples), w);
    EXPECT_EQ(w.samples, nullptr);
    return !ok;
  };
  WaveLayout s;
  s.block_align = 0;
  EXPECT_TRUE(refused(s)) << "zero block align";
  s.block_align = 3;
  EXPECT_TRUE(refused(s)) << "block align not channels x bytes";
  s = WaveLayout();
  for (uint16_t bits : {0, 4, 12, 24, 32}) {
    s.bits = bits;
    s.block_align = 4;
    EXPECT_TRUE(refused(s)) << bits << " bits";
  }
  s = WaveLayout();
  s.channels = 0;
  EXPECT_TRUE(refused(s)) << "no channels";
  s.channels = 6;
  EXPECT_TRUE(refused(s)) << "six channels";
  s = WaveLayout();
  s.rate = 0;
  EXPECT_TRUE(refused(s)) << "rate 0";
  s = WaveLayout();
  s.format_tag = 7;  // mu-law: not PCM, whatever its sample size
  s.bits = 8;
  EXPECT_TRUE(refused(s)) << "not PCM";
  s = WaveLayout();
  s.format_size = 14;
  EXPECT_TRUE(refused(s)) << "format chunk too small for its fields";
}

TEST(WaveReader, MalformedSizesFailCleanly) {
  const std::vector<uint8_t> samples = constant_frames16(4, 1, 1);
  WaveSound w;
  // Fewer than the 36 bytes of the fixed header.
  std::vector<uint8_t> file = wave_file(WaveLayout(), samples);
  EXPECT_FALSE(parse_wave(file.data(), 35, w));
  EXPECT_FALSE(parse_wave(nullptr, 0, w));
  // A data chunk larger than the file, up to the largest size there is.
  for (int64_t size : {int64_t{17}, int64_t{0x7FFFFFFF}, int64_t{0xFFFFFFFF}}) {
    WaveLayout s;
    s.data_size = size;
    EXPECT_FALSE(parses(wave_file(s, samples), w)) << size;
  }
  // A format or fact chunk that runs past the end.
  WaveLayout s;
  s.format_size = 0xFFFFFFF0;
  EXPECT_FALSE(parses(wave_file(s, samples), w));
  s = WaveLayout();
  std::string fact = chunk("fact", "abcd");
  fact[4] = '\xF0';
  fact[5] = fact[6] = fact[7] = '\xFF';
  s.between = fact;
  EXPECT_FALSE(parses(wave_file(s, samples), w));
  // No data chunk header, and data without one whole frame.
  file = wave_file(WaveLayout(), {});
  EXPECT_FALSE(parse_wave(file.data(), file.size() - 8, w));
  EXPECT_FALSE(parses(file, w));
  EXPECT_FALSE(parses(wave_file(WaveLayout(), {1, 2, 3}), w));
}

}  // namespace
}  // namespace quarvel_test
