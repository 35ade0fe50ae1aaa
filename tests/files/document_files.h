// Shared pieces of the INI and line-file tests: a working directory per
// test and a media pack that serves one file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "files/formats/media_pack_format.h"
#include "files/media_pack.h"
#include "test_support.h"

namespace quarvel::document_test {

namespace fs = std::filesystem;

inline std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_file(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

// Names of the files in a directory, sorted.
inline std::vector<std::string> files_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Each test works in a directory of its own, which is also the current
// one. A media pack in it can be switched on with serve_from_pack.
class DocumentTest : public testing::Test {
 protected:
  void SetUp() override {
    work_ = fs::path(quarvel_test::temp_dir()) / testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(work_);
    old_cwd_ = fs::current_path();
    fs::current_path(work_);
  }
  void TearDown() override {
    EngineState& e = engine();
    if (e.media_pack == &pack_) {
      close_media_pack(pack_);
      e.media_pack = nullptr;
    }
    fs::current_path(old_cwd_);
  }

  // A pack outside the working directory holding one file.
  void serve_from_pack(const std::string& name, const std::string& bytes) {
    namespace fmt = media_pack_format;
    fmt::StoredEntry entry{name, {}};
    std::string error;
    ASSERT_TRUE(fmt::compress_entry_data(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                         entry.stored, error))
        << error;
    std::vector<uint8_t> pack;
    ASSERT_TRUE(fmt::write_pack({entry}, fmt::PackBase::from_start, pack, error)) << error;
    const fs::path pack_path = work_.parent_path() / (work_.filename().string() + ".pak");
    write_file(pack_path, std::string(pack.begin(), pack.end()));
    reset_media_pack(pack_, pack_path.string().c_str());
    engine().media_pack = &pack_;
  }

  fs::path work_, old_cwd_;
  MediaPack pack_;
};

}  // namespace quarvel::document_test
