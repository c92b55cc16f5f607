#!/usr/bin/env bash
# What kestrine-render does to the files it is told to write: whole or not at all. Past a file-size
# limit (a full disk to the tool) it fails naming the reason, and the old file of that name stays
# whole, nothing partial beside it; a FIFO stays a FIFO and gets the picture; a link keeps pointing
# where it did, and its target gets the picture. A picture's position is read without its pixels.
#   tool_files.sh "KESTRINE_RENDER_COMMAND"
set -euo pipefail
RENDER=$1
W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
render() { eval "$RENDER --size 64x48 $*"; }

# With no room for any file (the system's null device, which the limit does not bind, takes what must succeed).
for option in "--out $W/old.ppm" "--engine deep --counts $W/old.ppm" "--engine deep --counts /dev/null --save-position $W/old.ppm"; do
    echo "the old one" >"$W/old.ppm"
    # The messages come through a pipe: the limit would stop them going into a file.
    if error=$( (ulimit -f 0 && render "$option") 2>&1 >/dev/null); then
        fail "$option past the file-size limit reported success"
    fi
    [[ "$error" == *"old.ppm: File too large"* ]] || fail "$option: $error"
    [ "$(cat "$W/old.ppm")" = "the old one" ] || fail "$option destroyed the old file"
    [ -z "$(ls "$W" | grep part)" ] || fail "$option left $(ls "$W")"
done

# The same past a progress bar: the bar's line is ended before the message. The pixel on the
# parabolic point -3/4 runs all its iterations, so that the bar shows (after a second).
error=$( (ulimit -f 0 && eval "$RENDER --engine deep --mandelbrot --center -0.7 0 --width 0.1 --size 33x25 \
    --iterations 25000000 --progress --out $W/old.ppm") 2>&1 >/dev/null) || true
[[ "$error" == *"%"* ]] || fail "no progress bar: $error"
grep -q '^kestrine-render: cannot write .*File too large' <<<"$error" || fail "the message shares the bar's line: $error"

render --out "$W/reference.ppm" >/dev/null
mkfifo "$W/pipe.ppm"
cat "$W/pipe.ppm" >"$W/through-pipe" &
render --out "$W/pipe.ppm" >/dev/null || fail "writing into a FIFO"
wait
[ -p "$W/pipe.ppm" ] || fail "the FIFO was replaced"
cmp -s "$W/through-pipe" "$W/reference.ppm" || fail "the FIFO did not get the picture"

mkdir "$W/elsewhere"
ln -s "$W/elsewhere/target.ppm" "$W/link.ppm"
render --out "$W/link.ppm" >/dev/null || fail "writing through a link"
[ -L "$W/link.ppm" ] || fail "the link was replaced"
cmp -s "$W/elsewhere/target.ppm" "$W/reference.ppm" || fail "the link's target did not get the picture"
# A picture's position is read from its text chunk without decoding the pixels (here no pixels at
# all, a chunk claiming 4 GiB where they should be), and it renders at the picture's size; a text
# chunk claiming 2 GiB is refused at once.
chunk() { # TYPE LENGTH-AS-8-HEX-DIGITS DATA: a chunk, its CRC left as zeros (the reader checks none)
    printf "$(echo "$2" | sed 's/../\\x&/g')%s%s\0\0\0\0" "$1" "$3"
}
place=$'set = mandelbrot\ncentre-re = -0.5\ncentre-im = 0\nwidth = 3\nheight = 3\n'
printf '%s' "$place" >"$W/place.vorlane"
text="Vorlane-Position"$'\x01'"$place"
{
    printf '\x89PNG\r\n\x1a\n'
    printf '\0\0\0\x0dIHDR\0\0\0\x40\0\0\0\x30\x08\x02\0\0\0\0\0\0\0' # 64 x 48: the size it renders at
    chunk tEXt "$(printf '%08x' ${#text})" "$text"
    chunk IDAT ffffffff ""
} | sed 's/\x01/\x00/' >"$W/no-pixels.png"
eval "$RENDER --size 16x12 --position '$W/no-pixels.png' --out '$W/from-picture.ppm'" >/dev/null ||
    fail "the picture's position was not read"
render --position "$W/place.vorlane" --out "$W/from-file.ppm" >/dev/null
cmp -s "$W/from-picture.ppm" "$W/from-file.ppm" || fail "the picture's position is not the file's"
{
    printf '\x89PNG\r\n\x1a\n'
    chunk tEXt 7ffffff0 "Vorlane-Position"
} >"$W/lying.png"
if error=$(render --position "$W/lying.png" --out "$W/lie.ppm" 2>&1 >/dev/null); then
    fail "a chunk claiming 2 GiB was taken"
fi
[[ "$error" == *"far too long"* ]] || fail "the lying chunk: $error"
echo "files written whole or not at all"
