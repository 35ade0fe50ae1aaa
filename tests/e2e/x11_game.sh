#!/usr/bin/env bash
# Stone Swarm on a real X server (Xvfb) with real X key events: wait for the
# title, start a game with Return, take a screenshot of the window during
# play, quit with Right Shift (exit code 0).
# usage (under xvfb-run): x11_game.sh <path to stoneswarm> [screenshot.png]
set -u
GAME_DIR=$(dirname "$(realpath "$1")")
SHOT=${2:-}
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: run this under xvfb-run" >&2; exit 2; }
export SDL_AUDIODRIVER=dummy QUARVEL_NO_DIALOGS=1
unset SDL_VIDEODRIVER QUARVEL_SCALE WAYLAND_DISPLAY
work=$(mktemp -d)
export TMPDIR=$work
pid=""
cleanup() {
  timeout 5 xdotool keyup Return Shift_R 2>/dev/null
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir "$work/game"
cp "$GAME_DIR"/stoneswarm "$GAME_DIR"/*.bmp "$GAME_DIR"/*.wav "$GAME_DIR"/*.mp3 "$work/game/"
printf '0\r\n' > "$work/game/hc.txt"
"$work/game/stoneswarm" --scale 2 > "$work/out.txt" 2>&1 &
pid=$!
for _ in $(seq 100); do grep -q "Init OK" "$work/out.txt" && break; sleep 0.1; done
grep -q "Init OK" "$work/out.txt" || fail "no Init OK"
win=$(timeout 10 xdotool search --sync --pid "$pid" --class Quarvel | head -n 1)
[ -n "$win" ] || fail "no window"
timeout 10 xdotool windowfocus --sync "$win" || fail "cannot focus the window"

# The logo takes about ten seconds (two 1.5 s fades and 400 frames).
sleep 11
timeout 5 xdotool keydown Return; sleep 0.2; timeout 5 xdotool keyup Return
# The get-ready screen lasts 200 frames; then play.
sleep 4.5
kill -0 "$pid" 2>/dev/null || fail "the game ended early"
if [ -n "$SHOT" ]; then
  eval "$(xdotool getwindowgeometry --shell "$win")"
  ffmpeg -loglevel error -y -f x11grab -video_size "${WIDTH}x${HEIGHT}" -i "${DISPLAY}+${X},${Y}" \
    -frames:v 1 "$SHOT" || fail "no screenshot"
  [ "$(stat -c %s "$SHOT")" -gt 20000 ] || fail "the screenshot is (nearly) empty"
fi
timeout 5 xdotool keydown Shift_R; sleep 0.2; timeout 5 xdotool keyup Shift_R
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "Right Shift did not end the game"
wait "$pid"; code=$?
pid=""
[ "$code" -eq 0 ] || fail "exit code $code"
echo "PASS"
