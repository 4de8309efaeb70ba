#!/bin/sh
# Renders the icon's PNG sizes from tessarin.svg into hicolor/ (committed, so
# that a build needs no SVG renderer). Run again after changing the SVG.
# Needs rsvg-convert (Debian: librsvg2-bin).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
for size in 16 24 32 48 64 128 256; do
    folder="$here/hicolor/${size}x${size}/apps"
    mkdir -p "$folder"
    rsvg-convert --width "$size" --height "$size" --format png \
        --output "$folder/example.vellumar.Tessarin.png" "$here/tessarin.svg"
done
