#!/usr/bin/env bash
# Whole-command comparison: `tessivane-cli topdf` of a 20-page batch of
# uncompressed TIFF pages against peer pipelines for the same job.
#   1-bit batch:       tiffcp -c g4 + tiff2pdf, and img2pdf
#   grey/colour batch: tiffcp -c jpeg:80 + tiff2pdf, and img2pdf
# Every pipeline runs RUNS times (interleaved; img2pdf of the grey and colour
# pages, which takes about two seconds a page, runs once); the best run
# counts. Times are
# wall clock and CPU (user + system) of the whole pipeline; ratios are ours
# divided by the peer's, measured in the same run. Every output is checked
# with qpdf --check.
#
# Usage: bench/topdf_peers.sh [BIN_DIR] (default build/default/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/default/bin}
cli="$bin/tessivane-cli"
runs=${RUNS:-3}
pages=20
source bench/peers_common.sh
peers_setup tiffcp tiff2pdf img2pdf qpdf bc
mkdir "$work/bilevel" "$work/tone"
for i in $(seq -w 1 $pages); do
  "$cli" make-page "$work/bilevel/p$i.tif" --width 2480 --height 3508 --dpi 300 --bits 1 \
    --seed "$i" --compression 1
  bits=$(( 10#$i % 2 == 0 ? 24 : 8 ))
  "$cli" make-page "$work/tone/p$i.tif" --width 2480 --height 3508 --dpi 300 --bits $bits \
    --seed "$i" --compression 1
done

check() {
  if qpdf --check "$1" >"$work/check.txt" 2>&1; then
    echo "qpdf --check: ok, no warnings" | { grep -q WARNING "$work/check.txt" && echo "qpdf --check: WARNINGS" || cat; }
  else
    echo "qpdf --check: FAILED (status $?): $(grep -m1 -iE 'error|damaged' "$work/check.txt")"
  fi
}

report() {
  local title=$1 ours=$2
  shift 2
  echo "== $title ($pages pages, best of $runs)"
  read -r oursReal oursCpu <"$work/$ours.time"
  printf '  %-34s wall %6.3f s (%5.1f ms/page)  cpu %6.3f s  %s\n' "$ours" "$oursReal" \
    "$(echo "$oursReal * 1000 / $pages" | bc -l)" "$oursCpu" "$(check "$work/$ours.pdf")"
  for peer in "$@"; do
    read -r real cpu <"$work/$peer.time"
    printf '  %-34s wall %6.3f s (%5.1f ms/page)  cpu %6.3f s  %s\n' "$peer" "$real" \
      "$(echo "$real * 1000 / $pages" | bc -l)" "$cpu" "$(check "$work/$peer.pdf")"
    printf '    ours / %s: wall %.2f, cpu %.2f\n' "$peer" "$(echo "$oursReal / $real" | bc -l)" \
      "$(echo "$oursCpu / $cpu" | bc -l)"
  done
}

b="$work/bilevel"
t="$work/tone"
for _ in $(seq "$runs"); do
  run_once topdf-bilevel "'$cli' topdf '$work/topdf-bilevel.pdf' '$b'/p*.tif"
  run_once tiffcp-g4+tiff2pdf "tiffcp -c g4 -r 3508 '$b'/p*.tif '$work/g4.tif' && tiff2pdf -o '$work/tiffcp-g4+tiff2pdf.pdf' '$work/g4.tif'; rm -f '$work/g4.tif'"
  run_once img2pdf-bilevel "img2pdf -o '$work/img2pdf-bilevel.pdf' '$b'/p*.tif"
  run_once topdf-jpeg "'$cli' topdf '$work/topdf-jpeg.pdf' '$t'/p*.tif"
  run_once tiffcp-jpeg80+tiff2pdf "tiffcp -c jpeg:80 '$t'/p*.tif '$work/jpeg.tif' && tiff2pdf -o '$work/tiffcp-jpeg80+tiff2pdf.pdf' '$work/jpeg.tif'; rm -f '$work/jpeg.tif'"
done
run_once img2pdf-tone "img2pdf -o '$work/img2pdf-tone.pdf' '$t'/p*.tif"

report "1-bit pages, 2480 x 3508 at 300 dpi, uncompressed TIFF input" topdf-bilevel \
  tiffcp-g4+tiff2pdf img2pdf-bilevel
report "8-bit grey and 24-bit colour pages, 2480 x 3508 at 300 dpi, uncompressed TIFF input" \
  topdf-jpeg tiffcp-jpeg80+tiff2pdf img2pdf-tone
