#!/usr/bin/env bash
# The game's window on a real X server (Xvfb, no window manager): class,
# caption, size, the ways out (Escape, Left Alt + F4, the close request) and
# the pause caption while another window has the focus.
#
# usage (under xvfb-run): x11_window.sh <path to stoneswarm> <path to x11_close_window>
set -u

if [ $# -ne 2 ] || [ ! -x "$1" ] || [ ! -x "$2" ]; then
  echo "usage: $0 <path to stoneswarm> <path to x11_close_window>" >&2
  exit 2
fi
GAME=$(realpath "$1")
HELPER=$(realpath "$2")
if [ -z "${DISPLAY:-}" ]; then
  echo "no DISPLAY: run this under xvfb-run" >&2
  exit 2
fi
command -v xdotool >/dev/null || { echo "xdotool is missing" >&2; exit 2; }

export SDL_AUDIODRIVER=dummy
export QUARVEL_NO_DIALOGS=1
unset SDL_VIDEODRIVER QUARVEL_SCALE WAYLAND_DISPLAY

WORK=$(mktemp -d "${TMPDIR:-/tmp}/stoneswarm-x11.XXXXXX") || exit 2
export TMPDIR=$WORK
PIDS=()
HELD_KEYS=()
PASSED=0
FAILED=0

cleanup() {
  local keys pid
  # A key left down on the server would stay down for every later client.
  for keys in "${HELD_KEYS[@]}"; do
    timeout 5 xdotool keyup "$keys" 2>/dev/null
  done
  for pid in "${PIDS[@]}"; do
    kill -KILL "$pid" 2>/dev/null
  done
  wait 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

INIT_TIMEOUT=30   # start-up (software GL on a loaded machine)
X_TIMEOUT=20      # window search, focus, helper
CHANGE_TIMEOUT=15 # caption changes, exits after a request

# start_game <run name> [VAR=value ...] [-- game args]: starts the game
# (start_program). Sets GAME_PID, WIN, RUN_DIR.
start_game() {
  local name=$1 status
  shift
  start_program "$name" "$GAME" "$@"
  status=$?
  GAME_PID=$PID
  return $status
}

# Ends a run's game process, whatever state it is in.
stop_game() {
  if alive "$GAME_PID"; then
    kill -KILL "$GAME_PID" 2>/dev/null
  fi
  wait "$GAME_PID" 2>/dev/null
}

# expect_exit_0 <label>: the game must end by itself with exit code 0.
expect_exit_0() {
  local label=$1 deadline=$(($(now_us) + CHANGE_TIMEOUT * 1000000)) rc
  while alive "$GAME_PID" && [ "$(now_us)" -lt "$deadline" ]; do
    sleep 0.05
  done
  if alive "$GAME_PID"; then
    fail "$label: the game was still running ${CHANGE_TIMEOUT}s later"
    stop_game
    return 1
  fi
  wait "$GAME_PID"
  rc=$?
  if [ "$rc" = 0 ]; then
    ok "$label: exit code 0"
  else
    fail "$label: exit code $rc, expected 0"
    show_file stderr "$RUN_DIR/stderr"
  fi
}

caption() {
  timeout 5 xdotool getwindowname "$WIN" 2>/dev/null
}

# expect_caption <label> <caption>: polls until the window shows the caption.
expect_caption() {
  local label=$1 want=$2 seen deadline=$(($(now_us) + CHANGE_TIMEOUT * 1000000))
  while :; do
    seen=$(caption)
    [ "$seen" = "$want" ] && break
    if [ "$(now_us)" -ge "$deadline" ]; then
      fail "$label: caption is '$seen', expected '$want'"
      return 1
    fi
    sleep 0.1
  done
  ok "$label: caption '$want'"
}

expect_size() {  # expect_size <label> <width> <height>
  local WIDTH='' HEIGHT='' geometry
  geometry=$(timeout 5 xdotool getwindowgeometry --shell "$WIN" 2>/dev/null)
  eval "$(grep -E '^(WIDTH|HEIGHT)=[0-9]+$' <<<"$geometry")"
  if [ "$WIDTH" = "$2" ] && [ "$HEIGHT" = "$3" ]; then
    ok "$1: window ${2}x${3}"
  else
    fail "$1: window ${WIDTH:-?}x${HEIGHT:-?}, expected ${2}x${3}"
  fi
}

focus_game() {  # focus_game <label>
  if timeout "$X_TIMEOUT" xdotool windowfocus --sync "$WIN"; then
    return 0
  fi
  fail "$1: could not give the game window the input focus"
  return 1
}

# hold_keys_until_exit <label> <keys>: holds the keys down (real key events
# through XTEST to the focused window) until the game ends, then lets go.
hold_keys_until_exit() {
  local label=$1 keys=$2
  HELD_KEYS+=("$keys")
  timeout 5 xdotool keydown "$keys"
  expect_exit_0 "$label"
  timeout 5 xdotool keyup "$keys"
  unset 'HELD_KEYS[-1]'
}

# start_thief <output file>: a window of the helper's takes the input focus
# (for at most a minute). Sets THIEF_PID; fails when it got no focus.
start_thief() {
  "$HELPER" steal-focus 60 >"$1" 2>&1 </dev/null &
  THIEF_PID=$!
  PIDS+=("$THIEF_PID")
  local deadline=$(($(now_us) + X_TIMEOUT * 1000000))
  until grep -q "^focused " "$1"; do
    if ! alive "$THIEF_PID" || [ "$(now_us)" -ge "$deadline" ]; then
      fail "the helper window did not get the input focus"
      show_file helper "$1"
      return 1
    fi
    sleep 0.05
  done
}

stop_thief() {
  kill -TERM "$THIEF_PID" 2>/dev/null
  wait "$THIEF_PID" 2>/dev/null
}

# --- Escape, with the size from --scale ----------------------------------------
run_escape() {
  start_game escape -- --scale 2 || { stop_game; return; }
  expect_caption "escape run" "Stone Swarm"
  expect_size "--scale 2" 640 480
  focus_game "escape run" || { stop_game; return; }
  expect_caption "escape run, focused" "Stone Swarm"
  hold_keys_until_exit "Escape" Escape
}

# --- Left Alt + F4, with the size from QUARVEL_SCALE ----------------------------
run_alt_f4() {
  start_game alt_f4 QUARVEL_SCALE=3 || { stop_game; return; }
  expect_size "QUARVEL_SCALE=3" 960 720
  focus_game "alt+F4 run" || { stop_game; return; }
  # F4 on its own is no way out. Nothing can be polled for here, so the key
  # is held for a number of frames and the process must still be there.
  HELD_KEYS+=(F4)
  timeout 5 xdotool keydown F4
  sleep 0.5
  if alive "$GAME_PID"; then
    ok "F4 without Alt keeps the game running"
  else
    fail "F4 without Alt ended the game"
  fi
  timeout 5 xdotool keyup F4
  unset 'HELD_KEYS[-1]'
  alive "$GAME_PID" || { stop_game; return; }
  hold_keys_until_exit "Left Alt + F4" Alt_L+F4
}

# --- The close request a window manager sends ------------------------------------
run_close() {
  start_game close || { stop_game; return; }
  focus_game "close run" || { stop_game; return; }
  if "$HELPER" close "$WIN"; then
    expect_exit_0 "WM_DELETE_WINDOW"
  else
    fail "close request could not be sent to window $WIN"
    stop_game
  fi
}

# --- Focus moves away and back; a close request while paused ----------------------
run_focus() {
  start_game focus || { stop_game; return; }
  focus_game "focus run" || { stop_game; return; }
  expect_caption "focused" "Stone Swarm"

  start_thief "$WORK/focus/thief1" || { stop_game; return; }
  expect_caption "focus on another window" "Stone Swarm <pause>"
  focus_game "focus back" && expect_caption "focus back" "Stone Swarm"
  stop_thief

  # Paused again, the game must still take a close request.
  start_thief "$WORK/focus/thief2" || { stop_game; return; }
  if expect_caption "focus away again" "Stone Swarm <pause>"; then
    if "$HELPER" close "$WIN"; then
      expect_exit_0 "WM_DELETE_WINDOW while paused"
    else
      fail "close request could not be sent to window $WIN"
    fi
  fi
  stop_thief
  stop_game
}

run_escape
run_alt_f4
run_close
run_focus

echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
