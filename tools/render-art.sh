#!/usr/bin/env bash
# Renders the button pictures and the program icon from their SVG sources in
# res/art/ into the files that res/reachkit.rc embeds. The results are
# committed, so a build never depends on this machine's fonts; run this after
# changing a drawing and commit what it writes.
#
# * Every picture is an 8-bit RGBA PNG (colour type 6), not interlaced, with
#   no time or gamma chunks, so the same drawing gives the same bytes.
# * The faded pictures of the test buttons are never drawn: each is its
#   partner with every alpha value scaled to 10 % and rounded half up
#   (floor(alpha * 0.1 + 0.5), so an opaque 255 becomes 26), colours kept.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
art=$root/res/art
out=$root/res/png

# id:source:width:height
pictures=(
  136:clear:64:64
  138:ping:64:64
  140:telnet:64:64
  142:trace:64:64
  144:connect-setting:192:64
  146:proxy-setting:192:64
)
# faded id:partner id
faded=(139:138 141:140 143:142)

png_options=(-strip -define png:color-type=6 -define png:bit-depth=8
             -define png:exclude-chunks=date,time,gAMA,cHRM,bKGD)

mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

for entry in "${pictures[@]}"; do
  IFS=: read -r id name width height <<<"$entry"
  rsvg-convert --format=png --width="$width" --height="$height" "$art/$name.svg" -o "$tmp/$id.png"
  convert "$tmp/$id.png" "${png_options[@]}" "PNG32:$out/$id-$name.png"
  echo "res/png/$id-$name.png"
done

for entry in "${faded[@]}"; do
  IFS=: read -r id partner <<<"$entry"
  source=$(ls "$out/$partner"-*.png)
  name=$(basename "$source" .png)
  name=${name#"$partner"-}
  convert "$source" -channel A -fx 'floor(u * 255 * 0.1 + 0.5) / 255' +channel \
    "${png_options[@]}" "PNG32:$out/$id-$name-faded.png"
  echo "res/png/$id-$name-faded.png"
done

for size in 48 32 16; do
  rsvg-convert --format=png --width=$size --height=$size "$art/icon.svg" -o "$tmp/icon-$size.png"
done
convert "$tmp/icon-48.png" "$tmp/icon-32.png" "$tmp/icon-16.png" "$root/res/reachkit.ico"
echo "res/reachkit.ico"
