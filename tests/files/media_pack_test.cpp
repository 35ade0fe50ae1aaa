#include "files/media_pack.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "files/formats/media_pack_format.h"
#include "test_support.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
namespace fmt = media_pack_format;
using Bytes = std::vector<uint8_t>;

Bytes read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& p, const Bytes& b, std::ios::openmode extra = {}) {
  std::ofstream out(p, std::ios::binary | extra);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

fmt::StoredEntry entry(const std::string& name, const Bytes& data) {
  fmt::StoredEntry e{name, {}};
  std::string error;
  EXPECT_TRUE(fmt::compress_entry_data(data.data(), data.size(), e.stored, error)) << error;
  return e;
}

Bytes pack_bytes(const std::vector<fmt::StoredEntry>& entries, fmt::PackBase base = fmt::PackBase::from_start) {
  Bytes out;
  std::string error;
  EXPECT_TRUE(fmt::write_pack(entries, base, out, error)) << error;
  return out;
}

// Extracted files land in the process's temporary directory (TMPDIR);
// each test works in a directory of its own below it.
class MediaPackTest : public testing::Test {
 protected:
  void SetUp() override {
    tmp_ = quarvel_test::temp_dir();
    work_ = tmp_ / testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(work_ / "gfx");
    old_cwd_ = fs::current_path();
    fs::current_path(work_);
    pack_path_ = (work_ / "game.pak").string();
    reset_media_pack(pack_, pack_path_.c_str());
  }
  void TearDown() override {
    close_media_pack(pack_);
    fs::current_path(old_cwd_);
  }

  bool resolve(DynString& name) { return resolve_media_file(pack_, name); }
  std::vector<std::string> extracted_files() const {
    std::vector<std::string> names;
    for (const auto& f : fs::directory_iterator(tmp_))
      if (f.path().filename().string().rfind("sbx", 0) == 0) names.push_back(f.path().filename().string());
    return names;
  }

  fs::path tmp_, work_, old_cwd_;
  std::string pack_path_;
  MediaPack pack_;
};

const Bytes kShip = text(std::string(2000, 's') + "ship");
const Bytes kRock = text("rock sound");

TEST_F(MediaPackTest, PackEntryMatchedByCaseInsensitiveBaseName) {
  const auto ship = entry("SHIP.BMP", kShip);
  write_file(pack_path_, pack_bytes({entry("other.wav", kRock), ship}));
  for (const char* request : {"gfx/ship.bmp", "gfx\\Ship.bmp"}) {
    DynString name(request);
    ASSERT_TRUE(resolve(name)) << request;
    const uint32_t offset = static_cast<uint32_t>(entry("other.wav", kRock).stored.size());
    std::string expected = (tmp_ / "sbx").string();
    expected += static_cast<char>('A' + offset % 26);
    expected += static_cast<char>('A' + ship.stored.size() % 26);
    EXPECT_EQ(std::string(name.c_str()), expected + "SHIP.BMP");
    EXPECT_EQ(name.length_of(), expected.size() + 8);
    EXPECT_STREQ(pack_.last_extracted, name.c_str());
    EXPECT_EQ(read_file(name.c_str()), kShip);
  }
  // Duplicates: the first in directory order is used.
  write_file(pack_path_, pack_bytes({entry("dup.txt", kRock), entry("DUP.TXT", kShip)}));
  DynString dup("dup.txt");
  ASSERT_TRUE(resolve(dup));
  EXPECT_EQ(read_file(dup.c_str()), kRock);
}

TEST_F(MediaPackTest, TempNameLettersFromOffsetAndStoredSize) {
  // 18 bytes that do not compress: a 22-byte stream, 26 bytes stored.
  Bytes raw;
  for (int i = 0; i < 18; ++i) raw.push_back(static_cast<uint8_t>(i * 7 + 1));
  const auto e26 = entry("aa.bin", raw);
  ASSERT_EQ(e26.stored.size(), 26u);
  // And 22 such bytes: 30 stored, placed at offset 1000.
  raw.insert(raw.end(), {200, 201, 202, 203});
  const auto e30 = entry("me.bin", raw);
  ASSERT_EQ(e30.stored.size(), 30u);
  write_file(pack_path_, pack_bytes({e26, fmt::StoredEntry{"filler", Bytes(974)}, e30}));
  DynString a("aa.bin"), m("me.bin");
  ASSERT_TRUE(resolve(a));
  EXPECT_EQ(fs::path(a.c_str()).filename(), "sbxAAaa.bin");
  ASSERT_TRUE(resolve(m));
  EXPECT_EQ(fs::path(m.c_str()).filename(), "sbxMEme.bin");
}

TEST_F(MediaPackTest, AppendedPackResolvesLikeAStandaloneOne) {
  // A copy of a real executable: no trailer, so the pack switches off.
  const std::string exe = (work_ / "game").string();
  fs::copy_file("/proc/self/exe", exe);
  reset_media_pack(pack_, exe.c_str());
  DynString name("ship.bmp");
  EXPECT_FALSE(resolve(name));
  EXPECT_EQ(pack_.enabled, 0);

  const auto ship = entry("ship.bmp", kShip);
  const Bytes appended = pack_bytes({entry("rock.wav", kRock), ship}, fmt::PackBase::from_end);
  write_file(exe, appended, std::ios::app);
  reset_media_pack(pack_, exe.c_str());
  ASSERT_TRUE(resolve(name));
  EXPECT_EQ(read_file(name.c_str()), kShip);
  // Letters come from the negative offset's unsigned bit pattern.
  const uint32_t offset = static_cast<uint32_t>(static_cast<int32_t>(entry("rock.wav", kRock).stored.size()) -
                                                static_cast<int32_t>(appended.size()));
  const std::string letters = {static_cast<char>('A' + offset % 26), static_cast<char>('A' + ship.stored.size() % 26)};
  EXPECT_EQ(fs::path(name.c_str()).filename().string().substr(3, 2), letters);
}

TEST_F(MediaPackTest, PreviousExtractionDeletedByEveryLookup) {
  write_file(pack_path_, pack_bytes({entry("a.bmp", kShip), entry("b.bmp", kRock)}));
  write_file(work_ / "gfx" / "disk.bmp", kRock);
  const char* next[] = {"gfx/disk.bmp", "b.bmp", "missing.bmp", ""};
  for (const char* second : next) {
    DynString a("a.bmp");
    ASSERT_TRUE(resolve(a));
    const std::string a_path = a.c_str();
    ASSERT_TRUE(fs::exists(a_path));
    DynString b(second);
    resolve(b);
    EXPECT_FALSE(fs::exists(a_path)) << "after " << second;
  }
  // The pack being named again, and shutdown, clean up as well.
  DynString a("a.bmp");
  ASSERT_TRUE(resolve(a));
  reset_media_pack(pack_, pack_path_.c_str());
  EXPECT_FALSE(fs::exists(a.c_str()));
  ASSERT_TRUE(resolve(a = "a.bmp"));
  close_media_pack(pack_);
  EXPECT_FALSE(fs::exists(a.c_str()));
  EXPECT_STREQ(pack_.pack_name, "");
  EXPECT_STREQ(pack_.last_extracted, "");
}

TEST_F(MediaPackTest, DiskWinsAndMakesNoTempFile) {
  write_file(pack_path_, pack_bytes({entry("ship.bmp", kRock)}));
  write_file(work_ / "gfx" / "ship.bmp", kShip);
  for (const char* request : {"gfx/ship.bmp", "gfx\\ship.bmp"}) {
    DynString name(request);
    ASSERT_TRUE(resolve(name));
    EXPECT_STREQ(name.c_str(), request);  // unchanged, separators included
  }
  EXPECT_TRUE(extracted_files().empty());
}

TEST_F(MediaPackTest, FailuresAndTheEnabledFlag) {
  write_file(pack_path_, pack_bytes({entry("ship.bmp", kShip)}));
  DynString name;
  // Empty request, empty base name, missing entry: emptied, pack stays on.
  for (const char* request : {"", "gfx/", "nothing.bmp"}) {
    name = request;
    EXPECT_FALSE(resolve(name)) << request;
    EXPECT_STREQ(name.c_str(), "");
    EXPECT_EQ(pack_.enabled, 1);
  }
  // Damaged LZO data: not available, no file made.
  auto damaged = entry("bad.bmp", kShip);
  damaged.stored[damaged.stored.size() / 2] ^= 0x55;
  damaged.stored.back() ^= 0xFF;
  write_file(pack_path_, pack_bytes({damaged}));
  EXPECT_FALSE(resolve(name = "bad.bmp"));
  EXPECT_STREQ(name.c_str(), "");
  // A truncated trailer leaves the pack on.
  write_file(pack_path_, text("sbX"));
  EXPECT_FALSE(resolve(name = "ship.bmp"));
  EXPECT_STREQ(name.c_str(), "");
  EXPECT_EQ(pack_.enabled, 1);
  // An entry name that could step out of the temporary directory.
  write_file(pack_path_, pack_bytes({entry("..", kShip)}));
  EXPECT_FALSE(resolve(name = "gfx/.."));
  EXPECT_TRUE(extracted_files().empty());
  // Requests over the 1023-character limit are refused whole.
  EXPECT_FALSE(resolve(name = std::string(1024, 'n').c_str()));
  EXPECT_STREQ(name.c_str(), "");
  EXPECT_EQ(pack_.enabled, 1);
}

TEST_F(MediaPackTest, UnusablePackSwitchesOffUntilNamedAgain) {
  write_file(pack_path_, text("this is not a pack file"));
  DynString name("ship.bmp");
  EXPECT_FALSE(resolve(name));
  EXPECT_STREQ(name.c_str(), "ship.bmp");  // untouched
  EXPECT_EQ(pack_.enabled, 0);
  // The file is not looked at again: a good pack in its place is ignored...
  write_file(pack_path_, pack_bytes({entry("ship.bmp", kShip)}));
  EXPECT_FALSE(resolve(name));
  EXPECT_STREQ(name.c_str(), "ship.bmp");
  // ...until the pack is named again.
  reset_media_pack(pack_, pack_path_.c_str());
  EXPECT_TRUE(resolve(name));
  // No name, a missing file, a directory (what start-up used to name), a
  // name too long for the record.
  for (const std::string& p : {std::string(), (work_ / "none.pak").string(), work_.string(), std::string(1100, 'p')}) {
    reset_media_pack(pack_, p.c_str());
    EXPECT_FALSE(resolve(name = "ship.bmp"));
    EXPECT_STREQ(name.c_str(), "ship.bmp");
    EXPECT_EQ(pack_.enabled, 0);
  }
}

TEST_F(MediaPackTest, EngineRecordsAndTheLoaderHelper) {
  write_file(pack_path_, pack_bytes({entry("ship.bmp", kShip)}));
  EngineState& e = engine();
  DynString name("ship.bmp");
  EXPECT_FALSE(resolve_asset_name(name));  // no records: the disk only
  EXPECT_STREQ(name.c_str(), "");
  MediaPack first, second;
  e.media_pack = &first;
  e.media_pack_second = &second;
  set_media_pack(pack_path_.c_str(), "second.pak");
  EXPECT_STREQ(second.pack_name, "second.pak");
  name = "ship.bmp";
  EXPECT_TRUE(resolve_asset_name(name));
  EXPECT_GE(name.capacity(), 257u);
  EXPECT_EQ(read_file(name.c_str()), kShip);
  name = "nothing.bmp";
  EXPECT_FALSE(resolve_asset_name(name));
  EXPECT_EQ(name.length_of(), 0u);
  e.media_pack = e.media_pack_second = nullptr;
  close_media_pack(first);
  close_media_pack(second);
}

#ifdef QUARVEL_PACK_TOOL
// Runs the tool with its output in `out`; the exit status.
int run_tool(const std::string& args, std::string* out = nullptr) {
  const std::string log = quarvel_test::temp_dir() + "/tool.log";
  const int status = std::system((std::string(QUARVEL_PACK_TOOL) + " " + args + " >" + log + " 2>&1").c_str());
  if (out != nullptr) {
    const Bytes b = read_file(log);
    out->assign(b.begin(), b.end());
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(MediaPackTest, ToolEndToEnd) {
  write_file(work_ / "gfx" / "Ship.bmp", kShip);
  write_file(work_ / "rock.wav", kRock);
  write_file(work_ / "empty.txt", {});
  std::string out;
  ASSERT_EQ(run_tool("create game.pak gfx/Ship.bmp rock.wav empty.txt", &out), 0) << out;
  ASSERT_EQ(run_tool("list game.pak", &out), 0) << out;
  EXPECT_NE(out.find("Ship.bmp"), std::string::npos);
  EXPECT_NE(out.find(" " + std::to_string(kShip.size()) + " "), std::string::npos) << out;
  EXPECT_NE(out.find("3 entries"), std::string::npos);

  fs::create_directory("all");
  ASSERT_EQ(run_tool("extract game.pak -o all", &out), 0) << out;
  EXPECT_EQ(read_file("all/Ship.bmp"), kShip);
  EXPECT_EQ(read_file("all/rock.wav"), kRock);
  EXPECT_TRUE(fs::exists("all/empty.txt"));
  fs::create_directory("one");
  ASSERT_EQ(run_tool("extract game.pak data/SHIP.BMP -o one", &out), 0) << out;
  EXPECT_EQ(std::distance(fs::directory_iterator("one"), fs::directory_iterator()), 1);
  EXPECT_EQ(run_tool("extract game.pak nothing.bmp -o one", &out), 1);
  EXPECT_NE(out.find("nothing.bmp"), std::string::npos);

  // A single-file game: the pack appended to a copy of an executable.
  fs::copy_file(QUARVEL_PACK_TOOL, "game");
  fs::permissions("game", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  const auto mode = fs::status("game").permissions();
  ASSERT_EQ(run_tool("append game gfx/Ship.bmp rock.wav", &out), 0) << out;
  EXPECT_EQ(fs::status("game").permissions(), mode);
  EXPECT_EQ(std::system("./game --help >/dev/null"), 0);  // still runs
  reset_media_pack(pack_, "game");
  DynString name("gfx/SHIP.bmp");
  fs::remove(work_ / "gfx" / "Ship.bmp");
  ASSERT_TRUE(resolve(name));
  EXPECT_EQ(read_file(name.c_str()), kShip);

  // Misuse and failures.
  EXPECT_EQ(run_tool("--help", &out), 0);
  EXPECT_NE(out.find("append TARGET"), std::string::npos);
  EXPECT_EQ(run_tool(""), 2);
  EXPECT_EQ(run_tool("frobnicate x"), 2);
  EXPECT_EQ(run_tool("create only.pak"), 2);
  EXPECT_EQ(run_tool("list rock.wav", &out), 1);
  EXPECT_NE(out.find("not a media pack"), std::string::npos);
  fs::create_directory("other");
  write_file("other/ROCK.WAV", kShip);
  EXPECT_EQ(run_tool("create dup.pak rock.wav other/ROCK.WAV", &out), 1);
  EXPECT_FALSE(fs::exists("dup.pak"));
  EXPECT_EQ(run_tool("create x.pak missing.bmp"), 1);
}

TEST_F(MediaPackTest, ToolAppendsAgainIntoOnePackAndStripsIt) {
  fs::copy_file(QUARVEL_PACK_TOOL, "game");
  const Bytes program = read_file("game");
  write_file("Ship.bmp", kShip);
  write_file("rock.wav", kRock);
  std::string out;
  ASSERT_EQ(run_tool("append game Ship.bmp rock.wav", &out), 0) << out;
  // A second append: a new sound and a replaced one.
  const Bytes new_rock = text("another rock sound");
  write_file("rock.wav", new_rock);
  write_file("music.txt", text("notes"));
  ASSERT_EQ(run_tool("append game rock.wav music.txt", &out), 0) << out;
  EXPECT_NE(out.find("1 kept, 1 replaced, 1 new"), std::string::npos) << out;
  fs::remove("Ship.bmp");
  fs::remove("rock.wav");
  fs::remove("music.txt");
  reset_media_pack(pack_, "game");
  for (const auto& [asset, bytes] : {std::pair<const char*, Bytes>{"ship.BMP", kShip}, {"rock.wav", new_rock},
                                     {"music.txt", text("notes")}}) {
    DynString name(asset);
    ASSERT_TRUE(resolve(name)) << asset;
    EXPECT_EQ(read_file(name.c_str()), bytes) << asset;
  }
  // One pack at the end: the program plus exactly the merged pack.
  const Bytes merged = pack_bytes({entry("Ship.bmp", kShip), entry("rock.wav", new_rock), entry("music.txt", text("notes"))},
                                  fmt::PackBase::from_end);
  EXPECT_EQ(read_file("game").size(), program.size() + merged.size());
  EXPECT_EQ(std::system("./game --help >/dev/null"), 0);  // still runs

  ASSERT_EQ(run_tool("strip game", &out), 0) << out;
  EXPECT_EQ(read_file("game"), program);
  EXPECT_EQ(run_tool("strip game", &out), 1);
  EXPECT_NE(out.find("no pack appended"), std::string::npos) << out;
  EXPECT_EQ(run_tool("strip game.pak", &out), 1);  // no such file
}

TEST_F(MediaPackTest, ToolAppendRecoversStackedPacksAndRefusesDamagedOnes) {
  // A game that an older tool appended to twice: the second pack hid the
  // first. Appending again brings the hidden assets back, in one pack.
  fs::copy_file(QUARVEL_PACK_TOOL, "game");
  const Bytes program = read_file("game");
  write_file("game", pack_bytes({entry("ship.bmp", kShip)}, fmt::PackBase::from_end), std::ios::app);
  write_file("game", pack_bytes({entry("rock.wav", kRock)}, fmt::PackBase::from_end), std::ios::app);
  write_file("title.txt", text("Stone"));
  std::string out;
  ASSERT_EQ(run_tool("append game title.txt", &out), 0) << out;
  ASSERT_EQ(run_tool("list game", &out), 0) << out;
  EXPECT_NE(out.find("3 entries"), std::string::npos) << out;
  EXPECT_NE(out.find("ship.bmp"), std::string::npos) << out;
  ASSERT_EQ(run_tool("strip game", &out), 0) << out;
  EXPECT_EQ(read_file("game"), program);

  // A trailer whose directory lies before the start of the file: nothing
  // is changed.
  Bytes broken = program;
  const Bytes trailer = {'s', 'b', 'X', 0x00, 0x00, 0x00, 0x80};  // offset -2^31
  broken.insert(broken.end(), trailer.begin(), trailer.end());
  write_file("game", broken);
  EXPECT_EQ(run_tool("append game title.txt", &out), 1);
  EXPECT_NE(out.find("nothing changed"), std::string::npos) << out;
  EXPECT_EQ(read_file("game"), broken);
  // A pack file of its own is not a program to append to.
  write_file("own.pak", pack_bytes({entry("ship.bmp", kShip)}));
  EXPECT_EQ(run_tool("append own.pak title.txt", &out), 1);
  EXPECT_EQ(run_tool("strip own.pak", &out), 1);
}
#endif

}  // namespace
}  // namespace quarvel
