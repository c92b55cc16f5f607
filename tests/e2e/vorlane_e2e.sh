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

# Pixels that differ between two same-sized images.
differing() { compare -metric AE "$1" "$2" null: 2>&1 || true; }

# start_vorlane LOG [ENV...]: starts the program and answers its device box with Return.
start_vorlane() {
    local log=$1
    shift
    env "$@" "$VORLANE" >"$WORK/stdout.log" 2>"$log" &
    APP=$!
    answer_device_box 120 || fail "no device box"
    window=$(wait_for_window "^Vorlane by" 120) || fail "the main window did not appear"
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
    d=$(differing "$WORK/$name.png" "$WORK/$name-reference.ppm")
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

# A real left drag to the right over the picture, then a real wheel turn away from the user (one zoom
# step out, by 1.15 about the window's centre): the picture follows the pointer and then shows more of
# the plane. The drag may arrive as several steps, each rounded to single precision, so the saved
# pictures are compared with the renderer's up to the few pixels that such rounding moves.
read -r WX WY < <(xdotool getwindowgeometry "$window" | awk '/Position/ { split($2, p, ","); print p[1], p[2] }')
PX=$((WX + 800))
PY=$((WY + 700))
xdotool mousemove "$PX" "$PY" mousedown 1
for step in 1 2 3 4; do
    xdotool mousemove $((PX + 30 * step)) "$PY"
    sleep 0.3
done
xdotool mouseup 1
sleep 1
save_picture dragged
width=$(identify -format '%w' "$WORK/dragged.png")
shift=$(awk -v w="$width" 'BEGIN { printf "%.7f", 120 / w * 4 }')
close_to_renderer() { # NAME XMIN XMAX YMIN YMAX: fewer than 1% of the pixels differ
    local size d
    size=$(identify -format '%wx%h' "$WORK/$1.png")
    "$RENDER" --size "$size" --window "$2" "$3" "$4" "$5" --out "$WORK/$1-reference.ppm" >/dev/null
    d=$(differing "$WORK/$1.png" "$WORK/$1-reference.ppm")
    echo "$1: $d of ${size} pixels differ from the renderer's picture"
    [ "$d" -lt $((${size%x*} * ${size#*x} / 100)) ] || fail "the $1 picture is not the expected one"
}
close_to_renderer dragged "$(awk -v s="$shift" 'BEGIN { print -2.75 - s }')" "$(awk -v s="$shift" 'BEGIN { print 1.25 - s }')" -2 2
xdotool mousemove "$PX" "$PY" click 4
sleep 1
save_picture zoomed
close_to_renderer zoomed "$(awk -v s="$shift" 'BEGIN { print -0.75 - s - 2.3 }')" \
    "$(awk -v s="$shift" 'BEGIN { print -0.75 - s + 2.3 }')" -2.3 2.3
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
