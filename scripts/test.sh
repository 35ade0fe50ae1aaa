#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite headless:
#   1. the normal build (GCC): unit, GL, fuzz-corpus and end-to-end tests;
#   2. a clang build with AddressSanitizer + UndefinedBehaviorSanitizer and
#      libFuzzer: the unit tests and the fuzz corpora again;
#   3. a clang build of the sound, music and video tests and of the network
#      tests with ThreadSanitizer.
# Pass --quick to skip the sanitizer builds.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1

quick=0
[ "${1:-}" = "--quick" ] && quick=1
jobs=$(nproc 2>/dev/null || echo 2)
export QUARVEL_NO_DIALOGS=1

status=0

# ccache, when there, keeps the three builds quick on a machine that built
# the tree before (in any folder: paths count from the tree's root).
launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

echo "== Build (gcc)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null || exit 1
cmake --build build -j "$jobs" || exit 1

if [ $quick -eq 0 ]; then
  echo "== Build (clang, ASan + UBSan, libFuzzer)"
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DQUARVEL_SANITIZE=ON -DQUARVEL_LIBFUZZER=ON -DQUARVEL_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null || exit 1
  cmake --build build-asan -j "$jobs" || exit 1
  echo "== Tests (ASan + UBSan)"
  (cd build-asan && ctest --output-on-failure -j "$jobs" -LE e2e) || status=1

  # The sound, music and video tests again under ThreadSanitizer: the music
  # watcher thread and the mixer's sound thread; and the network tests: the
  # session threads beside the commands. Only their test programs are
  # built. Mesa's software rasteriser runs uninstrumented threads of its
  # own unless told to draw on the calling thread (LP_NUM_THREADS=0).
  echo "== Build (clang, ThreadSanitizer: sound, music, video and network tests)"
  cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DQUARVEL_TSAN=ON -DQUARVEL_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null || exit 1
  cmake --build build-tsan -j "$jobs" --target audio_tests net_tests || exit 1
  echo "== Tests (ThreadSanitizer)"
  (cd build-tsan && LP_NUM_THREADS=0 TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --output-on-failure -j "$jobs" -R '^(Sound|Music|Video|Net|Http)') || status=1
fi

echo "== Tests"
(cd build && ctest --output-on-failure -j "$jobs") || status=1
exit $status
