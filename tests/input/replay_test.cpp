// Recording and replaying input: the line format, a recorded run replayed
// in the same process, and whole runs of a small program with --record,
// --replay and --seed.
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "input_test_support.h"

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "input/input_device.h"
#include "test_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

InputScript parse(const std::string& s) { return parse_input_script(s.data(), s.size()); }

// ---------------------------------------------------------- line format ---

TEST(ReplayScript, ReadsEveryKindOfLine) {
  const InputScript s = parse(
      "quarvel-input 1\r\n"
      "# a comment\n"
      "\n"
      "seed 4294967295\n"
      "frame 3 down 205\r\n"
      "  frame 4   up 205  \n"
      "frame 5 mouse -3 400\n"
      "frame 5 move 7 -2\n"
      "frame 5 wheel -1\n"
      "frame 6 button right 1\n"
      "frame 6 button 3 0\n"
      "frame 7 joystick 9 attach  My Pad, My Pad \n"
      "frame 7 joystick 9 axis slider2 -32768\n"
      "frame 7 joystick 9 pov 3 -1\n"
      "frame 7 joystick 9 button 31 128\n"
      "frame 8 joystick 9 detach\n"
      "end 9");
  EXPECT_TRUE(s.problems.empty()) << s.problems.front();
  EXPECT_TRUE(s.has_seed);
  EXPECT_EQ(s.seed, 4294967295u);
  EXPECT_EQ(s.end_frame, 9);
  ASSERT_EQ(s.events.size(), 12u);
  EXPECT_EQ(s.events[0].op, ScriptOp::key_down);
  EXPECT_EQ(s.events[0].frame, 3);
  EXPECT_EQ(s.events[0].a, 205);
  EXPECT_EQ(s.events[1].op, ScriptOp::key_up);
  EXPECT_EQ(s.events[2].op, ScriptOp::mouse);
  EXPECT_EQ(s.events[2].a, -3);
  EXPECT_EQ(s.events[2].b, 400);
  EXPECT_EQ(s.events[3].op, ScriptOp::move);
  EXPECT_EQ(s.events[4].op, ScriptOp::wheel);
  EXPECT_EQ(s.events[4].a, -1);
  EXPECT_EQ(s.events[5].op, ScriptOp::button);
  EXPECT_EQ(s.events[5].a, 2);
  EXPECT_EQ(s.events[5].b, 1);
  EXPECT_EQ(s.events[6].a, 3);
  EXPECT_EQ(s.events[7].op, ScriptOp::joystick_attach);
  EXPECT_EQ(s.events[7].joystick, 9);
  EXPECT_EQ(s.events[7].text, "My Pad, My Pad");
  EXPECT_EQ(s.events[8].op, ScriptOp::joystick_axis);
  EXPECT_EQ(s.events[8].a, 7);
  EXPECT_EQ(s.events[8].b, -32768);
  EXPECT_EQ(s.events[9].op, ScriptOp::joystick_pov);
  EXPECT_EQ(s.events[9].b, -1);
  EXPECT_EQ(s.events[10].op, ScriptOp::joystick_button);
  EXPECT_EQ(s.events[11].op, ScriptOp::joystick_detach);
}

TEST(ReplayScript, SkipsLinesItCannotReadAndSaysWhich) {
  const std::vector<std::string> bad = {
      "frame 1 down 256",           "frame -1 down 3",          "frame 1 jump 3",
      "frame x down 3",             "frame 1 down 3 4",         "frame 1 mouse 1",
      "frame 1 move 1 2000000",     "frame 1 button 4 1",       "frame 1 button left 2",
      "frame 1 joystick 10 detach", "frame 1 joystick 0 axis w 3", "frame 1 joystick 0 axis x 40000",
      "frame 1 joystick 0 pov 0 36000", "frame 1 joystick 0 button 32 1", "frame 1 joystick 0",
      "hello",                      "seed abc",                 "seed 4294967296",
      "end -4",                     "quarvel-input 2",          std::string("frame 1 down\0 3", 15),
      "frame 99999999999999999999 down 3",
  };
  std::string text = "frame 0 down 1\n";
  for (const std::string& line : bad) text += line + "\n";
  text += "frame 2 up 1\n";
  const InputScript s = parse(text);
  ASSERT_EQ(s.events.size(), 2u);
  EXPECT_EQ(s.events[1].frame, 2);
  EXPECT_FALSE(s.has_seed);
  EXPECT_EQ(s.end_frame, -1);
  ASSERT_EQ(s.problems.size(), bad.size());
  for (size_t i = 0; i < bad.size(); ++i) {
    EXPECT_EQ(s.problems[i].rfind("line " + std::to_string(i + 2) + ": ", 0), 0u) << s.problems[i];
  }
}

