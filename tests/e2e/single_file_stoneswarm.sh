#!/usr/bin/env bash
# The single-file build of Stone Swarm (assets appended as a media pack),
# copied alone into an empty directory, runs headless with no "hc.txt",
# quits with Right Shift on the title, and shows the same logo frame as the
# game in its directory of assets (without its assets the frame is black).
#
# usage: single_file_stoneswarm.sh SINGLE_FILE_GAME DIRECTORY_GAME
set -u
if [ $# -ne 2 ] || [ ! -x "$1" ] || [ ! -x "$2" ]; then
  echo "usage: $0 SINGLE_FILE_GAME DIRECTORY_GAME" >&2
  exit 2
fi
single=$(realpath "$1") reference=$(realpath "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/stoneswarm-single.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy QUARVEL_NO_DIALOGS=1 QUARVEL_SAVE_EVERY=100
unset DISPLAY WAYLAND_DISPLAY QUARVEL_SCALE

fail() { echo "FAIL: $*"; exit 1; }

# The title comes at about frame 580; Right Shift there ends the game.
printf '%s\n' "quarvel-input 1" "frame 700 down 54" >"$work/quit.txt"

# run NAME GAME: in its own temporary directory, started from an empty one.
run() {
  local name=$1 game=$2
  mkdir -p "$work/$name/frames" "$work/$name/tmp" "$work/$name/cwd"
  (cd "$work/$name/cwd" && TMPDIR="$work/$name/tmp" QUARVEL_SAVE_FRAMES="$work/$name/frames" \
    exec timeout 60 "$game" --replay "$work/quit.txt") >"$work/$name/out" 2>"$work/$name/err" </dev/null
  echo $? >"$work/$name/rc"
}

mkdir -p "$work/alone"
cp "$single" "$work/alone/stoneswarm"
run single "$work/alone/stoneswarm" &
single_job=$!
run reference "$reference" &
reference_job=$!
wait "$single_job" "$reference_job"

rc=$(cat "$work/single/rc")
[ "$rc" = 0 ] || { sed 's/^/  | /' "$work/single/err" | head; fail "exit code $rc, expected 0"; }
grep -qx "Init OK" "$work/single/out" || fail "no \"Init OK\""
echo "ok:   started alone in an empty directory without hc.txt, Right Shift on the title: exit code 0"
[ "$(ls "$work/alone")" = stoneswarm ] || fail "files left beside the game: $(ls "$work/alone" | tr '\n' ' ')"
echo "ok:   nothing written beside the game"

[ "$(cat "$work/reference/rc")" = 0 ] || fail "the directory game: exit code $(cat "$work/reference/rc")"
logo=frame-000100.png
[ -s "$work/single/frames/$logo" ] || fail "$logo was not saved"
cmp -s "$work/single/frames/$logo" "$work/reference/frames/$logo" ||
  fail "the logo frame differs from the directory game's: the packed assets were not used"
echo "ok:   the logo frame equals the directory game's"
[ -s "$work/single/frames/frame-000700.png" ] || fail "the title frame 700 was not saved"
echo "PASS"
