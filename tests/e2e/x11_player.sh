#!/usr/bin/env bash
# The program as a player meets it, on a real X server (Xvfb) under a real
# window manager (Openbox), driven by xdotool: --help, --version and bad
# option values from a terminal; no display; quick key taps and clicks;
# fullscreen by option, by Alt+Enter and by the window manager's request; a scale too large for the desktop;
# the window's icon; a quiet pause that keeps the window painted; a quick
# tap of Return on the title screen.
#
# usage (under xvfb-run, screen 1280x1024):
#   x11_player.sh <stoneswarm> <x11_input_probe> <x11_close_window>
set -u

if [ $# -ne 3 ] || [ ! -x "$1" ] || [ ! -x "$2" ] || [ ! -x "$3" ]; then
  echo "usage: $0 <stoneswarm> <x11_input_probe> <x11_close_window>" >&2
  exit 2
fi
GAME=$(realpath "$1")
PROBE=$(realpath "$2")
HELPER=$(realpath "$3")
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: run this under xvfb-run" >&2; exit 2; }
for tool in xdotool openbox xprop ffmpeg; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 2; }
done

export QUARVEL_NO_DIALOGS=1
unset SDL_VIDEODRIVER QUARVEL_SCALE WAYLAND_DISPLAY
export SDL_AUDIODRIVER=dummy

WORK=$(mktemp -d "${TMPDIR:-/tmp}/stoneswarm-player.XXXXXX") || exit 2
export TMPDIR=$WORK
PIDS=()
PASSED=0
FAILED=0
WM_PID=

