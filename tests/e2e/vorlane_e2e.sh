#!/usr/bin/env bash
# End to end: the real Vorlane on a virtual X server, driven by real key presses, drags and wheel
# turns, checked on screenshots.
#   vorlane_e2e.sh VORLANE KESTRINE_RENDER SCRIPTS_DIR
set -euo pipefail
VORLANE=$1
RENDER=$2
source "$3/x11-session.sh"
WORK=$(mktemp -d)
trap 'kill "${APP:-0}" 2>/dev/null || true; stop_xvfb; rm -rf "$WORK"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# Pixels that differ (beyond a little fuzz) between two same-sized images.
differing() { compare -metric AE -fuzz 6% "$1" "$2" null: 2>&1 || true; }

start_xvfb
"$VORLANE" >"$WORK/stdout.log" 2>"$WORK/stderr.log" &
APP=$!
answer_device_box 60 || fail "no device box"
window=$(wait_for_window "^Vorlane by" 60) || fail "the main window did not appear"
grep -q "Device: GPU Found: " "$WORK/stderr.log" || fail "the device report is missing: $(cat "$WORK/stderr.log")"
sleep 2
screenshot() { import -window "$window" "$WORK/$1.png"; }
screenshot start

# The view is the picture below the controls: the rows and columns of the screenshot that are
# almost all dark (the default picture's border escapes at once and is nearly black; no text or
# control has such long dark runs).
dark_span() { # image, "rows" or "columns": prints first and last index of the mostly dark ones
    local width height squeeze column=2
    read -r width height < <(identify -format '%w %h\n' "$1")
    squeeze="1x$height!"
    [ "$2" = columns ] && squeeze="${width}x1!" && column=1
    convert "$1" -colorspace Gray -threshold 40% -scale "$squeeze" -depth 8 txt:- |
        awk -F'[,:()]' -v c="$column" 'NR > 1 && $4 + 0 < 60 { if (first == "") first = $c; last = $c }
                                     END { print first, last }'
}
read -r VY VY_LAST < <(dark_span "$WORK/start.png" rows)
read -r VX VX_LAST < <(dark_span "$WORK/start.png" columns)
VW=$((VX_LAST - VX + 1))
VH=$((VY_LAST - VY + 1))
echo "view area: ${VW}x${VH} at ${VX},${VY}"
[ "$VW" -gt 800 ] && [ "$VH" -gt 500 ] || fail "no picture found on screen (${VW}x${VH})"

# The default picture, as the library renders it at the view's size. The view's frame hides a few
# pixels of it, on one side or around: the best of the plausible frame widths and placements counts.
crop() { convert "$1" -crop "400x300+$2+$3" +repage "$4"; }
CX=$((VX + VW / 2 - 200))
CY=$((VY + VH / 2 - 150))
crop "$WORK/start.png" "$CX" "$CY" "$WORK/start-centre.png"
best=999999
for frame in 0 1 2 3; do
    "$RENDER" --size $((VW + 2 * frame)) $((VH + 2 * frame)) --out "$WORK/reference.ppm" >/dev/null
    for hidden in 0 "$frame" $((2 * frame)); do
        crop "$WORK/reference.ppm" $((VW / 2 - 200 + hidden)) $((VH / 2 - 150 + hidden)) "$WORK/reference-centre.png"
        d=$(differing "$WORK/start-centre.png" "$WORK/reference-centre.png")
        [ "$d" -lt "$best" ] && best=$d
    done
done
echo "default picture: $best of 120000 pixels differ from the library's rendering"
[ "$best" -lt 1200 ] || fail "the view does not show the default picture"

# A real left drag of 120 pixels to the right: the picture follows the pointer.
PX=$((VX + VW / 2))
PY=$((VY + VH / 2))
xdotool mousemove "$PX" "$PY" mousedown 1
for step in 1 2 3 4; do
    xdotool mousemove $((PX + 30 * step)) "$PY"
    sleep 0.3
done
xdotool mouseup 1
sleep 2
screenshot dragged
crop "$WORK/dragged.png" $((CX + 120)) "$CY" "$WORK/dragged-shifted.png"
crop "$WORK/dragged.png" "$CX" "$CY" "$WORK/dragged-centre.png"
followed=$(differing "$WORK/start-centre.png" "$WORK/dragged-shifted.png")
unmoved=$(differing "$WORK/start-centre.png" "$WORK/dragged-centre.png")
echo "after the drag: $followed pixels differ from the shifted start, $unmoved from the unshifted one"
[ "$followed" -lt 12000 ] && [ $((followed * 3)) -lt "$unmoved" ] || fail "the drag did not move the picture"

# A real wheel turn away from the user: one zoom step out, by 1.15 about the window's centre.
xdotool mousemove "$PX" "$PY" click 4
sleep 2
screenshot zoomed
convert "$WORK/dragged.png" -filter point -distort SRT "$PX,$PY 0.869565 0" "$WORK/dragged-scaled.png"
crop "$WORK/dragged-scaled.png" "$CX" "$CY" "$WORK/expected-zoom.png"
crop "$WORK/zoomed.png" "$CX" "$CY" "$WORK/zoomed-centre.png"
zoomed=$(differing "$WORK/zoomed-centre.png" "$WORK/expected-zoom.png")
unzoomed=$(differing "$WORK/zoomed-centre.png" "$WORK/dragged-centre.png")
echo "after the wheel: $zoomed pixels differ from the scaled picture, $unzoomed from the unscaled one"
[ $((zoomed * 2)) -lt "$unzoomed" ] || fail "the wheel did not zoom"
grep -q "Scale X From::" "$WORK/stderr.log" || fail "no zoom step was logged"

kill "$APP"
wait "$APP" 2>/dev/null || true
echo "PASS"
