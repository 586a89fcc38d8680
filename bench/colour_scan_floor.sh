#!/usr/bin/env bash
# The least ratio_to_engine that bench_scan's colour case (24-bit A4 pages at
# 200 dpi through Scan To Batch) can reach on this machine, beside the ratio
# it reaches. Every page the window stores is scanned, coded as JPEG (RGB, 8
# rows per strip) and reduced to its thumbnail, so on P processors a page
# takes at least
#   max(engine, (engine CPU + coding CPU [+ thumbnail CPU]) / P)
# where engine is bench_scan's engine alone, coding is what libtiff's own
# tiffcp spends coding the same pages that way (less the same copy without
# coding) and thumbnail is bench_graphics' reduction of such a page; nothing
# else of the window is counted. The bound is given without and with the
# thumbnail.
#
# Usage: bench/colour_scan_floor.sh [BIN_DIR] (default build/default/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/default/bin}
cli="$bin/tessivane-cli"
runs=${RUNS:-3}
pages=20
source bench/peers_common.sh
peers_setup tiffcp tiffinfo bc nproc python3

# The pages to code: the virtual scanner's, as a scan stores them.
profile="$work/colour.tsp"
printf '\r\n257,I,2\r\n4376,F,200\r\n4377,F,200\r\n' >"$profile"
TESSIVANE_TWAIN_SOURCES="$bin/twain_sources" TESSIVANE_VIRTUAL_SHEETS=$pages \
  "$cli" scan --profile "$profile" --source "Virtual Scanner" --file "$work/scan.tif" >/dev/null
tiffcp -c none "$work/scan.tif" "$work/raw.tif"
for _ in $(seq "$runs"); do
  run_once copy "tiffcp -c none '$work/raw.tif' '$work/copy.tif'"
  run_once jpeg "tiffcp -c jpeg:r -r 8 '$work/raw.tif' '$work/jpeg.tif'"
done
require_runs copy jpeg
layout() { tiffinfo "$1" 2>/dev/null | grep -E 'Compression Scheme|Photometric|Rows/Strip' | sort | uniq -c; }
if [ "$(layout "$work/scan.tif")" != "$(layout "$work/jpeg.tif")" ]; then
  echo "tiffcp did not code the pages as the scan stores them" >&2
  exit 1
fi

QT_QPA_PLATFORM=offscreen "$bin/bench_scan" --benchmark_filter=colour --benchmark_format=json \
  >"$work/bench.json" 2>/dev/null
"$bin/bench_graphics" --benchmark_filter='Thumbnail/colour_200dpi$' --benchmark_format=json \
  >"$work/thumbnail.json" 2>/dev/null
# Milliseconds a page: engine wall, engine CPU, thumbnail CPU; and the window's ratio.
read -r engine engineCpu thumbnail ratio < <(python3 - "$work/bench.json" "$work/thumbnail.json" <<'PY'
import json, re, sys
run = json.load(open(sys.argv[1]))["benchmarks"][0]
pages = int(re.search(r"_x(\d+)", run["name"]).group(1))
reduction = json.load(open(sys.argv[2]))["benchmarks"][0]
assert reduction["time_unit"] == "ms"
print(run["engine_ms"] / pages, run["engine_cpu_ms"] / pages, reduction["cpu_time"],
      run["ratio_to_engine"])
PY
)

cpu() { cut -d' ' -f2 "$work/$1.time"; }
processors=$(nproc)
coding=$(echo "scale=2; ($(cpu jpeg) - $(cpu copy)) * 1000 / $pages" | bc)
# least CPU: the bound for that much processor time a page, as a ratio to the engine alone.
least() {
  local busy
  busy=$(echo "scale=4; ($1) / $processors" | bc)
  echo "scale=4; if ($busy > $engine) $busy / $engine else 1" | bc
}
printf 'engine alone  %.2f ms wall, %.2f ms CPU a page (bench_scan)\n' "$engine" "$engineCpu"
echo "JPEG coding   $coding ms CPU a page (tiffcp, best of $runs)"
printf 'thumbnail     %.2f ms CPU a page (bench_graphics)\n' "$thumbnail"
echo "stored sizes  scan $(stat -c %s "$work/scan.tif") bytes, tiffcp $(stat -c %s "$work/jpeg.tif") bytes for $pages pages"
printf 'least ratio_to_engine on %d processors: %.2f with the coding alone, %.2f with the thumbnail too; bench_scan reached %.2f\n' \
  "$processors" "$(least "$engineCpu + $coding")" "$(least "$engineCpu + $coding + $thumbnail")" "$ratio"
