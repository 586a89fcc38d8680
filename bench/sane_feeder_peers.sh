#!/usr/bin/env bash
# Ten 300-dpi A4 grey pages from the feeder of SANE's test backend, in a
# private SANE configuration folder:
#   tessivane-cli scan --count-only  through the engine, the manager and the
#                                    SANE bridge to page handles
#   scanimage --batch                the same pages to PNM files
# Every command runs RUNS times (default 10), interleaved; the best wall-clock
# time counts. The test backend stops its reader thread asynchronously, which
# now and then leaves scanimage or our engine blocked for good inside the
# backend: such a run is stopped after RUN_TIMEOUT seconds (default 20) and
# not counted.
#
# Usage: bench/sane_feeder_peers.sh [BIN_DIR] (default build/default/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/default/bin}")
cli="$bin/tessivane-cli"
runs=${RUNS:-10}
export RUN_TIMEOUT=${RUN_TIMEOUT:-20}
source bench/peers_common.sh
peers_setup scanimage bc

export SANE_CONFIG_DIR="$work/sane" XDG_CONFIG_HOME="$work/config"
export TESSIVANE_TWAIN_SOURCES="$bin/twain_sources:$bin/sane_source"
mkdir -p "$SANE_CONFIG_DIR" "$work/pages"
echo test >"$SANE_CONFIG_DIR/dll.conf"
printf '%s\n' "number_of_devices 1" "geometry_max 300.0" "br_x 210.0" "br_y 297.0" \
  'test-picture "Color pattern"' >"$SANE_CONFIG_DIR/test.conf"
# Grey, 300 dpi, from the feeder, ten pages.
printf '%s\n' "Noname frontend-tester (test:0)" "257,I,1" "4376,F,300" "4377,F,300" "4098,B,1" \
  "1,I,10" >"$work/feeder.tsp"

counted=$(timeout -s KILL "$RUN_TIMEOUT" "$cli" scan --profile "$work/feeder.tsp" --count-only) ||
  { echo "the engine did not finish counting the pages" >&2; exit 1; }
[ "$counted" = 10 ] || { echo "the engine got $counted pages, not 10" >&2; exit 1; }
for _ in $(seq "$runs"); do
  run_once engine "'$cli' scan --profile '$work/feeder.tsp' --count-only"
  run_once scanimage "scanimage -d test:0 --source 'Automatic Document Feeder' --mode Gray \
    --resolution 300 --batch='$work/pages/p%d.pnm' --batch-count=10"
done
require_runs engine scanimage
echo "runs: $runs (best wall-clock seconds)"
echo "engine $(t engine) s   scanimage $(t scanimage) s   ratio $(echo "scale=2; $(t engine) / $(t scanimage)" | bc)"
