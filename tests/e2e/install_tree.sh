#!/usr/bin/env bash
# `cmake --install` into a temporary prefix, then checks the tree: the game
# in its own directory with its assets and a first highscore (kept on a
# second install), the command symlink starting the game headless, the menu
# entry and icon, and the runtime as another project would use it: a small
# program built with find_package(Quarvel) and one built with pkg-config.
#
# usage: install_tree.sh BUILD_DIR CMAKE GENERATOR MAKE_PROGRAM CXX LIBDIR GAME_DIR ASSET_FILE...
#   LIBDIR and GAME_DIR are relative to the prefix (e.g. lib, lib/stoneswarm).
set -u
if [ $# -lt 8 ]; then
  echo "usage: $0 BUILD_DIR CMAKE GENERATOR MAKE_PROGRAM CXX LIBDIR GAME_DIR ASSET_FILE..." >&2
  exit 2
fi
build=$1 cmake=$2 generator=$3 make_program=$4 cxx=$5 libdir=$6 game_rel=$7
shift 7
assets=("$@")

work=$(mktemp -d "${TMPDIR:-/tmp}/quarvel-install.XXXXXX") || exit 2
game_pid=
cleanup() {
  [ -n "$game_pid" ] && kill -KILL "$game_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy QUARVEL_NO_DIALOGS=1 TMPDIR="$work"
unset DISPLAY WAYLAND_DISPLAY

prefix="$work/prefix"
game_dir="$prefix/$game_rel"
passed=0 failed=0
ok() { echo "ok:   $*"; passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then ok "$what"; else fail "$what"; fi
}

# --- The install ---------------------------------------------------------------
if ! "$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  fail "cmake --install exited with an error"
  sed 's/^/  | /' "$work/install.log" | tail -20
  finish
fi
ok "cmake --install into $prefix"

check "bin/stoneswarm is a symlink to $game_rel/stoneswarm" \
  test -L "$prefix/bin/stoneswarm" -a "$(realpath "$prefix/bin/stoneswarm")" = "$(realpath "$game_dir/stoneswarm")"
check "the game is executable" test -x "$game_dir/stoneswarm"
missing=()
for f in "${assets[@]}"; do
  cmp -s "$f" "$game_dir/$(basename "$f")" || missing+=("$(basename "$f")")
done
if [ ${#missing[@]} -eq 0 ]; then ok "${#assets[@]} assets beside the game"; else fail "assets missing or different: ${missing[*]}"; fi
check "a first hc.txt holding 0" test "$(od -An -c "$game_dir/hc.txt" 2>/dev/null | tr -s ' ')" = " 0 \r \n"
check "bin/quarvel-pack" test -x "$prefix/bin/quarvel-pack"
for f in include/quarvel/quarvel.h "$libdir/libquarvel.a" "$libdir/libquarvel_platform.a" \
         "$libdir/libquarvel_portable.a" "$libdir/cmake/Quarvel/QuarvelConfig.cmake" \
         "$libdir/cmake/Quarvel/QuarvelConfigVersion.cmake" "$libdir/pkgconfig/quarvel.pc" \
         share/icons/hicolor/128x128/apps/stoneswarm.png; do
  check "$f" test -s "$prefix/$f"
done
desktop="$prefix/share/applications/stoneswarm.desktop"
check "stoneswarm.desktop starts the installed command and names the icon" \
  grep -qx "Exec=$prefix/bin/stoneswarm" "$desktop"
check "stoneswarm.desktop: name, icon, categories" \
  bash -c 'grep -qx "Name=Stone Swarm" "$1" && grep -qx "Icon=stoneswarm" "$1" && grep -qx "Categories=Game;ArcadeGame;" "$1"' _ "$desktop"

# A second install over the first keeps the player's highscore.
printf '4711\r\n' >"$game_dir/hc.txt"
"$cmake" --install "$build" --prefix "$prefix" >"$work/install2.log" 2>&1 || fail "second cmake --install exited with an error"
check "a second install keeps the player's hc.txt" test "$(tr -d '\r\n' <"$game_dir/hc.txt")" = 4711

# --- The command starts the game headless -----------------------------------------
# Started through the symlink from another directory: the game must make its
# real directory (where the assets are) the working directory.
mkdir -p "$work/elsewhere"
(cd "$work/elsewhere" && trap - INT QUIT && exec "$prefix/bin/stoneswarm") >"$work/game.out" 2>"$work/game.err" </dev/null &
game_pid=$!
for _ in $(seq 300); do
  grep -qx "Init OK" "$work/game.out" && break
  kill -0 "$game_pid" 2>/dev/null || break
  sleep 0.1
done
if grep -qx "Init OK" "$work/game.out"; then
  ok "bin/stoneswarm started headless: \"Init OK\""
  cwd=$(readlink "/proc/$game_pid/cwd")
  check "its working directory is $game_rel (got $cwd)" test "$cwd" = "$(realpath "$game_dir")"
  kill -TERM "$game_pid"
  for _ in $(seq 200); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.05; done
  wait "$game_pid"
  rc=$?
  game_pid=
  check "SIGTERM: exit code 0 (got $rc)" test "$rc" = 0
else
  fail "bin/stoneswarm: no \"Init OK\""
  sed 's/^/  | /' "$work/game.err" | head -10
fi

# --- Another project uses the installed runtime ----------------------------------
consumer="$work/consumer"
mkdir -p "$consumer"
cat >"$consumer/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.16)
project(QuarvelConsumer LANGUAGES CXX)
find_package(Quarvel 0.1 REQUIRED)
add_executable(consumer main.cpp)
target_link_libraries(consumer PRIVATE Quarvel::quarvel)
EOF
# The window and music calls are never reached; they make the linker pull in
# the parts of the runtime that stand on SDL, OpenGL and FFmpeg.
cat >"$consumer/main.cpp" <<'EOF'
#include <quarvel/quarvel.h>

#include <cstdio>

int main(int argc, char**) {
  if (argc > 5) {
    quarvel::start_runtime(quarvel::kShowNormal, "never");
    quarvel::play_music(quarvel::DynString("never.mp3"));
    quarvel::end_program();
  }
  std::printf("%g\n", quarvel::text_to_number(" 42.5e1x"));
  return 0;
}
EOF
if "$cmake" -S "$consumer" -B "$consumer/build" -G "$generator" -DCMAKE_MAKE_PROGRAM="$make_program" \
     -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$prefix" >"$work/consumer.log" 2>&1 &&
   "$cmake" --build "$consumer/build" >>"$work/consumer.log" 2>&1; then
  check "find_package(Quarvel) found the installed package" \
    grep -qx "Quarvel_DIR:PATH=$prefix/$libdir/cmake/Quarvel" "$consumer/build/CMakeCache.txt"
  check "the find_package(Quarvel) program runs and prints 425" test "$("$consumer/build/consumer")" = 425
else
  fail "a project with find_package(Quarvel) did not configure or build"
  sed 's/^/  | /' "$work/consumer.log" | tail -25
fi

export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
if flags=$(pkg-config --cflags --libs quarvel 2>"$work/pc.err"); then
  ok "pkg-config --cflags --libs quarvel"
  # shellcheck disable=SC2086  # the flags are words
  if "$cxx" -std=c++17 "$consumer/main.cpp" -o "$work/consumer_pc" $flags >"$work/pc.log" 2>&1; then
    check "the pkg-config program runs and prints 425" test "$("$work/consumer_pc")" = 425
  else
    fail "building with pkg-config's flags failed: $flags"
    sed 's/^/  | /' "$work/pc.log" | tail -15
  fi
else
  fail "pkg-config --cflags --libs quarvel: $(cat "$work/pc.err")"
fi

finish