TEST(ReplayScript, EventsAreSortedByFrameKeepingTheirOrderWithinAFrame) {
  const InputScript s = parse("frame 9 down 1\nframe 2 down 5\nframe 9 up 1\nframe 2 up 5\nframe 0 down 7\n");
  ASSERT_EQ(s.events.size(), 5u);
  const std::pair<int64_t, ScriptOp> order[] = {{0, ScriptOp::key_down}, {2, ScriptOp::key_down},
                                                {2, ScriptOp::key_up},   {9, ScriptOp::key_down},
                                                {9, ScriptOp::key_up}};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(s.events[i].frame, order[i].first);
    EXPECT_EQ(s.events[i].op, order[i].second);
  }
}

TEST(ReplayScript, EveryLineReadsBackAsWritten) {
  auto event = [](ScriptOp op, int64_t a, int64_t b, const char* name = "") {
    ScriptEvent e;
    e.frame = 12;
    e.op = op;
    e.joystick = 4;
    e.a = a;
    e.b = b;
    e.text = name;
    return e;
  };
  const ScriptEvent events[] = {
      event(ScriptOp::key_down, 255, 0),        event(ScriptOp::key_up, 0, 0),
      event(ScriptOp::mouse, -1000000, 1000000), event(ScriptOp::move, 3, -4),
      event(ScriptOp::wheel, -2, 0),            event(ScriptOp::button, 3, 1),
      event(ScriptOp::joystick_attach, 0, 0, "Pad (wired), Pad"), event(ScriptOp::joystick_detach, 0, 0),
      event(ScriptOp::joystick_axis, 4, 32768),  event(ScriptOp::joystick_pov, 2, 27000),
      event(ScriptOp::joystick_button, 0, 128),
  };
  for (const ScriptEvent& e : events) {
    const std::string line = format_script_line(e);
    const InputScript s = parse(line);
    ASSERT_EQ(s.events.size(), 1u) << line;
    const ScriptEvent& r = s.events[0];
    EXPECT_EQ(r.op, e.op) << line;
    EXPECT_EQ(r.frame, e.frame) << line;
    EXPECT_EQ(r.a, e.a) << line;
    if (e.op != ScriptOp::key_down && e.op != ScriptOp::key_up && e.op != ScriptOp::wheel) {
      EXPECT_EQ(r.b, e.b) << line;
    }
    if (e.op >= ScriptOp::joystick_attach) {
      EXPECT_EQ(r.joystick, 4) << line;
    }
    EXPECT_EQ(r.text, e.text) << line;
  }
  EXPECT_EQ(format_script_line(events[0]), "frame 12 down 255");
  EXPECT_EQ(format_script_line(events[5]), "frame 12 button middle 1");
}

TEST(ReplayScript, JoystickNamesAreKeptAsOneTidyLine) {
  EXPECT_EQ(script_joystick_name(" \tPad\nOne\r "), "Pad One");
  EXPECT_EQ(script_joystick_name(std::string(600, 'x')).size(), kScriptNameBytes);
  ScriptEvent e;
  e.op = ScriptOp::joystick_attach;
  e.text = "two\nlines";
  EXPECT_EQ(format_script_line(e), "frame 0 joystick 0 attach two lines");
}

// ------------------------------------------------- in-process round trip ---

// A little game: what it draws depends on keys, typed characters, the
// mouse, joystick 0 and the random numbers. Returns a hash of each
// presented frame.
struct LittleGame {
  double x = 160, y = 120;
  int colour = 0xFFFFFF;

  uint64_t frame() {
    x += key_state(205) - key_state(203) + joystick_x(0) * 3;
    y += key_state(208) - key_state(200) + mouse_axis(1) + mouse_axis(2) * 5;
    if (text(inkey()) == "a") colour ^= 0x00FF00;
    double mx, my, left, right;
    mouse_state(mx, my, left, right);
    draw_rect(0, 0, 320, 240, 0x202020);
    draw_rect(random_int(300), random_int(220), 20, 20, 0x8040C0);
    draw_rect(x, y, 8, 8, colour);
    draw_rect(mx, my, 3, 3, left ? 0x0000FF : 0x00FFFF);
    draw_rect(0, 0, 4 + joystick_count() * 4 + joystick_hat_x(0) * 2, 4, 0xFFFFFF);
    show_screen();
    OpenGLVurivari& gfx = *engine().gfx;
    std::vector<uint8_t> rgba(320 * 240 * 4);
    gfx.read_presented(rgba.data(), 320, 240);
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : rgba) h = (h ^ b) * 1099511628211ull;
    return h;
  }
};

