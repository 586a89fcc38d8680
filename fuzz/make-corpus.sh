#!/usr/bin/env bash
# Makes the small seed corpora of the fuzz targets from generated pages,
# recoded by libtiff's and poppler's tools. Run from a built tree:
#   fuzz/make-corpus.sh build/default/bin/tessivane-cli
set -euo pipefail
cli=${1:?path to tessivane-cli}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
load="$here/corpus/load_from_stream"
count="$here/corpus/tiff_page_count"
mkdir -p "$load" "$count"

for bits in 1 8 24; do
  "$cli" make-page "$work/p$bits.tif" --width 48 --height 32 --dpi 100 --bits "$bits" --compression 1 --seed "$bits"
  "$cli" convert "$work/p$bits.tif" "$load/page$bits.bmp"
done
"$cli" make-page "$work/skew.tif" --width 64 --height 40 --dpi 100 --bits 1 --skew 3 --specks --compression 1
cp "$work/p1.tif" "$load/none1.tif"
for c in g3:1d g3:2d g4; do tiffcp -c "$c" "$work/skew.tif" "$load/fax-${c/:/}.tif"; done
for c in lzw packbits zip; do tiffcp -c "$c" "$work/p8.tif" "$load/grey-$c.tif"; done
tiffcp -c jpeg "$work/p24.tif" "$load/colour-jpeg.tif"
tiffcp -c jpeg "$work/p8.tif" "$load/grey-jpeg.tif"
tiffcp -t -c g4 "$work/skew.tif" "$load/tiled-g4.tif"
tiffcp -p separate "$work/p24.tif" "$load/separate.tif"
tiffcp -c lzw "$work/p1.tif" "$work/p8.tif" "$work/p24.tif" "$load/three-pages.tif"
"$cli" convert "$work/p24.tif" "$load/colour-lzw.tif" --compression 8
"$cli" convert "$work/p8.tif" "$load/grey-own-jpeg.tif"
tiffcp -c packbits "$work/p1.tif" "$load/big-endian.tif" -B
tiff2pdf -o "$work/p.pdf" "$work/p24.tif"
pdftoppm -png -r 20 -singlefile "$work/p.pdf" "$load/page"
pdftoppm -jpeg -r 20 -singlefile "$work/p.pdf" "$load/page"
pdftoppm -jpeg -jpegopt progressive=y -r 15 -singlefile "$work/p.pdf" "$load/progressive"
pdftoppm -png -gray -r 20 -singlefile "$work/p.pdf" "$load/grey"
pdftoppm -png -mono -r 20 -singlefile "$work/p.pdf" "$load/mono"
cp "$load"/*.tif "$count/"
graphic="$here/corpus/graphic_load"
mkdir -p "$graphic"
for f in fax-g4.tif grey-jpeg.tif grey-zip.tif colour-lzw.tif three-pages.tif separate.tif \
  tiled-g4.tif page.jpg progressive.jpg page1.bmp page8.bmp page24.bmp; do
  cp "$load/$f" "$graphic/"
done
pdf="$here/corpus/pdf_graphic"
mkdir -p "$pdf"
"$cli" convert "$work/p1.tif" "$pdf/own-bilevel.pdf"
"$cli" convert "$work/p8.tif" "$pdf/own-grey.pdf"
convert "$work/p24.tif" -colors 16 "BMP3:$work/palette.bmp"
"$cli" convert "$work/palette.bmp" "$pdf/own-palette.pdf"
cp "$pdf/own-bilevel.pdf" "$pdf/own-appended.pdf"
"$cli" append "$work/p24.tif" "$pdf/own-appended.pdf"
"$cli" topdf "$pdf/document.pdf" "$work/p1.tif" "$work/p24.tif"
img2pdf -o "$pdf/img2pdf-g4.pdf" "$load/fax-g4.tif"
img2pdf -o "$pdf/img2pdf-grey.pdf" "$work/p8.tif"
img2pdf --engine internal -o "$pdf/img2pdf-palette.pdf" "$work/palette.bmp"
img2pdf -o "$pdf/img2pdf-jpeg.pdf" "$load/page.jpg"
tiff2pdf -o "$pdf/tiff2pdf-g4.pdf" "$load/fax-g4.tif"
tiff2pdf -z -o "$pdf/tiff2pdf-zip.pdf" "$work/p24.tif"
tiff2pdf -j -o "$pdf/tiff2pdf-jpeg.pdf" "$work/p8.tif"
qpdf --object-streams=generate "$pdf/tiff2pdf-zip.pdf" "$pdf/qpdf-object-streams.pdf"
qpdf --linearize "$pdf/own-appended.pdf" "$pdf/qpdf-linearized.pdf"
