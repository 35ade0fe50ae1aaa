# Shared helpers of the end-to-end scripts; sourced, not run. The script
# keeps its own PASSED and FAILED counters.

ok() {
  echo "ok:   $*"
  PASSED=$((PASSED + 1))
}
fail() {
  echo "FAIL: $*"
  FAILED=$((FAILED + 1))
}
show_file() {  # show_file <label> <file>
  echo "  --- $1:"
  sed 's/^/  | /' "$2" 2>/dev/null | head -20
}

# True while the process runs (a zombie that has not been waited for counts
# as gone).
alive() {
  local stat
  { read -r stat < "/proc/$1/stat"; } 2>/dev/null || return 1
  stat=${stat##*) }
  [ "${stat:0:1}" != Z ]
}

now_us() {
  local t=$EPOCHREALTIME
  echo "${t/[.,]/}"
}

# start_program <run name> <program> [VAR=value ...] [-- args]: starts the
# program with those variables in $WORK/<run name>, waits for "Init OK" on
# its standard output and for its window of class Quarvel. Sets PID, WIN
# and RUN_DIR and adds PID to PIDS. Needs WORK, INIT_TIMEOUT and X_TIMEOUT.
# Keys are sent only after "Init OK": the start-up already reads them.
start_program() {
  local name=$1 program=$2
  shift 2
  local -a envs=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    envs+=("$1")
    shift
  done
  [ $# -gt 0 ] && shift
  RUN_DIR="$WORK/$name"
  mkdir -p "$RUN_DIR"
  WIN=
  env "${envs[@]}" "$program" "$@" >"$RUN_DIR/stdout" 2>"$RUN_DIR/stderr" </dev/null &
  PID=$!
  PIDS+=("$PID")
  local deadline=$(($(now_us) + INIT_TIMEOUT * 1000000))
  until grep -qx "Init OK" "$RUN_DIR/stdout"; do
    if ! alive "$PID" || [ "$(now_us)" -ge "$deadline" ]; then
      fail "$name: no \"Init OK\" on stdout within ${INIT_TIMEOUT}s"
      show_file stderr "$RUN_DIR/stderr"
      return 1
    fi
    sleep 0.05
  done
  WIN=$(timeout "$X_TIMEOUT" xdotool search --sync --pid "$PID" --class Quarvel 2>/dev/null | head -n 1)
  if [ -z "$WIN" ]; then
    fail "$name: no window of class Quarvel within ${X_TIMEOUT}s"
    return 1
  fi
  return 0
}
