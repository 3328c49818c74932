#!/usr/bin/env bash
# Renders the program icon (packaging/icons/org.orvane.Orvane.svg) into the
# PNG sizes the desktop's icon theme uses, and the about box's picture
# (KvL/ui/images/AboutLogo.svg, which holds a copy of the icon) into its
# 500 x 300 JPEG.  Run after changing a drawing; the results are kept in the
# tree so that building needs no SVG renderer.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
icons="$here/packaging/icons"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$icons/$size"
  rsvg-convert -w "$size" -h "$size" "$icons/org.orvane.Orvane.svg" -o "$icons/$size/org.orvane.Orvane.png"
done

logo="$here/KvL/ui/images/AboutLogo"
rsvg-convert -w 500 -h 300 "$logo.svg" -o "$logo.png"
/usr/bin/convert "$logo.png" -quality 92 "$logo.jpg"
rm "$logo.png"