cleanup() {
  local pid
  timeout 5 xdotool keyup Alt_L Return 2>/dev/null
  for pid in "${PIDS[@]}"; do
    kill -KILL "$pid" 2>/dev/null
  done
  [ -n "$WM_PID" ] && kill -TERM "$WM_PID" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

INIT_TIMEOUT=30
X_TIMEOUT=20
CHANGE_TIMEOUT=15

# ---- the window manager ------------------------------------------------------------
openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
WM_PID=$!
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  sleep 0.1
done
if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; then
  echo "FAIL: Openbox did not start"
  show_file openbox "$WORK/openbox.log"
  exit 1
fi

# start <run name> <program> [VAR=value ...] [-- args]: see start_program.
start() { start_program "$@"; }

stop() {
  alive "$PID" && kill -KILL "$PID" 2>/dev/null
  wait "$PID" 2>/dev/null
}

activate() {  # activate <label>: the window gets the focus through the WM
  timeout "$X_TIMEOUT" xdotool windowactivate --sync "$WIN" 2>/dev/null ||
    timeout "$X_TIMEOUT" xdotool windowfocus --sync "$WIN" 2>/dev/null || { fail "$1: no focus"; return 1; }
  sleep 0.3
}

# wait_exit <label> <expected code>: the process must end by itself.
wait_exit() {
  local deadline=$(($(now_us) + CHANGE_TIMEOUT * 1000000)) rc
  while alive "$PID" && [ "$(now_us)" -lt "$deadline" ]; do sleep 0.05; done
  if alive "$PID"; then
    fail "$1: still running ${CHANGE_TIMEOUT}s later"
    stop
    return 1
  fi
  wait "$PID"
  rc=$?
  if [ "$rc" = "$2" ]; then ok "$1: exit code $rc"; else fail "$1: exit code $rc, expected $2"; show_file stderr "$RUN_DIR/stderr"; return 1; fi
}

geometry() {  # sets W and H of the game window (client area)
  local WIDTH='' HEIGHT='' X='' Y=''
  eval "$(timeout 5 xdotool getwindowgeometry --shell "$WIN" 2>/dev/null | grep -E '^(WIDTH|HEIGHT|X|Y)=[0-9-]+$')"
  W=${WIDTH:-0}
  H=${HEIGHT:-0}
  WX=${X:-0}
  WY=${Y:-0}
}

# expect_size <label> <w> <h>: polls until the window has that size.
expect_size() {
  local deadline=$(($(now_us) + CHANGE_TIMEOUT * 1000000))
  while :; do
    geometry
    [ "$W" = "$2" ] && [ "$H" = "$3" ] && { ok "$1: ${2}x${3}"; return 0; }
    [ "$(now_us)" -ge "$deadline" ] && { fail "$1: window ${W}x${H}, expected ${2}x${3}"; return 1; }
    sleep 0.1
  done
}

lines_of() { grep -c '' "$1" 2>/dev/null || echo 0; }

# ---- 1. From a terminal: --help, --version, bad values ------------------------------
run_terminal() {
  local dir="$WORK/terminal" rc
  mkdir -p "$dir"
  timeout 20 "$GAME" --help >"$dir/help" 2>"$dir/help.err" </dev/null
  rc=$?
  [ "$rc" = 0 ] && ok "--help: exit code 0" || fail "--help: exit code $rc"
  local word missing=''
  for word in --scale --record --replay --seed --fullscreen --window --help --version \
              QUARVEL_SCALE QUARVEL_NO_DIALOGS TMPDIR SDL_VIDEODRIVER Alt+Enter; do
    grep -q -- "$word" "$dir/help" || missing+=" $word"
  done
  [ -z "$missing" ] && ok "--help names every option and variable" || fail "--help lacks:$missing"
  grep -q "Init OK" "$dir/help" && fail "--help started the game" || ok "--help opens no window"
  timeout 20 "$GAME" --version >"$dir/version" 2>&1 </dev/null
  rc=$?
  if [ "$rc" = 0 ] && [ "$(lines_of "$dir/version")" = 1 ] && grep -q "^stoneswarm .*[0-9]\.[0-9]" "$dir/version"; then
    ok "--version: one line, exit code 0"
  else
    fail "--version: exit code $rc"; show_file version "$dir/version"
  fi
  local -a bad
  local i=0
  for args in "--replay" "--seed abc" "--scale 0" "--scale" "--record=" "--scale=-3"; do
    read -r -a bad <<<"$args"
    timeout 20 "$GAME" "${bad[@]}" >"$dir/bad$i.out" 2>"$dir/bad$i.err" </dev/null
    rc=$?
    if [ "$rc" = 2 ] && [ "$(lines_of "$dir/bad$i.err")" = 1 ] && ! grep -q "Init OK" "$dir/bad$i.out"; then
      ok "'$args': one line on stderr, exit code 2"
    else
      fail "'$args': exit code $rc"; show_file stderr "$dir/bad$i.err"
    fi
    i=$((i + 1))
  done
}

# ---- 2. No display --------------------------------------------------------------------
run_no_display() {
  local dir="$WORK/nodisplay" rc
  mkdir -p "$dir"
  env -u DISPLAY timeout 30 "$GAME" >"$dir/out" 2>"$dir/err" </dev/null
  rc=$?
  if [ "$rc" = 1 ] && [ "$(lines_of "$dir/err")" = 1 ] && grep -qi "display" "$dir/err" && ! grep -q "Init OK" "$dir/out"; then
    ok "no DISPLAY: '$(cat "$dir/err")', exit code 1"
  else
    fail "no DISPLAY: exit code $rc"; show_file stdout "$dir/out"; show_file stderr "$dir/err"
  fi
  DISPLAY=:97 timeout 30 "$GAME" >"$dir/out2" 2>"$dir/err2" </dev/null
  rc=$?
  if [ "$rc" = 1 ] && grep -q ":97" "$dir/err2"; then
    ok "unreachable display: '$(cat "$dir/err2")', exit code 1"
  else
    fail "unreachable display: exit code $rc"; show_file stderr "$dir/err2"
  fi
}

# ---- 3. Quick taps, clicks and typing -------------------------------------------------
run_taps() {
  start taps "$PROBE" -- --scale 2 || { stop; return; }
  activate taps || { stop; return; }
  timeout 5 xdotool mousemove --window "$WIN" 100 100
  sleep 0.3
  # xdotool sends each press and its release back to back.
  timeout 20 xdotool key --delay 60 Return Return Return Return Return Return Return Return Return Return
  timeout 20 xdotool click --repeat 5 --delay 60 1
  timeout 20 xdotool type --delay 60 hello
  timeout 5 xdotool key q
  wait_exit "probe ends on Q" 0
  local want="presses=10 edges=10 clicks=5 click_edges=5 typed=||||||||||helloq fullscreen=0"
  if grep -qx "$want" "$RUN_DIR/stdout"; then
    ok "10 quick taps of Return, 5 quick clicks and 'hello' all counted"
  else
    fail "quick input: expected '$want'"; show_file stdout "$RUN_DIR/stdout"
  fi
}

# ---- 4. Fullscreen: option, Alt+Enter, --window ---------------------------------------
run_fullscreen() {
  start fullscreen "$PROBE" -- --scale 2 --fullscreen || { stop; return; }
  expect_size "--fullscreen" 1280 1024
  activate fullscreen || { stop; return; }
  timeout 5 xdotool key alt+Return
  expect_size "Alt+Enter back to the window" 640 480
  sleep 0.3
  timeout 5 xdotool key alt+Return
  expect_size "Alt+Enter to fullscreen again" 1280 1024
  sleep 0.3
  timeout 5 xdotool key q
  wait_exit "fullscreen probe" 0
  grep -q "presses=0 .* fullscreen=1" "$RUN_DIR/stdout" && ok "Alt+Enter's Return is not the game's" ||
    { fail "Alt+Enter reached the game"; show_file stdout "$RUN_DIR/stdout"; }

  start window "$PROBE" -- --scale 2 --window || { stop; return; }
  expect_size "--window" 640 480
  # The window manager's own fullscreen request (its menu or key binding).
  activate "wm request" || { stop; return; }
  "$HELPER" fullscreen "$WIN" 1 || fail "fullscreen request could not be sent"
  expect_size "the window manager's fullscreen request" 1280 1024
  sleep 1
  "$HELPER" fullscreen "$WIN" 0 || fail "fullscreen request could not be sent"
  expect_size "the window manager's request to leave fullscreen" 640 480
  stop
}

# ---- 5. A scale too large for the desktop ---------------------------------------------
run_scale() {
  local s
  for s in 5 99; do
    start "scale$s" "$PROBE" -- --scale "$s" || { stop; continue; }
    expect_size "--scale $s on 1280x1024" 1280 960
    if [ "$(lines_of "$RUN_DIR/stderr")" = 1 ] && grep -q "scale $s does not fit.*using 4" "$RUN_DIR/stderr"; then
      ok "--scale $s: '$(cat "$RUN_DIR/stderr")'"
    else
      fail "--scale $s: no word on stderr"; show_file stderr "$RUN_DIR/stderr"
    fi
    stop
  done
}

# capture <file>: the game window's client area as raw RGB.
capture() {
  geometry
  ffmpeg -loglevel error -y -f x11grab -video_size "${W}x${H}" -i "${DISPLAY}+${WX},${WY}" -frames:v 1 \
    -f rawvideo -pix_fmt rgb24 "$1" 2>/dev/null
}

# silent_for <label> <file> <seconds>: the sound written meanwhile is silence.
audio_between() {  # audio_between <file> <seconds>: bytes that are not zero
  local before after
  before=$(stat -c %s "$1")
  sleep "$2"
  after=$(stat -c %s "$1")
  tail -c +$((before + 1)) "$1" | head -c $((after - before)) | tr -d '\000' | wc -c
}

# ---- 6, 7. The game: icon, pause, repaint, a quick tap on the title -------------------
run_game() {
  mkdir -p "$WORK/game"
  cp "$(dirname "$GAME")"/* "$WORK/game/" 2>/dev/null
  printf '0\r\n' >"$WORK/game/hc.txt"
  start game "$WORK/game/stoneswarm" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/audio.raw" \
    QUARVEL_TRACE="$WORK/trace.txt" -- --scale 2 || { stop; return; }
  local audio="$WORK/audio.raw"

  if timeout 5 xprop -id "$WIN" _NET_WM_ICON 2>/dev/null | grep -q "Icon (128 x 128)"; then
    ok "the window shows the game's 128x128 icon"
  else
    fail "the window has no icon of the game"
  fi

  activate game || { stop; return; }
  local deadline=$(($(now_us) + 40 * 1000000))
  until grep -q "play_music music.mp3" "$WORK/trace.txt" 2>/dev/null; do
    [ "$(now_us)" -ge "$deadline" ] && { fail "no title screen within 40s"; stop; return; }
    sleep 0.2
  done
  sleep 1
  local loud
  loud=$(audio_between "$audio" 1)
  [ "$loud" -gt 1000 ] && ok "the title music plays" || { fail "no music on the title ($loud)"; stop; return; }

  # Another window takes the focus: the game pauses and goes quiet.
  "$HELPER" steal-focus 60 >"$WORK/thief" 2>&1 </dev/null &
  local thief_pid=$!
  PIDS+=("$thief_pid")
  deadline=$(($(now_us) + X_TIMEOUT * 1000000))
  until grep -q "^focused " "$WORK/thief"; do
    [ "$(now_us)" -ge "$deadline" ] && { fail "the helper got no focus"; stop; return; }
    sleep 0.05
  done
  local thief
  thief=$(awk '/^focused /{print $2}' "$WORK/thief")
  sleep 0.5
  [ "$(timeout 5 xdotool getwindowname "$WIN")" = "Stone Swarm <pause>" ] && ok "paused: caption" || fail "no pause caption"
  sleep 0.3
  loud=$(audio_between "$audio" 1)
  [ "$loud" = 0 ] && ok "paused: the music is silent" || fail "paused: the music plays on ($loud bytes)"

  # A window dragged across the paused game leaves no image behind.
  capture "$WORK/before.rgb"
  geometry
  local gx=$WX gy=$WY
  timeout 5 xdotool windowmove "$thief" $((gx + 100)) $((gy + 80))
  sleep 0.4
  timeout 5 xdotool windowmove "$thief" $((gx + 300)) $((gy + 200))
  sleep 0.4
  timeout 5 xdotool windowmove "$thief" 20 20
  sleep 0.6
  capture "$WORK/after.rgb"
  if [ -s "$WORK/before.rgb" ] && cmp -s "$WORK/before.rgb" "$WORK/after.rgb"; then
    ok "paused: the window is repainted where another window passed"
  else
    fail "paused: the window keeps what passed over it"
  fi

  kill -TERM "$thief_pid" 2>/dev/null
  wait "$thief_pid" 2>/dev/null
  activate "focus back" || { stop; return; }
  deadline=$(($(now_us) + CHANGE_TIMEOUT * 1000000))
  until [ "$(timeout 5 xdotool getwindowname "$WIN")" = "Stone Swarm" ]; do
    [ "$(now_us)" -ge "$deadline" ] && { fail "no resume"; stop; return; }
    sleep 0.1
  done
  sleep 0.5
  loud=$(audio_between "$audio" 1)
  [ "$loud" -gt 1000 ] && ok "resumed: the music plays again" || fail "resumed: still silent"

  # A quick tap of Return starts a game.
  local clicks_before
  clicks_before=$(grep -c "play_sound" "$WORK/trace.txt")
  timeout 5 xdotool key Return
  sleep 1.5
  if [ "$(grep -c "play_sound" "$WORK/trace.txt")" -gt "$clicks_before" ]; then
    ok "a quick tap of Return on the title starts a game"
  else
    fail "the quick tap of Return was lost"
  fi
  stop
}

[ -n "${ONLY:-}" ] || run_terminal
[ -n "${ONLY:-}" ] || run_no_display
[ -n "${ONLY:-}" ] || run_taps
run_fullscreen
[ -n "${ONLY:-}" ] || run_scale
[ -n "${ONLY:-}" ] || run_game

echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
