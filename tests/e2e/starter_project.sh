#!/usr/bin/env bash
# The starter project as a new user meets it: the runtime installed into a
# temporary prefix, `quarvel-new mygame`, the project built with CMake
# against that prefix, the game run headless for 60 frames (a replay
# presses Escape at frame 60), its single-file build run from an empty
# directory, and the project's own install.
#
# usage: starter_project.sh BUILD_DIR CMAKE GENERATOR MAKE_PROGRAM CXX
set -u
if [ $# -lt 5 ]; then
  echo "usage: $0 BUILD_DIR CMAKE GENERATOR MAKE_PROGRAM CXX" >&2
  exit 2
fi
build=$1 cmake=$2 generator=$3 make_program=$4 cxx=$5

work=$(mktemp -d "${TMPDIR:-/tmp}/quarvel-starter.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy QUARVEL_NO_DIALOGS=1 TMPDIR="$work"
unset DISPLAY WAYLAND_DISPLAY

# shellcheck source=e2e_lib.sh
. "$(dirname "$0")/e2e_lib.sh"
PASSED=0 FAILED=0
finish() {
  echo "$PASSED passed, $FAILED failed"
  [ "$FAILED" -eq 0 ]
  exit
}
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then ok "$what"; else fail "$what"; fi
}

prefix="$work/prefix"
if ! "$cmake" --install "$build" --prefix "$prefix" --component development >"$work/install.log" 2>&1; then
  fail "cmake --install of the runtime"
  tail -20 "$work/install.log" | sed 's/^/  | /'
  finish
fi
ok "runtime installed into $prefix"
check "quarvel-new --help explains itself" bash -c '"$1" --help | grep -q "usage: quarvel-new NAME"' _ "$prefix/bin/quarvel-new"
check "a bad name is refused with exit code 2" bash -c '"$1" "1 bad" 2>/dev/null; test $? = 2' _ "$prefix/bin/quarvel-new"
for f in guide.md commands.md examples.md examples/models3d.cpp examples/star_catcher.cpp; do
  check "share/doc/quarvel/$f installed" test -s "$prefix/share/doc/quarvel/$f"
done

cd "$work" || exit 2
if ! "$prefix/bin/quarvel-new" mygame >"$work/new.log" 2>&1; then
  fail "quarvel-new mygame"
  sed 's/^/  | /' "$work/new.log"
  finish
fi
for f in CMakeLists.txt main.cpp README.md assets/ship.bmp; do
  check "mygame/$f" test -s "mygame/$f"
done
check "the README names the prefix in its build command" grep -q "CMAKE_PREFIX_PATH=$prefix" mygame/README.md
check "a second quarvel-new into the same directory is refused" \
  bash -c '"$1" mygame 2>/dev/null; test $? = 2' _ "$prefix/bin/quarvel-new"

if "$cmake" -S mygame -B mygame/build -G "$generator" -DCMAKE_MAKE_PROGRAM="$make_program" \
     -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$prefix" >"$work/build.log" 2>&1 &&
   "$cmake" --build mygame/build >>"$work/build.log" 2>&1; then
  ok "the project builds against the installed runtime"
else
  fail "the project did not configure or build"
  tail -30 "$work/build.log" | sed 's/^/  | /'
  finish
fi
check "the asset lies beside the game" cmp -s mygame/assets/ship.bmp mygame/build/ship.bmp
check "the single-file build exists" test -x mygame/build/single/mygame

# 60 frames headless, then Escape from the replay ends the game.
printf 'quarvel-input 1\nseed 1\nframe 61 down 1\nend 70\n' >"$work/escape.rec"
run_game() {  # run_game EXECUTABLE DIR: runs it from DIR, saving frames
  rm -rf "$work/frames"
  mkdir -p "$work/frames"
  (cd "$2" && QUARVEL_SAVE_FRAMES="$work/frames" timeout 60 "$1" --replay "$work/escape.rec") \
    >"$work/game.out" 2>"$work/game.err" </dev/null
}
run_game "$work/mygame/build/mygame" "$work"
rc=$?
check "the game ran and Escape ended it with exit code 0 (got $rc)" test "$rc" = 0
check "\"Init OK\"" grep -qx "Init OK" "$work/game.out"
check "it showed 60 frames (frame-000060.png)" test -s "$work/frames/frame-000060.png"
check "and stopped there" test ! -e "$work/frames/frame-000062.png"
check "its frames are not all alike (the ship on a backdrop)" \
  bash -c '! cmp -s "$1/frame-000000.png" "$1/frame-000030.png"' _ "$work/frames"
cp "$work/frames/frame-000030.png" "$work/first-030.png" 2>/dev/null

mkdir -p "$work/empty"
cp mygame/build/single/mygame "$work/empty/"
run_game "$work/empty/mygame" "$work/empty"
rc=$?
check "the single-file game runs alone in an empty directory (exit $rc)" test "$rc" = 0
check "the single-file game shows the same frame 30" cmp -s "$work/first-030.png" "$work/frames/frame-000030.png"
check "no report line about a missing asset" bash -c '! grep -q "not loaded" "$1/ErrorLog.txt" 2>/dev/null' _ "$work"

if "$cmake" --install mygame/build --prefix "$work/games" >"$work/game-install.log" 2>&1; then
  check "the game installs as bin/mygame" test -x "$work/games/bin/mygame"
  check "with a menu entry" grep -qx "Exec=$work/games/bin/mygame" "$work/games/share/applications/mygame.desktop"
else
  fail "cmake --install of the game"
  tail -10 "$work/game-install.log" | sed 's/^/  | /'
fi
finish
