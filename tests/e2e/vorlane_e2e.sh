#!/usr/bin/env bash
# End to end: the real Vorlane on a virtual X server of its own, driven by real key presses, drags
# and wheel turns: the device box, a picture saved with the Save key and compared with the renderer's,
# a centre typed under a German locale, a drag, a wheel turn, and a high-DPI screen.
#   vorlane_e2e.sh VORLANE KESTRINE_RENDER SCRIPTS_DIR
set -euo pipefail
VORLANE=$1
RENDER=$2
source "$3/x11-session.sh"
WORK=$(mktemp -d)
trap 'kill "${APP:-0}" 2>/dev/null || true; stop_xvfb; rm -rf "$WORK"' EXIT

# The program runs on the X server whatever platform the caller's environment names.
unset QT_QPA_PLATFORM QT_SCALE_FACTOR

fail() {
    echo "FAIL: $*" >&2
    echo "---- Vorlane's standard error:" >&2
    cat "$WORK"/stderr*.log >&2 2>/dev/null || true
    exit 1
}

# Pixels that differ (beyond a little fuzz) between two same-sized images.
differing() { compare -metric AE -fuzz "${3:-6%}" "$1" "$2" null: 2>&1 || true; }

# start_vorlane LOG [ENV...]: starts the program and answers its device box with Return.
start_vorlane() {
    local log=$1
    shift
    env "$@" "$VORLANE" >"$WORK/stdout.log" 2>"$log" &
    APP=$!
    answer_device_box 60 || fail "no device box"
    window=$(wait_for_window "^Vorlane by" 60) || fail "the main window did not appear"
    sleep 2
}

stop_vorlane() {
    kill "$APP" 2>/dev/null || true
    wait "$APP" 2>/dev/null || true
}

# save_picture NAME: the Save key, the file's name typed into the dialog, Return; waits for the file.
save_picture() {
    xdotool windowfocus --sync "$window" key ctrl+s
    local dialog
    dialog=$(wait_for_window "^Save Picture" 30) || fail "Ctrl+S opened no save dialog"
    xdotool windowfocus --sync "$dialog" key ctrl+a type --delay 20 "$WORK/$1.png"
    xdotool key Return
    for _ in $(seq 100); do
        [ -s "$WORK/$1.png" ] && sleep 0.5 && return 0
        sleep 0.1
    done
    fail "the picture was not saved to $WORK/$1.png"
}

# same_as_renderer NAME RENDER-ARGS...: the saved picture is, pixel for pixel, the renderer's of its size.
same_as_renderer() {
    local name=$1 size
    shift
    size=$(identify -format '%wx%h' "$WORK/$name.png")
    "$RENDER" --size "$size" "$@" --out "$WORK/$name-reference.ppm" >/dev/null || fail "the renderer failed"
    local d
    d=$(differing "$WORK/$name.png" "$WORK/$name-reference.ppm" 0)
    echo "$name ($size): $d pixels differ from the renderer's picture"
    [ "$d" = 0 ] || fail "the saved $name picture is not the renderer's"
}

start_xvfb
start_vorlane "$WORK/stderr.log" LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8
grep -q "Device: " "$WORK/stderr.log" || fail "the device report is missing"

# Saved as rendered: the default picture at full resolution.
save_picture default
same_as_renderer default

# Typed under a German locale, in the program's one convention: Tab to the centre's X field, -0.75, Return.
xdotool windowfocus --sync "$window" key Tab Tab ctrl+a minus type --delay 20 "0.75"
xdotool key Return
sleep 1
save_picture centred
same_as_renderer centred --window -2.75 1.25 -2 2

screenshot() { import -window "$window" "$WORK/$1.png"; }
screenshot start
# The view is the picture below the controls: the rows and columns of the screenshot that are
# almost all dark (the picture's border escapes at once and is nearly black; no text or control has
# such long dark runs).
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
crop() { convert "$1" -crop "400x300+$2+$3" +repage "$4"; }
CX=$((VX + VW / 2 - 200))
CY=$((VY + VH / 2 - 150))
crop "$WORK/start.png" "$CX" "$CY" "$WORK/start-centre.png"

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
stop_vorlane

# A screen of two device pixels per logical pixel: the picture is rendered at every device pixel.
start_vorlane "$WORK/stderr-high-dpi.log" QT_SCALE_FACTOR=2
save_picture high-dpi
same_as_renderer high-dpi
window_width=$(xdotool getwindowgeometry "$window" | awk '/Geometry/ { split($2, s, "x"); print s[1] }')
picture_width=$(identify -format '%w' "$WORK/high-dpi.png")
echo "high-DPI: picture $picture_width device pixels wide in a window of $window_width"
[ "$picture_width" -gt $((window_width * 3 / 4)) ] || fail "the picture is not rendered at device pixels"
stop_vorlane
echo "PASS"
