#!/usr/bin/env bash
# Renders the program icon (packaging/icons/org.orvane.Orvane.svg) into the
# PNG sizes the desktop's icon theme uses.  Run after changing the drawing;
# the PNGs are kept in the tree so that building needs no SVG renderer.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
icons="$here/packaging/icons"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$icons/$size"
  rsvg-convert -w "$size" -h "$size" "$icons/org.orvane.Orvane.svg" -o "$icons/$size/org.orvane.Orvane.png"
done
