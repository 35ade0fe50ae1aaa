#!/usr/bin/env bash
# A game with its asset pack appended to its own executable loads its assets
# from itself, wherever it is started from; the plain executable finds none.
# Args: pack_probe quarvel-pack
set -euo pipefail
probe=$1
pack_tool=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER=offscreen QUARVEL_NO_DIALOGS=1 TMPDIR="$work"

mkdir "$work/assets" "$work/game" "$work/elsewhere"
"$probe" --write-bmp "$work/assets/probe.bmp"
cp "$probe" "$work/game/single"
"$pack_tool" append "$work/game/single" "$work/assets/probe.bmp" >/dev/null
rm -rf "$work/assets"

out=$(cd "$work/elsewhere" && "$work/game/single")
echo "$out"
grep -qx "probe 5x7" <<<"$out" || { echo "FAIL: packed asset not loaded"; exit 1; }
# The extracted copy is gone once the program has ended.
if ls "$work"/sbx* >/dev/null 2>&1; then echo "FAIL: extracted file left behind"; exit 1; fi

cp "$probe" "$work/game/plain"
out=$(cd "$work/elsewhere" && "$work/game/plain")
echo "$out"
grep -qx "probe 0x0" <<<"$out" || { echo "FAIL: plain executable found an asset"; exit 1; }
echo "PASS"
