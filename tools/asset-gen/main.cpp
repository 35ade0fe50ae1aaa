// stoneswarm-assets: paints, synthesises and writes every asset of Stone
// Swarm into a directory, so that no binary asset lives in the source tree.
//
//   stoneswarm-assets [--preview] OUTDIR
//   stoneswarm-assets --models OUTDIR
//
// Writes the pictures (24-bit bitmaps), the fonts, the sound effects (16-bit
// PCM waves), the title music (MP3), the desktop icon "icon.png" (not a
// game asset: the install puts it where desktops look for icons) and, only
// when it is missing, the highscore file "hc.txt". With --preview it also
// writes "preview.png", a contact sheet of everything with mock-ups of the
// game's screens. With --models it writes only the 3D models of the
// examples ("rock.ddd", "craft.ddd", "pad.ddd").
// Exit codes: 0 done, 1 a file could not be written, 2 misuse.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "audio.h"
#include "fonts.h"
#include "models.h"
#include "gfx2d/formats/image_writers.h"
#include "pictures.h"
#include "preview.h"

namespace fs = std::filesystem;
using namespace assetgen;

namespace {

bool report(bool ok, const std::string& path) {
  if (!ok) std::fprintf(stderr, "stoneswarm-assets: cannot write %s\n", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  bool preview = false;
  bool models = false;
  std::string out_dir;
  bool misuse = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--preview") == 0) {
      preview = true;
    } else if (std::strcmp(argv[i], "--models") == 0) {
      models = true;
    } else if (out_dir.empty() && argv[i][0] != '-' && argv[i][0] != '\0') {
      out_dir = argv[i];
    } else {
      misuse = true;
    }
  }
  if (misuse || out_dir.empty()) {
    std::fprintf(stderr, "usage: stoneswarm-assets [--preview] OUTDIR\n       stoneswarm-assets --models OUTDIR\n");
    return 2;
  }
  std::error_code ec;
  fs::create_directories(out_dir, ec);
  const fs::path dir(out_dir);
  auto path = [&](const char* name) { return (dir / name).string(); };
  if (models) return report(write_models(out_dir), out_dir) ? 0 : 1;
  bool ok = true;

  Assets a;
  a.rock = make_rock();
  a.craft = make_craft();
  a.play = make_play_background();
  a.title = make_title_background();
  a.logo = make_logo();
  a.game_over = make_game_over();
  a.small_font = make_small_font();
  a.body_font = make_body_font();
  a.help_font = make_help_font();
  a.scroller_font = make_scroller_font();
  a.big_font = make_big_font();

  ok &= report(save_sprite(a.rock, path("asteroid.bmp")), path("asteroid.bmp"));
  ok &= report(save_sprite(a.craft, path("raumer.bmp")), path("raumer.bmp"));
  ok &= report(save_bitmap(a.play, path("stone.bmp")), path("stone.bmp"));
  ok &= report(save_bitmap(a.title, path("blank.bmp")), path("blank.bmp"));
  ok &= report(save_bitmap(a.logo, path("logo.bmp")), path("logo.bmp"));
  ok &= report(save_bitmap(a.game_over, path("gameover.bmp")), path("gameover.bmp"));
  ok &= report(save_font(a.small_font, path("smalfont.bmp")), path("smalfont.bmp"));
  ok &= report(save_font(a.body_font, path("font.bmp")), path("font.bmp"));
  ok &= report(save_font(a.help_font, path("font2.bmp")), path("font2.bmp"));
  ok &= report(save_font(a.scroller_font, path("fontscroller.bmp")), path("fontscroller.bmp"));
  ok &= report(save_font(a.big_font, path("fontbig.bmp")), path("fontbig.bmp"));

  ok &= report(quarvel::write_file_bytes(path("explosion.wav").c_str(), encode_wave(make_explosion())), path("explosion.wav"));
  ok &= report(quarvel::write_file_bytes(path("keyclick.wav").c_str(), encode_wave(make_keyclick())), path("keyclick.wav"));
  ok &= report(quarvel::write_file_bytes(path("fanfare.wav").c_str(), encode_wave(make_fanfare())), path("fanfare.wav"));
  ok &= report(save_png(make_icon(), path("icon.png")), path("icon.png"));

  const std::vector<uint8_t> mp3 = encode_mp3(make_music());
  ok &= report(!mp3.empty() && quarvel::write_file_bytes(path("music.mp3").c_str(), mp3), path("music.mp3"));

  // The highscore belongs to the player: never overwrite one.
  if (!fs::exists(path("hc.txt"))) {
    const std::vector<uint8_t> zero = {'0', '\r', '\n'};
    ok &= report(quarvel::write_file_bytes(path("hc.txt").c_str(), zero), path("hc.txt"));
  }

  if (preview) ok &= report(save_png(make_preview(a), path("preview.png")), path("preview.png"));
  return ok ? 0 : 1;
}
