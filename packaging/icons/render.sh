#!/bin/sh
# Renders the PNG sizes of the hicolor theme from the SVG; run after changing the drawing
# (needs rsvg-convert from librsvg2-bin) and commit the results.
set -eu
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" mox-station.svg -o "mox-station-$size.png"
done
