#!/usr/bin/env bash
# Builds Tessivane and starts its window on a demo batch folder,
# <data>/Tessivane/Demo Batch (<data> is XDG_DATA_HOME or ~/.local/share),
# made with five generated pages when it is missing. Scanning goes to the
# virtual scanner unless another scanner was chosen in the selection dialog.
# TESSIVANE_BUILD_DIR names an already configured build folder to use instead
# of the default preset's.
# Without a display it runs the headless main job instead: three pages from
# the virtual scanner into the demo batch folder, those three pages saved as
# one PDF file beside it, and prints both paths.
set -euo pipefail

cd "$(dirname "$0")/.."
targets=(tessivane tessivane-cli tessivane_dsm tessivane_virtual tessivane_sane tessivane-sane-options
  tessivane-source-chooser)
if [ -n "${TESSIVANE_BUILD_DIR:-}" ]; then
  build=$TESSIVANE_BUILD_DIR
  cmake --build "$build" --target "${targets[@]}"
else
  build=build/default
  cmake --preset default
  cmake --build --preset default --target "${targets[@]}" -j"$(nproc)"
fi
bin=$build/bin

data=${XDG_DATA_HOME:-}
case $data in
/*) ;;
*) data=$HOME/.local/share ;;
esac
demo="$data/Tessivane/Demo Batch"
if [ ! -d "$demo" ]; then
  # Built beside the final folder and moved into place whole, so a failed run
  # never leaves a half-made demo that would be kept.
  mkdir -p "$data/Tessivane"
  work=$(mktemp -d "$data/Tessivane/.demo-XXXXXX")
  trap 'rm -rf "$work"' EXIT
  "$bin/tessivane-cli" make-page "$work/00000000.tif" --width 1654 --height 2339 --dpi 200 --bits 1 --seed 1
  "$bin/tessivane-cli" make-page "$work/00000001.tif" --width 1654 --height 2339 --dpi 200 --bits 1 --seed 2 --skew 2
  "$bin/tessivane-cli" make-page "$work/00000002.tif" --width 1654 --height 2339 --dpi 200 --bits 1 --seed 3 --specks
  "$bin/tessivane-cli" make-page "$work/00000003.tif" --width 1654 --height 2339 --dpi 200 --bits 8 --seed 4
  "$bin/tessivane-cli" make-page "$work/colour.tif" --width 1654 --height 2339 --dpi 200 --bits 24 --seed 5
  "$bin/tessivane-cli" convert "$work/colour.tif" "$work/00000004.jpg"
  rm "$work/colour.tif"
  mv -T "$work" "$demo"
  trap - EXIT
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # The project's own virtual scanner, three sheets, without its window. The
  # scan prints each page file it writes; those three files, gathered in a
  # folder of their own, are saved as the PDF the way Save Batch As saves a
  # batch.
  export TESSIVANE_TWAIN_SOURCES="$bin/twain_sources" TESSIVANE_VIRTUAL_SHEETS=3
  written=$("$bin/tessivane-cli" scan --source "Virtual Scanner" --batch "$demo")
  mapfile -t scanned <<<"$written"
  if [ "${#scanned[@]}" -ne 3 ]; then
    echo "The virtual scanner did not deliver three pages: ${written:-nothing written}" >&2
    exit 1
  fi
  pages=$(mktemp -d "$data/Tessivane/.scan-XXXXXX")
  trap 'rm -rf "$pages"' EXIT
  cp -- "${scanned[@]}" "$pages/"
  pdf="$data/Tessivane/Demo Scan $(date +%Y%m%d-%H%M%S).pdf"
  "$bin/tessivane-cli" save-batch "$pages" "$pdf" >/dev/null
  echo "Batch folder: $demo"
  echo "PDF file: $pdf"
  exit 0
fi

# The window reaches the scanners SANE sees as well as the virtual scanner,
# which stays the default when SANE sees none.
export TESSIVANE_TWAIN_SOURCES="$bin/twain_sources:$bin/sane_source"
exec "$bin/tessivane" "$demo"
