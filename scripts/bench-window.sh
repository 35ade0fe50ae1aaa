#!/usr/bin/env bash
# Sprite throughput as a game in a window meets it: the runtime and SDL's
# own OpenGL renderer each drawing into a shown window at scale 1 on a real
# X server (Xvfb, Mesa's software rasteriser), no frame wait, no read-back.
#
#   scripts/bench-window.sh [BUILD_DIR [BENCHMARK OPTIONS]]   (default: build-release;
#   3 interleaved repetitions, medians)
#
# Needs the benchmarks built (README, "Benchmarks"), xvfb-run and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
bench="$build/bench/bench_sprite_throughput"
if [ ! -x "$bench" ]; then
  echo "bench-window.sh: $bench not built (cmake --build $build --target bench_sprite_throughput)" >&2
  exit 2
fi
export SDL_VIDEODRIVER=x11 QUARVEL_BENCH_WINDOW=1 QUARVEL_SCALE=1 QUARVEL_NO_DIALOGS=1 SDL_AUDIODRIVER=dummy
# Three repetitions in random order, medians reported: this machine's speed
# drifts over a run, and the two sides must meet the same drift.
extra=("${@:2}")
[ ${#extra[@]} -gt 0 ] || extra=(--benchmark_repetitions=3 --benchmark_enable_random_interleaving=true
  --benchmark_report_aggregates_only=true)
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$bench" \
  --benchmark_filter='BM_Quarvel|BM_SdlRendererEmptyFrame|BM_SdlRendererBatched/[01]/[01]/0' "${extra[@]}"
