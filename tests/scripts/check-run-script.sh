#!/usr/bin/env bash
# check-run-script.sh BUILD_DIR: scripts/run.sh runs the headless job without a
# display, and under Xvfb makes the demo batch and starts the window on it.
set -euo pipefail
BUILD_DIR=$1
here=$(dirname "$0")
script="$here/../../scripts/run.sh"
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config XDG_CACHE_HOME=$home/cache
export TESSIVANE_BUILD_DIR=$BUILD_DIR
# In a sanitizer build the window's leak check at exit also meets the X
# session's system libraries: the tests' suppressions and those of the desktop.
cat "$here/../lsan.supp" "$here/lsan-desktop.supp" >"$home/lsan.supp"
export LSAN_OPTIONS="suppressions=$home/lsan.supp:print_suppressions=0"
demo="$XDG_DATA_HOME/Tessivane/Demo Batch"

# Without a display: the headless job scans three pages into the demo batch
# and one PDF of them, and prints both paths.
status=0
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$script" 2>&1) || status=$?
[ "$status" -eq 0 ] || fail "status $status without a display: $out"
batch_line=$(printf '%s\n' "$out" | grep '^Batch folder: ') || fail "no batch folder line: $out"
pdf_line=$(printf '%s\n' "$out" | grep '^PDF file: ') || fail "no PDF line: $out"
[ "${batch_line#Batch folder: }" = "$demo" ] || fail "unexpected batch folder: $batch_line"
pdf=${pdf_line#PDF file: }
for n in 4 5 6; do
  [ -s "$demo/0000000$n.tif" ] || fail "scanned page $n missing from the demo batch"
done
qpdf --check "$pdf" >/dev/null || fail "the scanned PDF does not pass qpdf --check"
[ "$(qpdf --show-npages "$pdf")" -eq 3 ] || fail "the scanned PDF has not three pages"
rm -rf "$demo" "$pdf"

command -v xvfb-run >/dev/null || fail "xvfb-run is missing (scripts/install-deps.sh installs it)"
command -v xwininfo >/dev/null || fail "xwininfo is missing (scripts/install-deps.sh installs it)"
command -v xdotool >/dev/null || fail "xdotool is missing (scripts/install-deps.sh installs it)"
# Under Xvfb: start the script, wait (with a generous bound) until a window
# captioned "Vellumtrace Tessivane" is mapped, then leave through File > Exit
# from the keyboard, so that the program closes normally and stores its batch
# folder. The keys are sent again until the program has gone, since the first
# ones may come before the window takes input.
# shellcheck disable=SC2016
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$0" >"$HOME/run.log" 2>&1 &
  pid=$!
  shown=
  for _ in $(seq 1200); do
    kill -0 "$pid" 2>/dev/null || exit 3
    if xwininfo -root -tree | grep -q "\"Vellumtrace Tessivane\""; then shown=1; break; fi
    sleep 0.1
  done
  [ -n "$shown" ] || { kill "$pid"; exit 4; }
  window=$(xdotool search --name "^Vellumtrace Tessivane\$" | head -1)
  for _ in $(seq 60); do
    xdotool windowfocus --sync "$window" key alt+f 2>/dev/null || true
    sleep 0.2
    xdotool key e 2>/dev/null || true
    for _ in $(seq 10); do
      if ! kill -0 "$pid" 2>/dev/null; then wait "$pid"; exit; fi
      sleep 0.1
    done
  done
  kill "$pid"; exit 5' "$script" || fail "the window did not appear or close (status $?): $(cat "$HOME/run.log")"

settings=$XDG_CONFIG_HOME/Vellumtrace/Tessivane.ini
grep -Fqx "Batch=$demo/" "$settings" || fail "the window did not work on the demo batch: $(cat "$settings")"
names=$(cd "$demo" && ls)
expected=$(printf '%s\n' 00000000.tif 00000001.tif 00000002.tif 00000003.tif 00000004.jpg)
[ "$names" = "$expected" ] || fail "demo batch holds: $names"
for page in "$demo"/*; do
  "$BUILD_DIR/bin/tessivane-cli" info "$page" >/dev/null || fail "$page cannot be read"
done
[ -z "$(find "$XDG_DATA_HOME/Tessivane" -name '.demo-*' -o -name '.scan-*')" ] ||
  fail "a temporary folder was left behind"
echo "run.sh runs the headless job without a display and starts the window on the demo batch"
