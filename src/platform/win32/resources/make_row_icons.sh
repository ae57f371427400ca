#!/bin/sh
# Draws the 16x16 list-row pictures (row kinds 1..5) as .ico files beside this script.
# Run again only to change a picture; the .ico files are committed.
set -e
cd "$(dirname "$0")"
draw() {  # name fill draw-commands...
  name=$1 fill=$2
  shift 2
  convert -size 16x16 xc:none -stroke black -strokewidth 1 -fill "$fill" "$@" -define icon:auto-resize=16 "$name.ico"
}
# a warning disc with a white bar
draw row_threat '#cc0000' -draw 'circle 7.5,7.5 7.5,1' -stroke none -fill white -draw 'rectangle 4,7 11,8'
# a folder
draw row_folder '#e6b428' -draw 'rectangle 1,4 14,13' -draw 'rectangle 1,2 6,4'
# registry blocks
draw row_registry '#285ac8' -draw 'rectangle 1,1 7,7' -draw 'rectangle 8,8 14,14' -draw 'rectangle 1,8 7,14'
# a program window
draw row_program '#28a03c' -draw 'rectangle 1,2 14,13' -fill white -draw 'rectangle 3,5 12,11'
# a cookie
draw row_cookie '#965a28' -draw 'circle 7.5,7.5 7.5,1' -stroke none -fill '#3c1e0a' \
  -draw 'point 5,5' -draw 'point 10,7' -draw 'point 7,11'
