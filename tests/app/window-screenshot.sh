#!/usr/bin/env bash
# Starts tessivane in a virtual X display on a batch of five generated pages,
# selects the second page with the mouse, keeps a screenshot of the whole
# window and checks that the strip and the viewer are drawn: each shows more
# than one colour where it should, and the selection frame surrounds the
# second thumbnail.
#
# Usage: window-screenshot.sh BIN_DIR SCREENSHOT.png
set -euo pipefail

if [ "${1:-}" = "--inside" ]; then
  shift
  bin=$1 shot=$2 batch=$3
  "$bin/tessivane" "$batch" &
  program=$!
  trap 'kill "$program" 2>/dev/null || true' EXIT
  window=""
  for _ in $(seq 1 1200); do
    window=$(xdotool search --name '^Vellumtrace Tessivane$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "the window did not appear" >&2; exit 1; }
  # Polls the window's picture until the check of a stage passes, at most
  # a number of times 0.2 seconds apart.
  wait_for() {
    for _ in $(seq 1 "$2"); do
      # The window may be busy being drawn: a failed capture is tried again.
      if ! import -window "$window" -depth 8 "ppm:$shot.ppm" 2>/dev/null; then
        sleep 0.2
        continue
      fi
      if python3 - "$shot.ppm" "$1" 2>"$shot.why" <<'PY'
import sys

path, stage = sys.argv[1], sys.argv[2]
data = open(path, 'rb').read()
# P6 header: magic, width, height, maximum, then one byte of white space.
fields, pos = [], 0
while len(fields) < 4:
    while data[pos:pos + 1].isspace():
        pos += 1
    start = pos
    while not data[pos:pos + 1].isspace():
        pos += 1
    fields.append(data[start:pos])
pixels = data[pos + 1:]
w, h = int(fields[1]), int(fields[2])

def pixel(x, y):
    i = (y * w + x) * 3
    return tuple(pixels[i:i + 3])

def colours(x0, y0, x1, y1):
    return {pixel(x, y) for y in range(y0, y1, 2) for x in range(x0, x1, 2)}

failures = []
strip = colours(4, h // 6, w // 2 - 20, h // 2)
if len(strip) < 8:
    failures.append("the strip shows %d colours" % len(strip))
if stage == "selected":
    viewer = colours(w // 2 + 20, h // 6, w - 20, h - h // 6)
    if len(viewer) < 8:
        failures.append("the viewer shows %d colours" % len(viewer))
    yellow = [x for y in range(40, h // 2) for x in range(0, w // 2)
              if pixel(x, y) == (255, 255, 0)]
    if not yellow or min(yellow) < 120 or max(yellow) > 270:
        failures.append("no selection frame around the second thumbnail")
    else:
        print("window %dx%d: strip %d colours, viewer %d colours, frame x %d..%d"
              % (w, h, len(strip), len(viewer), min(yellow), max(yellow)))
if failures:
    print("; ".join(failures), file=sys.stderr)
    sys.exit(1)
PY
      then return 0; fi
      sleep 0.2
    done
    if [ -f "$shot.why" ]; then
      cat "$shot.why" >&2
    else
      echo "stage $1: no picture of the window could be taken" >&2
    fi
    return 1
  }
  wait_for built 600
  # The second thumbnail's cell is 132..252 across and 6..126 down in the
  # strip, which starts below the menu bar, the toolbar and its caption. The
  # window's first timer tick opens the batch again, clearing a selection
  # made before it, so the click is repeated until the selection shows.
  selected=""
  for _ in $(seq 1 30); do
    xdotool mousemove --window "$window" 192 150 click 1
    if wait_for selected 10; then selected=yes; break; fi
  done
  [ -n "$selected" ] || exit 1
  cp "$shot.ppm" "$shot.checked.ppm"
  convert-im6.q16 "$shot.checked.ppm" "$shot"
  rm -f "$shot.ppm" "$shot.why" "$shot.checked.ppm"
  exit 0
fi

bin=$(cd "$1" && pwd)
shot=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/batch" "$work/app" "$(dirname "$shot")"
for i in 0 1 2 3 4; do
  "$bin/tessivane-cli" make-page "$work/batch/0000000$i.tif" --width 1240 --height 1754 \
    --dpi 150 --bits 1 --seed $((i + 1))
done
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
  XDG_RUNTIME_DIR="$work" TESSIVANE_APP_FOLDER="$work/app" QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inside "$bin" "$(cd "$(dirname "$shot")" && pwd)/$(basename "$shot")" "$work/batch"
