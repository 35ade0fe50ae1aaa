#!/usr/bin/env bash
# Makes the screenshots of docs/examples.md: each example runs headless from
# a replay in a scratch folder and one of its frames is copied to
# docs/screenshots/examples/NAME.png.
# Args: the build directory (default: build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out="$root/docs/screenshots/examples"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy QUARVEL_NO_DIALOGS=1 TMPDIR="$work"
mkdir -p "$out"

# shot NAME FRAMES KEEP [ARGS...] < replay lines: runs the example for FRAMES
# frames and keeps frame KEEP.
shot() {
  local name=$1 frames=$2 keep=$3; shift 3
  local dir="$work/$name"
  mkdir -p "$dir/frames"
  cp -r "$build/examples/." "$dir/"
  { echo "quarvel-input 1"; echo "seed 3"; cat; } > "$dir/replay.txt"
  (cd / && QUARVEL_SAVE_FRAMES="$dir/frames" QUARVEL_SAVE_FROM="$keep" QUARVEL_SAVE_TO="$keep" \
    "$dir/$name" "$frames" --replay "$dir/replay.txt" "$@" > "$dir/out.txt" 2>&1)
  cp "$dir/frames/frame-$(printf %06d "$keep").png" "$out/$name.png"
  echo "$out/$name.png"
}

shot star_catcher 290 280 <<'EOF'
frame 20 down 28
frame 22 up 28
frame 40 down 205
frame 70 up 205
frame 100 mouse 249 100
frame 180 mouse 258 100
frame 220 mouse 142 100
EOF
shot sprites 40 40 < /dev/null
shot text 60 60 < /dev/null
shot input 100 100 <<'EOF'
frame 5 down 205
frame 35 up 205
frame 10 mouse 250 60
frame 10 button left 1
frame 5 joystick 0 attach Test Pad
frame 6 joystick 0 axis x 24000
frame 6 joystick 0 axis y -16000
frame 50 down 35
frame 51 up 35
frame 52 down 18
frame 53 up 18
frame 54 down 38
frame 55 up 38
frame 56 down 38
frame 57 up 38
frame 58 down 24
frame 59 up 24
EOF
shot collision 40 40 <<'EOF'
frame 5 mouse 80 108
EOF
shot sound 70 70 < /dev/null
shot surfaces 45 45 < /dev/null
shot primitives 30 30 < /dev/null
shot settings 20 20 <<'EOF'
frame 5 down 205
frame 6 up 205
EOF
shot pathfind 60 60 <<'EOF'
frame 5 mouse 296 216
frame 6 button left 1
frame 8 button left 0
EOF
shot video 40 40 <<'EOF'
frame 10 down 28
frame 11 up 28
EOF

# The chat: a host and a process that joins it, each typing a line.
mkdir -p "$work/chat-host/frames" "$work/chat-join/frames"
printf '%s\n' "quarvel-input 1" "frame 120 down 35" "frame 121 up 35" "frame 122 down 18" "frame 123 up 18" \
  "frame 124 down 38" "frame 125 up 38" "frame 126 down 38" "frame 127 up 38" "frame 128 down 24" "frame 129 up 24" \
  "frame 130 down 28" "frame 131 up 28" > "$work/chat-host/replay.txt"
printf '%s\n' "quarvel-input 1" "frame 60 down 35" "frame 61 up 35" "frame 62 down 23" "frame 63 up 23" \
  "frame 64 down 28" "frame 65 up 28" > "$work/chat-join/replay.txt"
QUARVEL_SAVE_FRAMES="$work/chat-host/frames" QUARVEL_SAVE_FROM=240 QUARVEL_SAVE_TO=240 \
  "$build/examples/chat" 240 --replay "$work/chat-host/replay.txt" --host 27321 --name Ann > /dev/null 2>&1 &
host=$!
sleep 0.5
"$build/examples/chat" 240 --replay "$work/chat-join/replay.txt" --join 27321 --name Bob > /dev/null 2>&1
wait "$host"
cp "$work/chat-host/frames/frame-000240.png" "$out/chat.png"
echo "$out/chat.png"
