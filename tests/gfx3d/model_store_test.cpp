// Model files loaded into the renderer's mesh slots: from disk, through the
// media pack, and the report lines of files that cannot be read.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "files/formats/media_pack_format.h"
#include "files/media_pack.h"
#include "gfx3d/vurivari3d.h"
#include "model_files.h"
#include "runtime_fixture.h"
#include "test_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

std::string write_model(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::string path = temp_dir() + "/" + name;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

BinaryModelWriter small_model(int frames) {
  BinaryModelWriter w;
  w.colours = {0x00FF00};
  for (int i = 0; i < frames; ++i) w.frames.push_back({{0, 0, 0}, {1, 1, 1}, {{1, 2, 3, 0, 0}, {4, 5, 6, 7, 0}}});
  return w;
}

class ModelStoreTest : public RuntimeTest {
 protected:
  // What the report file gained since the test began.
  std::string new_report_lines() const { return read_file(report_path()).substr(report_start_); }
  void SetUp() override { report_start_ = read_file(report_path()).size(); }
  const MeshObject* mesh(int slot) const { return engine().renderer3d->models.find(slot); }

  size_t report_start_ = 0;
};

TEST_F(ModelStoreTest, BothFormsLoadIntoSlots) {
  const std::string binary = write_model("ship.ddd", small_model(3).bytes());
  EXPECT_EQ(load_object(DynString(binary.c_str()), 0), 1);
  EXPECT_EQ(object_loaded(0), 1);
  EXPECT_EQ(object_frame_count(0), 3);
  ASSERT_NE(mesh(0), nullptr);
  EXPECT_EQ(mesh(0)->model.frames[2].vertices.size(), 2u);  // expanded for drawing
  EXPECT_EQ(mesh(0)->prepared, 1);

  const std::string text = write_model("tri.ddd", bytes_of("DDDA 1.0 0 1 9 9 9 3 0 0 1 0 2 0 1 3 0 0 0 1 0 0 0 1 0"));
  EXPECT_EQ(load_object(DynString(text.c_str()), 1023.9), 1);
  EXPECT_EQ(object_frame_count(1023), 1);
  EXPECT_EQ(new_report_lines(), "");
}

TEST_F(ModelStoreTest, FailuresEmptyTheSlotAndAreReported) {
  const std::string good = write_model("good.ddd", small_model(1).bytes());
  ASSERT_EQ(load_object(DynString(good.c_str()), 5), 1);

  BinaryModelWriter old = small_model(1);
  old.version = 1.01;
  const std::string old_file = write_model("old.ddd", old.bytes());
  EXPECT_EQ(load_object(DynString(old_file.c_str()), 5), 0);
  EXPECT_EQ(object_loaded(5), 0);
  EXPECT_EQ(object_frame_count(5), 0);
  EXPECT_EQ(new_report_lines(), "Wrong .ddd version.\r\nload_object: \"" + old_file +
                                    "\" not loaded: a binary model of another version than 1.02\r\n");

  std::vector<uint8_t> cut = small_model(2).bytes();
  cut.resize(cut.size() - 3);
  const std::string cut_file = write_model("cut.ddd", cut);
  report_start_ = read_file(report_path()).size();
  EXPECT_EQ(load_object(DynString(cut_file.c_str()), 5), 0);
  EXPECT_EQ(new_report_lines().substr(0, 14 + cut_file.size() + 2), "# read error\r\n" + cut_file + "\r\n");
  EXPECT_NE(new_report_lines().find("load_object: \"" + cut_file + "\" not loaded: damaged"), std::string::npos);

  // Neither form, the other text model format, or no file: no model, and
  // one line each that names the file and the reason.
  report_start_ = read_file(report_path()).size();
  ASSERT_EQ(load_object(DynString(good.c_str()), 5), 1);
  const std::string other = write_model("other.ddw", bytes_of(";DDW 1.0\n"));
  EXPECT_EQ(load_object(DynString(other.c_str()), 5), 0);
  EXPECT_EQ(object_loaded(5), 0);
  const std::string not_model = write_model("notes.txt", bytes_of("hello"));
  EXPECT_EQ(load_object(DynString(not_model.c_str()), 5), 0);
  EXPECT_EQ(load_object(DynString("missing.ddd"), 5), 0);
  const std::string lines = new_report_lines();
  EXPECT_NE(lines.find("load_object: \"" + other + "\" not loaded: the \";DDW\" model format is not read"),
            std::string::npos);
  EXPECT_NE(lines.find("load_object: \"" + not_model + "\" not loaded: not a model file"), std::string::npos);
  EXPECT_NE(lines.find("load_object: \"missing.ddd\" not loaded: not found"), std::string::npos);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3);
}

TEST_F(ModelStoreTest, BackslashesInTheNameWork) {
  std::string path = write_model("slashes.ddd", small_model(1).bytes());
  for (char& c : path)
    if (c == '/') c = '\\';
  EXPECT_EQ(load_object(DynString(path.c_str()), 7), 1);
}

TEST_F(ModelStoreTest, ModelComesFromTheMediaPack) {
  namespace fmt = media_pack_format;
  const std::vector<uint8_t> model = small_model(4).bytes();
  fmt::StoredEntry entry{"packed_ship.ddd", {}};
  std::string error;
  ASSERT_TRUE(fmt::compress_entry_data(model.data(), model.size(), entry.stored, error)) << error;
  std::vector<uint8_t> pack;
  ASSERT_TRUE(fmt::write_pack({entry}, fmt::PackBase::from_start, pack, error)) << error;
  const std::string pack_path = write_model("models.pak", pack);

  const std::string before = engine().media_pack->pack_name;
  const std::string second = engine().media_pack_second->pack_name;
  set_media_pack(pack_path.c_str(), "");
  EXPECT_EQ(load_object(DynString("gfx/packed_ship.ddd"), 9), 1);
  EXPECT_EQ(object_frame_count(9), 4);
  EXPECT_EQ(load_object(DynString("gfx/not_in_pack.ddd"), 9), 0);
  EXPECT_EQ(object_loaded(9), 0);
  set_media_pack(before, second);
}

}  // namespace
}  // namespace quarvel_test