using RecordReplay = RuntimeTest;

TEST_F(RecordReplay, RecordedRunReplaysTheSameFrames) {
  using namespace quarvel::platform;
  const std::string path = temp_dir() + "/run.txt";
  constexpr int kFrames = 40;
  system_pointer(1);

  std::vector<uint64_t> recorded;
  {
    seed_random(1234);
    engine().input->start_recording(std::fopen(path.c_str(), "wb"), 1234);
    LittleGame game;
    VirtualJoystick kind;
    kind.name = "Recorded Stick";
    int stick = -1;
    for (int f = 0; f < kFrames; ++f) {
      switch (f) {
        case 2: stick = test_attach_joystick(kind); break;
        case 4: test_push_key(205, true); break;
        case 9: test_push_key(205, false); test_push_mouse_motion(200, 300, 0, 0); break;
        case 11: test_push_key(30, true); test_joystick_axis(stick, 0, 20000); break;
        case 12: test_push_key(30, false); test_push_mouse_button(1, true); break;
        case 15: test_push_mouse_motion(100, 50, 0, 0); test_push_mouse_wheel(1); break;
        case 17: test_joystick_hat(stick, 0, 2); test_push_mouse_button(1, false); break;
        case 20: test_joystick_axis(stick, 0, 0); test_push_key(208, true); break;
        case 25: test_push_key(208, false); test_detach_joystick(stick); break;
        default: break;
      }
      recorded.push_back(game.frame());
    }
    engine().input->stop_session();
  }
  ASSERT_GT(std::set<uint64_t>(recorded.begin(), recorded.end()).size(), 20u);

  const std::string written = read_file(path);
  EXPECT_EQ(written.rfind("quarvel-input 1\nseed 1234\n", 0), 0u) << written;
  EXPECT_NE(written.find("frame 4 down 205\n"), std::string::npos) << written;
  EXPECT_NE(written.find("joystick 0 attach Recorded Stick, Recorded Stick\n"), std::string::npos);
  EXPECT_NE(written.find("joystick 0 axis x 20000\n"), std::string::npos);
  EXPECT_NE(written.find("button left 1\n"), std::string::npos);
  EXPECT_NE(written.find("\nend 40\n"), std::string::npos);

  // The replay has no devices of its own: the joystick is gone, and
  // whatever the keyboard does now is ignored.
  const InputScript script = parse(written);
  ASSERT_TRUE(script.problems.empty()) << script.problems.front();
  seed_random(script.seed);
  engine().input->start_replay(script);
  test_push_key(203, true);
  LittleGame game;
  for (int f = 0; f < kFrames; ++f) EXPECT_EQ(game.frame(), recorded[f]) << "frame " << f;
  engine().input->stop_session();
  test_push_key(203, false);
  show_screen();
}

TEST_F(RecordReplay, ReplayHoldsTheRecordStillBetweenFrames) {
  using platform::test_push_key;
  engine().input->start_replay(parse("frame 1 down 57\nframe 1 mouse 30 40\nframe 2 up 57\n"));
  show_screen();  // frame 0
  EXPECT_EQ(key_state(57), 0);
  test_push_key(57, true);  // the real keyboard has no say
  EXPECT_EQ(key_state(57), 0);
  show_screen();  // frame 1
  EXPECT_EQ(key_state(57), 1);
  double x, y, left, right;
  mouse_state(x, y, left, right);
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 40);
  show_screen();  // frame 2
  EXPECT_EQ(key_state(57), 0);
  EXPECT_EQ(engine().input->frame(), 3);
  engine().input->stop_session();
  // The devices feed the record again.
  EXPECT_EQ(key_state(57), 1);
  test_push_key(57, false);
  EXPECT_EQ(key_state(57), 0);
}

// ----------------------------------------------------- whole program runs ---

struct ProbeRun {
  int status = -1;
  std::string out;
};

ProbeRun run_probe(const std::string& arguments) {
  ProbeRun r;
  const std::string command = std::string("'") + QUARVEL_REPLAY_PROBE + "' " + arguments + " 2>&1";
  FILE* p = popen(command.c_str(), "r");
  if (!p) return r;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) r.out.append(buffer, n);
  const int raw = pclose(p);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

// The frame and space lines of a probe's output.
std::vector<std::string> frame_lines(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("frame ", 0) == 0 || line.rfind("space ", 0) == 0) lines.push_back(line);
  }
  return lines;
}

