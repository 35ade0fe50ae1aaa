// A network chat. One process hosts a session, others join it; each makes
// a player, and every line typed (Return sends it) goes to all the other
// players and shows on their screens, with the sender's name.
//
//   chat [FRAMES] --host 26000 --name Ann      hosts on UDP port 26000
//   chat [FRAMES] --join 26000 --name Bob      joins the host on this machine
//
// (--address A joins a host on another machine.) The optional first
// argument ends the program after that many frames.
#include <quarvel/quarvel.h>

#include <cstdlib>
#include <cstring>

using namespace quarvel;

namespace {

long frame_limit = 0;
const char* mode = "--host";
const char* port = "26000";
const char* address = "127.0.0.1";
const char* name = "Player";

constexpr int kLines = 14;
DynString lines[kLines];
double line_colours[kLines];

void add_line(const DynString& text, double colour) {
  for (int i = 0; i + 1 < kLines; ++i) {
    lines[i] = lines[i + 1];
    line_colours[i] = line_colours[i + 1];
  }
  lines[kLines - 1] = text;
  line_colours[kLines - 1] = colour;
}

// Player names by id, asked of the host once per id (each question may wait
// for the host's answer).
constexpr int kNames = 16;
DynString known_ids[kNames], known_names[kNames];
DynString player_name(const DynString& id) {
  for (int i = 0; i < kNames; ++i)
    if (text_eq(known_ids[i].c_str(), id.c_str()) != 0) return known_names[i];
  for (int i = 0; i < kNames; ++i)
    if (known_ids[i].length_of() == 0) {
      known_ids[i] = id;
      known_names[i] = net_player_name(id);
      return known_names[i];
    }
  return net_player_name(id);
}

void chat() {
  const bool hosting = std::strcmp(mode, "--host") == 0;
  const double ok = hosting ? net_host_session(port) : net_join_session(address, port);
  const DynString me = ok != 0 ? net_create_player(name) : DynString("-1");
  add_line(ok == 0 ? DynString("no session: ") + (hosting ? "cannot host" : "no host answered")
                   : DynString(hosting ? "hosting on port " : "joined port ") + port + " as " + name + " (id " + me + ")",
           rgb(255, 220, 80));
  DynString typing;
  double players = 0;
  for (long frame = 1; frame_limit <= 0 || frame <= frame_limit; ++frame) {
    // Messages for our player: everything the others sent.
    for (DynString text = net_get_message(me); text.length_of() > 0; text = net_get_message(me))
      add_line(player_name(net_last_sender()) + ": " + text, rgb(120, 220, 255));
    if (frame % 60 == 1) players = net_player_count();

    // The line being typed; Return sends it to every other player (0).
    const DynString key = inkey();
    if (text_eq(key.c_str(), "\n") != 0 && typing.length_of() > 0) {
      net_send_message(me, "0", typing);
      add_line(DynString(name) + ": " + typing, rgb(255, 255, 255));
      typing = "";
    } else if (text_eq(key.c_str(), "\b") != 0) {
      if (typing.length_of() > 0) typing.truncate_at(typing.length_of() - 1);
    } else if (key.char_at(0) >= ' ' && typing.length_of() < 36) {
      typing += key;
    }

    draw_rect(0, 0, 320, 240, rgb(20, 24, 36));
    draw_rect(0, 0, 320, 14, rgb(50, 60, 110));
    print_text(DynString("Quarvel chat - ") + name + " - players " + players, 4, 3);
    for (int i = 0; i < kLines; ++i) {
      set_text_colour(line_colours[i]);
      print_text(lines[i], 6, 20 + i * 13);
      set_text_colour(-1);
    }
    draw_rect(0, 212, 320, 28, rgb(10, 10, 16));
    print_text(DynString("> ") + typing, 6, 222);
    if (frame % 40 < 20) draw_rect(22 + typing.length_of() * 8, 222, 8, 8, rgb(255, 255, 255));
    show_screen();
  }
  net_remove_player(me);
}

}  // namespace

int main(int argc, char** argv) {
  frame_limit = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--host") == 0 || std::strcmp(argv[i], "--join") == 0) {
      mode = argv[i];
      port = argv[i + 1];
    } else if (std::strcmp(argv[i], "--name") == 0) {
      name = argv[i + 1];
    } else if (std::strcmp(argv[i], "--address") == 0) {
      address = argv[i + 1];
    }
  }
  project_settings().screen_width = 320;
  project_settings().screen_height = 240;
  return run_game(argc, argv, "Quarvel chat", chat);
}
