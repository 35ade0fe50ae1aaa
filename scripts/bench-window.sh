#!/usr/bin/env bash
# Sprite throughput as a game in a window meets it: the runtime and SDL's
# own OpenGL renderer each drawing into a shown window at scale 1 on a real
# X server (Xvfb, Mesa's software rasteriser), no frame wait, no read-back.
#
#   scripts/bench-window.sh [BUILD_DIR]      (default: build-release)
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
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$bench" \
  --benchmark_filter='BM_Quarvel|BM_SdlRendererEmptyFrame|BM_SdlRendererBatched/[01]/[01]/0' "${@:2}"