TEST(RecordReplayProgram, RecordedRunReplaysTheSameFrames) {
  const std::string path = temp_dir() + "/probe-run.txt";
  const ProbeRun recorded = run_probe("--frames 40 --act --seed 99 --record '" + path + "'");
  ASSERT_EQ(recorded.status, 0) << recorded.out;
  const std::vector<std::string> first = frame_lines(recorded.out);
  ASSERT_EQ(first.size(), 41u) << recorded.out;  // 40 frames and the space line
  EXPECT_NE(std::find(first.begin(), first.end(), "space 16"), first.end());
  const std::string written = read_file(path);
  EXPECT_EQ(written.rfind("quarvel-input 1\nseed 99\n", 0), 0u) << written;
  EXPECT_NE(written.find("frame 16 down 57\n"), std::string::npos) << written;

  const ProbeRun replayed = run_probe("--frames 40 --replay '" + path + "'");
  ASSERT_EQ(replayed.status, 0) << replayed.out;
  EXPECT_EQ(frame_lines(replayed.out), first);

  // Another seed draws other frames.
  const ProbeRun other = run_probe("--frames 40 --act --seed 100");
  ASSERT_EQ(other.status, 0) << other.out;
  EXPECT_NE(frame_lines(other.out), first);
}

TEST(RecordReplayProgram, HandWrittenReplayPressesAKeyOnTheChosenFrame) {
  const std::string path = temp_dir() + "/by-hand.txt";
  std::ofstream(path) << "# Space on frame 30, for one frame\nseed 3\nframe 30 down 57\nframe 31 up 57\n";
  const ProbeRun run = run_probe("--frames 40 --replay '" + path + "'");
  ASSERT_EQ(run.status, 0) << run.out;
  const std::vector<std::string> lines = frame_lines(run.out);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "space 30"), lines.end()) << run.out;
  // The same file gives the same frames every time.
  EXPECT_EQ(frame_lines(run_probe("--frames 40 --replay '" + path + "'").out), lines);
}

TEST(RecordReplayProgram, FastReplaysShowTheSameFramesOnAClockOfTheirOwnAndCanEndThemselves) {
  const std::string path = temp_dir() + "/fast.txt";
  // "end 31": 31 frame steps, start-up's and the game's 30 frames.
  std::ofstream(path) << "seed 7\nframe 10 down 205\nframe 20 up 205\nframe 25 down 57\nframe 26 up 57\nend 31\n";
  const ProbeRun real = run_probe("--frames 30 --replay '" + path + "'");
  ASSERT_EQ(real.status, 0) << real.out;
  // Asked for far more frames than the replay holds: --quit-at-end ends the
  // run after the replay's 30, with the same frames.
  const ProbeRun fast = run_probe("--frames 100000 --clock --fast --quit-at-end --replay '" + path + "'");
  ASSERT_EQ(fast.status, 0) << fast.out;
  EXPECT_EQ(frame_lines(fast.out), frame_lines(real.out));
  // Every frame lasted exactly one interval of the probe's 120 frames a
  // second by the runtime's clock.
  std::istringstream in(fast.out);
  int durations = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("duration ", 0) != 0) continue;
    ++durations;
    if (durations > 1) {
      EXPECT_EQ(line, "duration 8.333333") << durations;
    }
  }
  EXPECT_EQ(durations, 30);
  // Both need a replay.
  for (const char* option : {"--fast", "--quit-at-end"}) {
    const ProbeRun alone = run_probe(std::string("--frames 3 ") + option);
    EXPECT_EQ(alone.status, 2) << option;
    EXPECT_NE(alone.out.find("needs --replay"), std::string::npos) << alone.out;
  }
}

TEST(RecordReplayProgram, ReplayFileThatCannotBeReadStopsTheRun) {
  const ProbeRun run = run_probe("--frames 5 --replay '" + temp_dir() + "/missing.txt'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("cannot read the replay file"), std::string::npos) << run.out;
  EXPECT_TRUE(frame_lines(run.out).empty());
}

TEST(RecordReplayProgram, UnreadableReplayLinesAreReported) {
  const std::string path = temp_dir() + "/odd.txt";
  std::ofstream(path) << "seed 1\nframe 2 jump 3\n";
  const ProbeRun run = run_probe("--frames 3 --replay '" + path + "'");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(read_file(report_path()).find("Replay " + path + ", line 2: unknown change 'jump'\r\n"),
            std::string::npos)
      << read_file(report_path());
}

}  // namespace
}  // namespace quarvel_test
