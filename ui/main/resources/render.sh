#!/bin/sh
# Renders the main window's pictures from src/*.svg at 1x and 2x (name.png, name@2x.png).
# Needs ImageMagick; the PNGs are kept in the repository so that a build needs no renderer.
set -e
cd "$(dirname "$0")"
for svg in src/*.svg; do
    name=$(basename "$svg" .svg)
    convert -background none -density 96 "$svg" "PNG32:$name.png"
    convert -background none -density 192 "$svg" "PNG32:$name@2x.png"
done
