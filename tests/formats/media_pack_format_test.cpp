#include "files/formats/media_pack_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace quarvel::media_pack_format {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes text_bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

StoredEntry compressed(const std::string& name, const Bytes& data) {
  StoredEntry e{name, {}};
  std::string error;
  EXPECT_TRUE(compress_entry_data(data.data(), data.size(), e.stored, error)) << error;
  return e;
}

Bytes pack_of(const std::vector<StoredEntry>& entries, PackBase base, const Bytes& prefix = {}) {
  Bytes out = prefix;
  std::string error;
  EXPECT_TRUE(write_pack(entries, base, out, error)) << error;
  return out;
}

// Looks `name` up and extracts it; the status, and the bytes in `data`.
ExtractStatus lookup(const Bytes& pack, const std::string& name, Bytes& data, DirectoryEntry* found = nullptr) {
  const PackSource src = bytes_source(pack.data(), pack.size());
  int32_t dir = 0;
  EXPECT_EQ(read_trailer(src, dir), TrailerStatus::ok);
  size_t base_length = 0;
  const char* base = base_name(name.c_str(), name.size(), base_length);
  DirectoryEntry e;
  if (!find_entry(src, dir, base, base_length, e)) return ExtractStatus::outside_file;
  if (found != nullptr) *found = e;
  return extract_entry(src, dir, e, data);
}

const Bytes kShip = text_bytes(std::string(3000, 'x') + "ship picture" + std::string(500, 'y'));
const Bytes kRock = text_bytes("rock");

TEST(MediaPackFormat, RoundTripWithCaseInsensitiveBaseNames) {
  for (PackBase base : {PackBase::from_start, PackBase::from_end}) {
    const Bytes pack = pack_of({compressed("SHIP.BMP", kShip), compressed("empty.txt", {}),
                                compressed("rock.wav", kRock)},
                               base, base == PackBase::from_end ? text_bytes("#!program bytes") : Bytes{});
    Bytes data;
    DirectoryEntry e;
    ASSERT_EQ(lookup(pack, "gfx/ship.bmp", data, &e), ExtractStatus::ok);
    EXPECT_EQ(data, kShip);
    EXPECT_STREQ(e.name, "SHIP.BMP");  // the stored form
    EXPECT_EQ(base == PackBase::from_end, e.offset < 0);
    ASSERT_EQ(lookup(pack, "snd\\Rock.WAV", data), ExtractStatus::ok);
    EXPECT_EQ(data, kRock);
    ASSERT_EQ(lookup(pack, "EMPTY.TXT", data), ExtractStatus::ok);
    EXPECT_TRUE(data.empty());
    EXPECT_NE(lookup(pack, "ship.bm", data), ExtractStatus::ok);
    EXPECT_NE(lookup(pack, "gfx/", data), ExtractStatus::ok);  // empty base name
  }
}

TEST(MediaPackFormat, AppendedPackIsTheSameWhateverPrecedesIt) {
  const std::vector<StoredEntry> entries = {compressed("a.bmp", kShip), compressed("b.wav", kRock)};
  const Bytes alone = pack_of(entries, PackBase::from_end);
  const Bytes behind = pack_of(entries, PackBase::from_end, Bytes(777, 0x90));
  ASSERT_EQ(behind.size(), alone.size() + 777);
  EXPECT_TRUE(std::equal(alone.begin(), alone.end(), behind.begin() + 777));
  Bytes data;
  EXPECT_EQ(lookup(behind, "b.wav", data), ExtractStatus::ok);
  EXPECT_EQ(data, kRock);
}

TEST(MediaPackFormat, TrailerFailures) {
  int32_t dir = 0;
  EXPECT_EQ(read_trailer(bytes_source(nullptr, 100), dir), TrailerStatus::truncated);
  const Bytes shortish = text_bytes("sbX\1\0\0");
  EXPECT_EQ(read_trailer(bytes_source(shortish.data(), shortish.size()), dir), TrailerStatus::truncated);
  const Bytes wrong = text_bytes("not a pack at all");
  EXPECT_EQ(read_trailer(bytes_source(wrong.data(), wrong.size()), dir), TrailerStatus::bad_magic);
  const Bytes bare = {'s', 'b', 'X', 0xFC, 0xFF, 0xFF, 0xFF};
  ASSERT_EQ(read_trailer(bytes_source(bare.data(), bare.size()), dir), TrailerStatus::ok);
  EXPECT_EQ(dir, -4);
}

