#!/usr/bin/env bash
# What an idle game costs in a real window: the Stone Swarm title screen
# under Xvfb (Mesa's software rasteriser), process CPU time (every thread:
# the game, the rasteriser's threads, sound) over a stretch of the title
# screen, as a percentage of one core, at scale 1 and at the default scale.
# Each scale is measured REPETITIONS times, the scales taking turns; the
# median is reported with every run beside it (this machine's speed drifts
# by a few points between runs).
#
#   scripts/bench-title.sh [BUILD_DIR] [SECONDS] [REPETITIONS]   (default: build-release, 10, 3)
#
# Needs the game built (README, "Benchmarks"), xvfb-run and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
seconds=${2:-10}
game="$build/game/stoneswarm"
if [ ! -x "$game" ]; then
  echo "bench-title.sh: $game not built (cmake --build $build --target stoneswarm)" >&2
  exit 2
fi

# One run: the game at the given scale ("" for the default), measured from
# 13 s on (after the logo and the fade into the title screen).
measure() {
  local scale=$1
  local args=()
  [ -n "$scale" ] && args=(--scale "$scale")
  (
    cd "$(dirname "$game")"
    export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null QUARVEL_NO_DIALOGS=1
    ./stoneswarm "${args[@]}" >/dev/null 2>&1 &
    pid=$!
    sleep 13
    t0=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    w0=$(date +%s.%N)
    sleep "$seconds"
    t1=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    w1=$(date +%s.%N)
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    python3 -c "print('%.1f' % (100.0 * ($t1 - $t0) / $(getconf CLK_TCK) / ($w1 - $w0)))"
  )
}

# Under the X server: one measurement (this script calls itself there).
if [ "${QUARVEL_BENCH_TITLE_SCALE+set}" = set ]; then
  measure "$QUARVEL_BENCH_TITLE_SCALE"
  exit 0
fi
repetitions=${3:-3}
declare -A runs
for ((i = 0; i < repetitions; i++)); do
  for scale in 1 ""; do
    pct=$(QUARVEL_BENCH_TITLE_SCALE=$scale xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$build" "$seconds")
    runs[${scale:-default}]+="$pct "
  done
done
for scale in 1 default; do
  python3 - "$scale" ${runs[$scale]} <<'PY'
import statistics, sys
scale, runs = sys.argv[1], [float(r) for r in sys.argv[2:]]
print("title screen, scale %s: %.1f %% of a core (process), median of %d runs: %s"
      % (scale, statistics.median(runs), len(runs), " / ".join("%.1f" % r for r in runs)))
PY
done
