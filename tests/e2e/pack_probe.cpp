// A tiny game for the single-file test: it loads "probe.bmp" like any
// asset and prints the sprite size it got.
//   pack_probe --write-bmp PATH   writes a 5 x 7 bitmap to PATH and ends
//   pack_probe                    starts the runtime, loads, prints, ends
#include <cstdio>
#include <cstring>
#include <vector>

#include <quarvel/quarvel.h>

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-bmp") == 0) {
    const int w = 5, h = 7, stride = 16;
    std::vector<unsigned char> file(54 + stride * h, 0x40);
    auto put32 = [&](int at, unsigned v) {
      for (int i = 0; i < 4; ++i) file[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    std::memset(file.data(), 0, 54);
    file[0] = 'B';
    file[1] = 'M';
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    file[26] = 1;
    file[28] = 24;
    FILE* f = std::fopen(argv[2], "wb");
    if (!f) return 1;
    std::fwrite(file.data(), 1, file.size(), f);
    return std::fclose(f) == 0 ? 0 : 1;
  }
  quarvel::set_command_line(argc, argv);
  quarvel::start_runtime(quarvel::kShowNormal, "pack probe");
  quarvel::load_sprite(quarvel::DynString("probe.bmp"), 1);
  double w = 0, h = 0;
  quarvel::get_sprite_size(1, w, h);
  std::printf("probe %gx%g\n", w, h);
  std::fflush(stdout);
  quarvel::end_program();
}
