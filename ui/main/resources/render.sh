#!/bin/sh
# Renders the main window's pictures from src/*.svg at 1x and 2x (name.png, name@2x.png), and
# the program's icon src/kennel.svg at the icon theme's sizes (icons/kennel-SIZE.png). Needs
# ImageMagick and rsvg-convert (librsvg2-bin); the PNGs are kept in the repository so that a
# build needs no renderer.
set -e
cd "$(dirname "$0")"
for svg in src/*.svg; do
    name=$(basename "$svg" .svg)
    [ "$name" = kennel ] && continue
    convert -background none -density 96 "$svg" "PNG32:$name.png"
    convert -background none -density 192 "$svg" "PNG32:$name@2x.png"
done
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" src/kennel.svg -o "icons/kennel-$size.png"
done
