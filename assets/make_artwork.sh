#!/usr/bin/env bash
# Draws the four banner images of the main window (run by hand; the GIFs are
# committed). Needs ImageMagick and the DejaVu fonts (imagemagick,
# fonts-dejavu-core). Antialiasing is off on purpose: the picture buttons cut
# their shape by one exact colour, so blended edge pixels would leave a fringe.
#   logo.gif, logo_hover.gif   195x66, background pure red (#FF0000)
#   home.gif, home_hover.gif    64x64, background black
set -euo pipefail
cd "$(dirname "$0")"
FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

# The mark: three record bars, the middle one shorter (a line removed), in a
# rounded square; then the name. $1 square colour, $2 bar colour, $3 text colour.
logo() {
  convert -size 195x66 xc:'#FF0000' +antialias \
    -fill "$1" -draw 'roundrectangle 6,9 53,56 8,8' \
    -fill "$2" -draw 'rectangle 14,19 45,24' -draw 'rectangle 14,30 33,35' -draw 'rectangle 14,41 45,46' \
    -font "$FONT" -pointsize 25 -fill "$3" -annotate +60+42 'Tidyline' \
    -colors 16 "$4"
}
logo '#1F5FAF' '#FFFFFF' '#1F3F6F' logo.gif
logo '#2F8FEF' '#FFF7C0' '#2F6FBF' logo_hover.gif

# The home icon: a house with a door. $1 roof, $2 walls, $3 door.
home() {
  convert -size 64x64 xc:black +antialias \
    -fill "$1" -draw 'polygon 32,6 60,32 4,32' \
    -fill "$2" -draw 'rectangle 12,32 51,58' \
    -fill "$3" -draw 'rectangle 27,40 37,58' \
    -colors 16 "$4"
}
home '#D04020' '#F0F0F0' '#1F5FAF' home.gif
home '#F06040' '#FFFFFF' '#2F8FEF' home_hover.gif

# The program icon for the desktop entry: the mark alone, 128x128, on a
# transparent background (antialiased: nothing cuts its shape by colour).
convert -size 128x128 xc:none \
  -fill '#1F5FAF' -draw 'roundrectangle 4,4 123,123 20,20' \
  -fill '#FFFFFF' -draw 'rectangle 24,30 103,44' -draw 'rectangle 24,57 75,71' -draw 'rectangle 24,84 103,98' \
  tidyline.png
