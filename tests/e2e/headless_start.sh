#!/usr/bin/env bash
# Start-up and shut-down of the game on the offscreen video driver, without
# any X server: start-up message, exit codes, the report file in $TMPDIR, the
# working directory, and the one-line failure when no window can be made.
# Also prints the median time from exec to "Init OK" (informational only).
#
# usage: headless_start.sh <path to stoneswarm>
set -u

if [ $# -ne 1 ] || [ ! -x "$1" ]; then
  echo "usage: $0 <path to stoneswarm>" >&2
  exit 2
fi
GAME=$(realpath "$1")
GAME_DIR=$(dirname "$GAME")

export SDL_VIDEODRIVER=offscreen
export SDL_AUDIODRIVER=dummy
export QUARVEL_NO_DIALOGS=1
unset DISPLAY WAYLAND_DISPLAY QUARVEL_SCALE

WORK=$(mktemp -d "${TMPDIR:-/tmp}/stoneswarm-e2e.XXXXXX") || exit 2
PIDS=()
PASSED=0
FAILED=0

cleanup() {
  local pid
  for pid in "${PIDS[@]}"; do
    kill -KILL "$pid" 2>/dev/null
  done
  wait 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

# launch <working dir> <private TMPDIR> <stdout target> <command> [args...]
# Starts the game in the background with default SIGINT/SIGQUIT handling
# (a plain background job would inherit them ignored). Sets GAME_PID.
launch() {
  local cwd=$1 tmp=$2 out=$3
  shift 3
  (
    trap - INT QUIT
    cd "$cwd" || exit 125
    export TMPDIR=$tmp
    exec "$@"
  ) >"$out" 2>"$tmp/stderr" </dev/null &
  GAME_PID=$!
  PIDS+=("$GAME_PID")
}

# wait_for_init <pid> <stdout file> <seconds>: polls for the "Init OK" line
# and gives up early when the process is gone.
wait_for_init() {
  local pid=$1 file=$2 deadline=$(($(now_us) + $3 * 1000000))
  while [ "$(now_us)" -lt "$deadline" ]; do
    grep -qx "Init OK" "$file" 2>/dev/null && return 0
    alive "$pid" || break
    sleep 0.05
  done
  grep -qx "Init OK" "$file" 2>/dev/null
}

# wait_for_exit <pid> <seconds>: sets EXIT_RC to the exit status, or to
# "timeout" (after killing the process) when it is still running.
wait_for_exit() {
  local pid=$1 deadline=$(($(now_us) + $2 * 1000000))
  while alive "$pid" && [ "$(now_us)" -lt "$deadline" ]; do
    sleep 0.05
  done
  if alive "$pid"; then
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    EXIT_RC=timeout
    return 1
  fi
  wait "$pid"
  EXIT_RC=$?
  return 0
}

# new_tmp <name>: a private, empty TMPDIR for one run.
new_tmp() {
  mkdir -p "$WORK/$1/tmp" && echo "$WORK/$1/tmp"
}

INIT_TIMEOUT=30
EXIT_TIMEOUT=20

# --- Start-up from elsewhere, stale report, working directory, SIGTERM -------
# The game is started through a relative path from a directory that is not
# its own; a report file from an earlier run carries a marker line.
# LIBGL_ALWAYS_SOFTWARE pins Mesa to its software renderer, so the start-up
# must leave exactly the software-renderer notice in the fresh report.
check_start_and_sigterm() {
  local tmp elsewhere rel marker log cwd
  tmp=$(new_tmp sigterm)
  elsewhere="$WORK/sigterm/elsewhere"
  mkdir -p "$elsewhere"
  marker="stale report line $$-$RANDOM"
  printf '%s\r\n' "$marker" >"$tmp/ErrorLog.txt"
  rel=$(realpath --relative-to="$elsewhere" "$GAME")
  case "$rel" in */*) ;; *) rel="./$rel" ;; esac

  launch "$elsewhere" "$tmp" "$tmp/stdout" env LIBGL_ALWAYS_SOFTWARE=1 "$rel"
  local pid=$GAME_PID
  if ! wait_for_init "$pid" "$tmp/stdout" "$INIT_TIMEOUT"; then
    fail "started as $rel from $elsewhere: no \"Init OK\" within ${INIT_TIMEOUT}s"
    show_file stdout "$tmp/stdout"
    show_file stderr "$tmp/stderr"
    return
  fi
  ok "started as $rel from another directory: \"Init OK\" on stdout"

  cwd=$(readlink "/proc/$pid/cwd")
  if [ "$cwd" = "$GAME_DIR" ]; then
    ok "working directory is the executable's directory"
  else
    fail "working directory is '$cwd', expected '$GAME_DIR'"
  fi

  log="$tmp/ErrorLog.txt"
  if [ -e "$log" ] && grep -qF "$marker" "$log"; then
    fail "stale ErrorLog.txt in TMPDIR still holds its old line after start-up"
    show_file ErrorLog.txt "$log"
  elif [ "$(od -An -c "$log" 2>/dev/null | tr -s ' \n' ' ')" = " O p e n G L S o f t w a r e E m u l a t i o n \r \n " ]; then
    ok "stale ErrorLog.txt replaced by the software-renderer notice (CR LF)"
  else
    fail "ErrorLog.txt after start-up on the software renderer is not exactly 'OpenGL Software Emulation' CR LF"
    if [ -e "$log" ]; then od -c "$log" | head -5; else echo "  (no ErrorLog.txt)"; fi
  fi

  kill -TERM "$pid"
  wait_for_exit "$pid" "$EXIT_TIMEOUT"
  if [ "$EXIT_RC" = 0 ]; then
    ok "SIGTERM: exit code 0"
  else
    fail "SIGTERM: exit code $EXIT_RC, expected 0"
    show_file stderr "$tmp/stderr"
  fi
}

# --- SIGINT, started from / with an absolute path -------------------------------
check_sigint() {
  local tmp
  tmp=$(new_tmp sigint)
  launch / "$tmp" "$tmp/stdout" "$GAME"
  local pid=$GAME_PID
  if ! wait_for_init "$pid" "$tmp/stdout" "$INIT_TIMEOUT"; then
    fail "started from /: no \"Init OK\" within ${INIT_TIMEOUT}s"
    show_file stderr "$tmp/stderr"
    return
  fi
  kill -INT "$pid"
  wait_for_exit "$pid" "$EXIT_TIMEOUT"
  if [ "$EXIT_RC" = 0 ]; then
    ok "SIGINT: exit code 0"
  else
    fail "SIGINT: exit code $EXIT_RC, expected 0"
    show_file stderr "$tmp/stderr"
  fi
}

# --- No window possible: one line on stderr, exit code 1 -----------------------
check_no_video_driver() {
  local tmp lines newlines first
  tmp=$(new_tmp nodriver)
  launch "$WORK" "$tmp" "$tmp/stdout" env SDL_VIDEODRIVER=nosuchdriver "$GAME"
  wait_for_exit "$GAME_PID" "$EXIT_TIMEOUT"
  if [ "$EXIT_RC" = 1 ]; then
    ok "unknown video driver: exit code 1"
  else
    fail "unknown video driver: exit code $EXIT_RC, expected 1"
  fi
  # awk counts an unterminated last line too, wc -l only newlines: both are
  # 1 for exactly one complete line.
  lines=$(awk 'END { print NR }' "$tmp/stderr")
  newlines=$(wc -l <"$tmp/stderr")
  first=$(head -n 1 "$tmp/stderr")
  if [ "$lines" = 1 ] && [ "$newlines" = 1 ] && [[ "$first" == "stoneswarm: "?* ]]; then
    ok "unknown video driver: one stderr line: $first"
  else
    fail "unknown video driver: expected exactly one stderr line 'stoneswarm: <cause>', got $lines line(s)"
    show_file stderr "$tmp/stderr"
  fi
  if grep -q "Init OK" "$tmp/stdout"; then
    fail "unknown video driver: \"Init OK\" printed although start-up failed"
  fi
}

# --- No display at all (as over ssh): one line naming it, exit code 1 -----------
# SDL would fall back to a driver that shows nothing; only a driver asked for
# by name may be one.
check_no_display() {
  local tmp first
  tmp=$(new_tmp nodisplay)
  launch "$WORK" "$tmp" "$tmp/stdout" env -u SDL_VIDEODRIVER -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR "$GAME"
  wait_for_exit "$GAME_PID" "$EXIT_TIMEOUT"
  first=$(head -n 1 "$tmp/stderr")
  if [ "$EXIT_RC" = 1 ] && [ "$(awk 'END { print NR }' "$tmp/stderr")" = 1 ] &&
     [[ "$first" == "stoneswarm: "*"no display"* ]] && ! grep -q "Init OK" "$tmp/stdout"; then
    ok "no display: exit code 1, '$first'"
  else
    fail "no display: exit code $EXIT_RC, expected 1 and one line naming the missing display"
    show_file stdout "$tmp/stdout"
    show_file stderr "$tmp/stderr"
  fi
}

# --- Start-up time (informational) ---------------------------------------------
# Time from the fork that execs the game to the "Init OK" line, read through a
# FIFO so that no polling interval is added.
measure_startup() {
  local runs=11 i tmp t0 t1 line pid
  local -a times=()
  for ((i = 1; i <= runs; i++)); do
    tmp=$(new_tmp "time$i")
    mkfifo "$tmp/stdout.fifo"
    # Read-write open: does not block, and the game's write end never waits.
    exec 3<>"$tmp/stdout.fifo"
    t0=$(now_us)
    launch "$WORK" "$tmp" "$tmp/stdout.fifo" "$GAME"
    pid=$GAME_PID
    line=
    while IFS= read -r -t "$INIT_TIMEOUT" line <&3; do
      [ "$line" = "Init OK" ] && break
    done
    t1=$(now_us)
    if [ "$line" = "Init OK" ]; then
      times+=($(((t1 - t0) / 1000)))
    else
      fail "timing run $i: no \"Init OK\" within ${INIT_TIMEOUT}s"
      show_file stderr "$tmp/stderr"
    fi
    kill -TERM "$pid" 2>/dev/null
    wait_for_exit "$pid" "$EXIT_TIMEOUT"
    exec 3<&-
    if [ "$line" != "Init OK" ]; then
      break
    elif [ "$EXIT_RC" != 0 ]; then
      fail "timing run $i: exit code $EXIT_RC after SIGTERM, expected 0"
      break
    fi
  done
  if [ ${#times[@]} -gt 0 ]; then
    local sorted
    mapfile -t sorted < <(printf '%s\n' "${times[@]}" | sort -n)
    echo "info: start-up (exec to \"Init OK\") over ${#sorted[@]} runs:" \
      "median $((sorted[${#sorted[@]} / 2])) ms, min ${sorted[0]} ms, max ${sorted[-1]} ms"
  fi
}

check_start_and_sigterm
check_sigint
check_no_video_driver
check_no_display
measure_startup

echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
