#!/usr/bin/env bash
# Plays Stone Swarm headless from a replay file and keeps a few of the frames
# the game saves as docs/screenshots/*.png: logo, title, get-ready, play and
# game over. Run after a build (scripts/test.sh or scripts/play.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
game=build/game/stoneswarm
[ -x "$game" ] || { echo "build the game first (scripts/test.sh --quick)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/frames" "$work/game"
cp build/game/* "$work/game/" 2>/dev/null || true
printf '0\r\n' > "$work/game/hc.txt"
# Seed 5 puts rock 0 on a path the craft meets after the shield is down.
cat > "$work/run.txt" <<'RUN'
quarvel-input 1
seed 5
frame 700 down 28
frame 702 up 28
frame 1150 down 200
frame 1182 up 200
frame 1700 down 54
RUN
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy QUARVEL_NO_DIALOGS=1 TMPDIR="$work" \
  QUARVEL_SAVE_FRAMES="$work/frames" QUARVEL_SAVE_EVERY=10 \
  "$work/game/stoneswarm" --replay "$work/run.txt" >/dev/null
keep() { cp "$work/frames/frame-$(printf '%06d' "$1").png" "docs/screenshots/$2.png"; }
keep 200 logo
keep 650 title
keep 800 get-ready
keep 1130 play
keep 1300 game-over
keep 1450 game-over-zoom
ls docs/screenshots
