#!/bin/sh
# Draws the launcher's icon (a rocket-orange disc with a white arrow) at 16,
# 32 and 48 pixels. Its output, prelaunch.ico, is committed.
set -e
cd "$(dirname "$0")"
for size in 16 32 48; do
  convert -size 48x48 xc:none -fill '#e8590c' -draw 'circle 24,24 24,2' \
    -fill white -draw 'polygon 16,12 38,24 16,36 22,24' -resize ${size}x${size} "icon$size.png"
done
convert icon16.png icon32.png icon48.png -colors 256 prelaunch.ico
rm -f icon16.png icon32.png icon48.png
