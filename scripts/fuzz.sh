#!/usr/bin/env bash
# Long fuzzing runs for people (not part of CI): builds the libFuzzer
# targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, runs
# each from its checked-in corpus under fuzz/corpus/, and merges the inputs
# that reach new coverage back into that corpus (libFuzzer's -merge=1 keeps
# only inputs that add coverage). Crashes, leaks, time-outs and
# out-of-memory inputs are kept in build-fuzz/runs/<target>/ and named in
# the summary.
#
#   scripts/fuzz.sh [seconds-per-target] [target...]
#
# The default is 300 seconds for every target. Examples:
#   scripts/fuzz.sh 1800                    # half an hour each
#   scripts/fuzz.sh 600 fuzz_png fuzz_wave  # two targets
#   FUZZ_RUNS=10000000 scripts/fuzz.sh 1800 # stop each at 10 million runs
#                                           # or half an hour, whichever first
# Other libFuzzer flags can be given in FUZZ_FLAGS. Review and commit the
# corpus additions (git status fuzz/corpus) afterwards.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-300}
shift || true
case "$seconds" in
  '' | *[!0-9]*) echo "usage: scripts/fuzz.sh [seconds-per-target] [target...]" >&2; exit 2 ;;
esac
build=${FUZZ_BUILD_DIR:-build-fuzz}
jobs=$(nproc 2>/dev/null || echo 2)

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/fuzz_*.cpp; do
    t=$(basename "$f" .cpp)
    targets+=("$t")
  done
fi

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
echo "== Build (clang, ASan + UBSan, libFuzzer) in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DQUARVEL_SANITIZE=ON -DQUARVEL_LIBFUZZER=ON -DQUARVEL_BUILD_BENCH=OFF >/dev/null || exit 1
cmake --build "$build" -j "$jobs" --target "${targets[@]}" || exit 1

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
summary=()
status=0
for t in "${targets[@]}"; do
  corpus=fuzz/corpus/${t#fuzz_}
  binary=$build/fuzz/$t
  work=$build/runs/$t
  if [ ! -d "$corpus" ] || [ ! -x "$binary" ]; then
    echo "== $t: no corpus ($corpus) or no binary ($binary)" >&2
    status=1
    continue
  fi
  rm -rf "$work"
  mkdir -p "$work/new" "$work/artifacts"
  echo "== $t: ${seconds}s from $corpus"
  before=$(ls "$corpus" | wc -l)
  # New inputs go to $work/new; the checked-in corpus is only read here.
  # shellcheck disable=SC2086
  "$binary" "$work/new" "$corpus" -max_total_time="$seconds" ${FUZZ_RUNS:+-runs=$FUZZ_RUNS} \
    -timeout=10 -print_final_stats=1 -artifact_prefix="$work/artifacts/" ${FUZZ_FLAGS:-} \
    >"$work/log" 2>&1
  rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$work/log" | tail -1 | grep -o '[0-9]*')
  ft=$(grep -o 'ft: [0-9]*' "$work/log" | tail -1 | grep -o '[0-9]*')
  # Only inputs that add coverage to the checked-in corpus are kept.
  "$binary" -merge=1 "$corpus" "$work/new" >"$work/merge.log" 2>&1 || true
  added=$(($(ls "$corpus" | wc -l) - before))
  found=$(ls "$work/artifacts" | tr '\n' ' ')
  line="$t: ${execs:-?} runs (${speed:-?}/s), cov ${cov:-?}, ft ${ft:-?}, +$added corpus files"
  if [ $rc -ne 0 ] || [ -n "$found" ]; then
    line="$line, FOUND: ${found:-exit $rc} (see $work/log)"
    status=1
  fi
  echo "$line"
  summary+=("$line")
done

echo
echo "== Summary"
printf '%s\n' "${summary[@]}"
exit $status
