#!/bin/sh
# Redraws the banner and the icons with ImageMagick 6 and the Liberation fonts.
# The PNGs and the .ico are kept in the repository, so this is only needed
# when the artwork changes.
set -eu
cd "$(dirname "$0")"

bold=/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf
regular=/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf
navyTop='#2b5d8f'
navyBottom='#16304f'
folderBack='#d99a1e'
folderFront='#ffd34d'
badge='#2e9e4f'
lightYellow='#ffff80'

# A rounded navy card, so that the grey window around it frames the picture.
convert -size 248x60 "gradient:$navyTop-$navyBottom" \
  \( -size 248x60 xc:none -fill white -draw 'roundrectangle 0,0 247,59 8,8' \) \
  -compose CopyOpacity -composite \
  -fill "$folderBack" -draw 'roundrectangle 12,11 28,19 2,2' \
  -draw 'roundrectangle 12,15 50,47 3,3' \
  -fill "$folderFront" -draw 'polygon 15,21 54,21 51,47 12,47' \
  -fill "$badge" -stroke white -strokewidth 2 -draw 'circle 49,43 49,33' \
  -stroke white -strokewidth 3 -draw 'line 49,38 49,48' -draw 'line 44,43 54,43' \
  -stroke none -font "$bold" -pointsize 22 -fill white -annotate +68+32 'Add a Student' \
  -font "$regular" -pointsize 11 -fill "$lightYellow" \
  -annotate +69+49 "to this year's Ilvantis intranet" \
  -define png:exclude-chunks=date,time PNG32:banner.png

# The icon: the same folder and badge, drawn for each size rather than scaled,
# so that the 16-pixel one stays crisp; 16 colours, as classic icons have.
convert -size 32x32 xc:none \
  -fill "$folderBack" -stroke '#7a5200' -strokewidth 1 \
  -draw 'roundrectangle 1,4 12,9 1,1' -draw 'roundrectangle 1,7 27,28 2,2' \
  -fill "$folderFront" -draw 'polygon 4,12 30,12 27,28 1,28' \
  -fill "$badge" -stroke white -strokewidth 1.5 -draw 'circle 23,23 23,15.5' \
  -stroke white -strokewidth 2.5 -draw 'line 23,19 23,27' -draw 'line 19,23 27,23' \
  +dither -colors 16 -define png:exclude-chunks=date,time PNG32:icon32.png

convert -size 16x16 xc:none \
  -fill "$folderBack" -stroke '#7a5200' -strokewidth 1 \
  -draw 'rectangle 0.5,1.5 5.5,4.5' -draw 'rectangle 0.5,3.5 12.5,13.5' \
  -fill "$folderFront" -draw 'polygon 2.5,6.5 14.5,6.5 12.5,13.5 0.5,13.5' \
  -fill "$badge" -stroke white -strokewidth 1 -draw 'circle 11.5,11.5 11.5,7' \
  -stroke none -fill white -draw 'rectangle 11,9 12,14' -draw 'rectangle 9,11 14,12' \
  +dither -colors 16 -define png:exclude-chunks=date,time PNG32:icon16.png

convert icon16.png icon32.png tkaddstudent.ico
