#!/usr/bin/env bash
# Whole commands of tessivane-cli beside ImageMagick's convert on the same
# files, in one run: a quarter turn and a 120 x 120 thumbnail of an A4 page at
# 300 dpi, bilevel (Group 4) and true colour (LZW). Runs alternate between the
# two tools; the table gives the median wall time of each and their ratio.
#
#   bench/compare-imagemagick.sh [BIN_DIR]     (default build/default/bin; RUNS=N)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/default/bin}
runs=${RUNS:-9}
cli="$bin/tessivane-cli"
# ImageMagick's own program, not a stand-in earlier on the PATH.
magick=/usr/bin/convert
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }
[ -x "$magick" ] || { echo "no $magick: run scripts/install-deps.sh" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cli" make-page "$work/bilevel.tif" --bits 1
"$cli" make-page "$work/colour.tif" --bits 24 --compression 8

milliseconds() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

median() {
  printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

printf '%-22s %10s %10s %8s\n' "case" "ours ms" "convert ms" "ratio"
compare() {
  local name=$1 ours=$2 theirs=$3 a=() b=()
  for _ in $(seq "$runs"); do
    a+=("$(milliseconds bash -c "$ours")")
    b+=("$(milliseconds bash -c "$theirs")")
  done
  local x y
  x=$(median "${a[@]}")
  y=$(median "${b[@]}")
  printf '%-22s %10s %10s %8s\n' "$name" "$x" "$y" "$(awk -v x="$x" -v y="$y" 'BEGIN { printf "%.2f", x / y }')"
}

for page in bilevel colour; do
  in="$work/$page.tif"
  compare "rotate 90 $page" "'$cli' rotate '$in' '$work/ours.tif' 90" \
    "'$magick' '$in' -rotate 90 '$work/theirs.tif'"
  compare "thumbnail 120 $page" "'$cli' thumbnail '$in' '$work/ours-t.tif' 120" \
    "'$magick' '$in' -thumbnail 120x120 '$work/theirs-t.tif'"
done
