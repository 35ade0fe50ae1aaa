#!/usr/bin/env bash
# Stone Swarm end to end, headless, driven by replay files: logo, title,
# get-ready, play, back to the title with F1 (the highscore is saved), quit
# with Right Shift; a run without "hc.txt" starts with highscore 0 and
# creates the file when it saves; an unwritable directory costs only the save.
# Args: the stoneswarm executable (its assets lie beside it).
set -euo pipefail
game_dir=$(dirname "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy QUARVEL_NO_DIALOGS=1 TMPDIR="$work"

fail() { echo "FAIL: $*"; exit 1; }

install_game() {
  rm -rf "$work/game" && mkdir "$work/game"
  cp "$game_dir"/stoneswarm "$game_dir"/*.bmp "$game_dir"/*.wav "$game_dir"/*.mp3 "$work/game/"
  printf '0\r\n' > "$work/game/hc.txt"
}

# run NAME REPLAY-LINES...: runs the game with the replay, saving every 25th frame.
run() {
  local name=$1; shift
  mkdir -p "$work/$name"
  printf '%s\n' "quarvel-input 1" "seed 5" "$@" > "$work/$name.txt"
  (cd / && QUARVEL_SAVE_FRAMES="$work/$name" QUARVEL_SAVE_EVERY=25 \
    timeout 120 "$work/game/stoneswarm" --fast --replay "$work/$name.txt" > "$work/$name.out" 2>&1) \
    || fail "$name: exit code $?"
  grep -q "Init OK" "$work/$name.out" || fail "$name: no Init OK"
}

# The logo takes about 580 frames (two 1.5 s fades and 400 frames); Return
# at 700 starts a game, whose get-ready screen runs 200 frames.
install_game
run back_to_title "frame 700 down 28" "frame 702 up 28" \
  "frame 1000 down 59" "frame 1002 up 59" "frame 1100 down 54"
score=$(tr -d '\r\n' < "$work/game/hc.txt")
[[ "$score" =~ ^[0-9]+$ ]] || fail "hc.txt holds '$score'"
(( score > 50 && score < 200 )) || fail "highscore $score is not the run's points"
[ "$(tail -c 2 "$work/game/hc.txt" | od -An -tx1 | tr -d ' ')" = "0d0a" ] || fail "hc.txt line end"
[ -f "$work/back_to_title/frame-001000.png" ] || fail "frames were not saved"
echo "back to the title: highscore $score saved"

install_game
run quit_in_play "frame 700 down 28" "frame 702 up 28" "frame 1000 down 54"
[ "$(tr -d '\r\n' < "$work/game/hc.txt")" = "0" ] || fail "Right Shift in play saved the highscore"
last=$(ls "$work/quit_in_play" | tail -n 1)
[ "$last" = "frame-001000.png" ] || fail "quit in play ended at $last"
echo "Right Shift in play: ended at once, nothing saved"

install_game
rm "$work/game/hc.txt"
run no_highscore_file "frame 700 down 28" "frame 702 up 28" \
  "frame 1000 down 15" "frame 1002 up 15" "frame 1100 down 54"
score=$(tr -d '\r\n' < "$work/game/hc.txt")
(( score > 50 )) || fail "a missing hc.txt was not created with the new highscore"
[ ! -e "$work/game/hc.txt.new" ] || fail "temporary highscore file left behind"
echo "missing hc.txt: started at 0, Tab back to the title saved $score"

# A save that cannot be written (here a directory stands where the new file
# would go, which stops root as well) costs the save, not the game.
install_game
mkdir "$work/game/hc.txt.new"
run unwritable "frame 700 down 28" "frame 702 up 28" \
  "frame 1000 down 59" "frame 1002 up 59" "frame 1100 down 54"
[ "$(tr -d '\r\n' < "$work/game/hc.txt")" = "0" ] || fail "hc.txt changed although the save failed"
grep -q "Highscore not saved" "$work/ErrorLog.txt" || fail "no report line for the failed save"
[ -f "$work/unwritable/frame-001100.png" ] || fail "the game did not go on after the failed save"
echo "unwritable highscore: the game went on without saving"
echo "PASS"
