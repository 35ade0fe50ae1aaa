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
