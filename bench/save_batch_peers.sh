#!/usr/bin/env bash
# Whole-command timings of the batch commands on a batch of 100 generated
# 1-bit A4 pages at 300 dpi (Group 4 TIFF files, as scanning stores them):
#   save-batch as PDF   against tessivane-cli topdf of the same files
#   save-batch as TIFF  against tiffcp of the same files
#   process negative    (read, transform, write back) per file
# Every command runs RUNS times (default 3), interleaved; the best wall-clock
# time counts. Outputs are checked with qpdf --check and tiffinfo -D.
#
# Usage: bench/save_batch_peers.sh [BIN_DIR] (default build/default/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/default/bin}
cli="$bin/tessivane-cli"
runs=${RUNS:-3}
pages=${PAGES:-100}
source bench/peers_common.sh
peers_setup tiffcp tiffinfo qpdf bc

mkdir "$work/batch"
for i in $(seq -w 1 "$pages"); do
  "$cli" make-page "$work/batch/p$i.tif" --width 2480 --height 3508 --dpi 300 --bits 1 --seed "$i"
done
files=("$work"/batch/p*.tif)

for _ in $(seq "$runs"); do
  rm -f "$work"/*.pdf "$work"/*.tif
  run_once save_pdf "'$cli' save-batch '$work/batch' '$work/save.pdf'"
  run_once topdf "'$cli' topdf '$work/topdf.pdf' ${files[*]}"
  run_once save_tif "'$cli' save-batch '$work/batch' '$work/save.tif'"
  run_once tiffcp "tiffcp ${files[*]} '$work/tiffcp.tif'"
  run_once negative "'$cli' process '$work/batch' negative"
done

qpdf --check "$work/save.pdf" >/dev/null && echo "save.pdf: qpdf --check ok"
[ -z "$(tiffinfo -D "$work/save.tif" 2>&1 >/dev/null)" ] && echo "save.tif: tiffinfo -D clean"
require_runs save_pdf topdf save_tif tiffcp negative
ratio() { echo "scale=2; $(t "$1") / $(t "$2")" | bc; }
echo "pages: $pages, runs: $runs (best wall-clock seconds)"
echo "save-batch PDF  $(t save_pdf) s   topdf $(t topdf) s    ratio $(ratio save_pdf topdf)"
echo "save-batch TIFF $(t save_tif) s   tiffcp $(t tiffcp) s  ratio $(ratio save_tif tiffcp)"
echo "process negative $(t negative) s: $(echo "scale=1; $(t negative) * 1000 / $pages" | bc) ms a file"
