#!/usr/bin/env bash
# Times tessivane-cli deskew and despeckle as whole commands (read the page,
# correct it, write it) against unpaper doing only its deskew or only its
# noise filter, on the same generated 2480 x 3508 1-bit 300-dpi text page
# skewed by 2.0 and by -4.5 degrees. Each command runs RUNS times (default 3);
# the best wall time counts. Both read and write uncompressed files: BMP for
# tessivane-cli, PBM for unpaper.
#
# Usage: bench/deskew_despeckle_peers.sh [BUILD_DIR]   (default build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
runs=${RUNS:-3}
cli=$build/bin/tessivane-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / (b > 0 ? b : 1) }'; }

# Best wall time in milliseconds of RUNS runs of the command.
best_ms() {
  local best="" start end ms
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    ms=$(((end - start) / 1000000))
    if [[ -z $best || $ms -lt $best ]]; then best=$ms; fi
  done
  echo "$best"
}

only_deskew=(--no-blackfilter --no-noisefilter --no-blurfilter --no-grayfilter --no-mask-center
  --no-border-scan --no-border-align)
only_noisefilter=(--no-blackfilter --no-blurfilter --no-grayfilter --no-mask-scan --no-mask-center
  --no-deskew --no-border-scan --no-border-align)

printf '%-22s %12s %12s %8s\n' "page, operation" "tessivane" "unpaper" "ratio"
for skew in 2.0 -4.5; do
  "$cli" make-page "$work/page.bmp" --width 2480 --height 3508 --dpi 300 --bits 1 --skew "$skew" \
    --specks
  unpaper -q --overwrite -t pbm -n "$work/page.bmp" "$work/page.pbm" 2>/dev/null
  angle=$("$cli" deskew "$work/page.bmp" "$work/out.bmp")
  removed=$("$cli" despeckle "$work/page.bmp" "$work/out.bmp")

  ours=$(best_ms "$cli" deskew "$work/page.bmp" "$work/out.bmp")
  theirs=$(best_ms unpaper -q --overwrite -t pbm "${only_deskew[@]}" "$work/page.pbm" "$work/out.pbm")
  printf '%-22s %9d ms %9d ms %7sx   (angle %s)\n' "skew $skew, deskew" "$ours" "$theirs" \
    "$(ratio "$theirs" "$ours")" "$angle"

  ours=$(best_ms "$cli" despeckle "$work/page.bmp" "$work/out.bmp")
  theirs=$(best_ms unpaper -q --overwrite -t pbm "${only_noisefilter[@]}" "$work/page.pbm" \
    "$work/out.pbm")
  printf '%-22s %9d ms %9d ms %7sx   (%s specks)\n' "skew $skew, despeckle" "$ours" "$theirs" \
    "$(ratio "$theirs" "$ours")" "$removed"
done
