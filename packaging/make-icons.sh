#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the menu icons from the 32x32 design icon. The design is pixel art, so the larger
# sizes are whole-number enlargements of its pixels; 48 (one and a half) is enlarged three
# times and then halved with a box filter, which softens the edges evenly instead of
# doubling every other pixel row.
set -e
here=$(cd "$(dirname "$0")" && pwd)
design="$here/../assets/icon.png"
cp "$design" "$here/icons/32.png"
for size in 64 128 256; do
  convert "$design" -filter point -resize ${size}x${size} -strip "$here/icons/$size.png"
done
convert "$design" -filter point -resize 96x96 -filter box -resize 48x48 -strip "$here/icons/48.png"