TEST(MediaPackFormat, DamagedEntriesAreNotAvailable) {
  StoredEntry good = compressed("pic.bmp", kShip);
  auto status_with = [&](StoredEntry e, PackBase base = PackBase::from_start) {
    Bytes data{1, 2, 3};
    const ExtractStatus s = lookup(pack_of({e}, base), "pic.bmp", data);
    EXPECT_TRUE(data.empty());  // nothing half-made is handed out
    return s;
  };
  StoredEntry flipped = good;
  flipped.stored[flipped.stored.size() / 2] ^= 0x5A;
  flipped.stored.back() ^= 0xFF;  // the end marker
  EXPECT_EQ(status_with(flipped), ExtractStatus::damaged);
  for (int delta : {-1, +1}) {
    StoredEntry wrong_size = good;
    wrong_size.stored[0] = static_cast<uint8_t>(wrong_size.stored[0] + delta);
    EXPECT_EQ(status_with(wrong_size), ExtractStatus::damaged);
  }
  StoredEntry huge = good;  // claims 4 GiB: refused before any allocation
  std::memset(huge.stored.data(), 0xFF, 4);
  EXPECT_EQ(status_with(huge), ExtractStatus::damaged);
  EXPECT_EQ(status_with(StoredEntry{"pic.bmp", {0, 0, 0}}), ExtractStatus::too_small);
  EXPECT_EQ(status_with(StoredEntry{"pic.bmp", {}}), ExtractStatus::too_small);
}

// Hand-made packs whose offsets point where they should not.
TEST(MediaPackFormat, OffsetsOutsideTheFile) {
  auto raw_pack = [](int32_t entry_offset, uint32_t stored_size, int32_t dir_offset) {
    Bytes p = {5, 'a', '.', 'b', 'm', 'p'};
    for (uint32_t v : {static_cast<uint32_t>(entry_offset), stored_size})
      for (int i = 0; i < 4; ++i) p.push_back(static_cast<uint8_t>(v >> (8 * i)));
    p.push_back(0);
    p.insert(p.end(), {'s', 'b', 'X'});
    for (int i = 0; i < 4; ++i) p.push_back(static_cast<uint8_t>(static_cast<uint32_t>(dir_offset) >> (8 * i)));
    return p;
  };
  Bytes data;
  // Entry data would start past the end, before the start, or run past the end.
  EXPECT_EQ(lookup(raw_pack(100, 4, 0), "a.bmp", data), ExtractStatus::outside_file);
  EXPECT_EQ(lookup(raw_pack(-5, 4, 0), "a.bmp", data), ExtractStatus::outside_file);
  EXPECT_EQ(lookup(raw_pack(0, 0xFFFFFFFF, 0), "a.bmp", data), ExtractStatus::outside_file);
  // A negative directory offset makes a positive entry offset count from the end.
  EXPECT_EQ(lookup(raw_pack(1, 4, -22), "a.bmp", data), ExtractStatus::outside_file);
  // A directory outside the file has no entries.
  for (int32_t dir : {1000, -1000, INT32_MIN}) {
    const Bytes p = raw_pack(0, 4, dir);
    const PackSource src = bytes_source(p.data(), p.size());
    DirectoryEntry e;
    EXPECT_FALSE(DirectoryWalker(src, dir).next(e));
  }
}

TEST(MediaPackFormat, DirectoryWalkStopsAtShortReadsAndCutsNamesAtNul) {
  Bytes p = {3, 'a', 0, 'b', 0, 0, 0, 0, 4, 0, 0, 0, 200, 'x'};  // second entry runs off the end
  const PackSource src = bytes_source(p.data(), p.size());
  DirectoryWalker walk(src, 0);
  DirectoryEntry e;
  ASSERT_TRUE(walk.next(e));
  EXPECT_EQ(e.name_length, 1u);
  EXPECT_STREQ(e.name, "a");
  EXPECT_EQ(e.stored_size, 4u);
  EXPECT_FALSE(walk.next(e));
  EXPECT_FALSE(walk.next(e));
}

TEST(MediaPackFormat, NamesWriterRefusesAndSafeNames) {
  Bytes out;
  std::string error;
  EXPECT_FALSE(write_pack({StoredEntry{"", {0, 0, 0, 0}}}, PackBase::from_start, out, error));
  EXPECT_FALSE(write_pack({StoredEntry{std::string(256, 'n'), {}}}, PackBase::from_start, out, error));
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(safe_entry_name("ship.bmp", 8));
  EXPECT_TRUE(safe_entry_name(".hidden", 7));
  for (const char* bad : {"", "..", "a/b", "a\\b", "x..y"}) EXPECT_FALSE(safe_entry_name(bad, std::strlen(bad))) << bad;
}

}  // namespace
}  // namespace quarvel::media_pack_format
