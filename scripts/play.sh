#!/usr/bin/env bash
# Sets up, builds and starts Stone Swarm. Extra arguments go to the game
# (for example --scale 3).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target stoneswarm
exec build/game/stoneswarm "$@"
