#!/usr/bin/env bash
# End to end: the real Vorlane on a virtual X server of its own, driven by real key presses, drags and
# wheel turns, its pictures saved with the Save key and compared with the renderer's.
#   vorlane_e2e.sh VORLANE KESTRINE_RENDER SCRIPTS_DIR
set -euo pipefail
VORLANE=$1
RENDER=$2
source "$3/x11-session.sh"
WORK=$(mktemp -d)
trap '[ -z "${APP:-}" ] || kill "$APP" 2>/dev/null || true; stop_xvfb; rm -rf "$WORK"' EXIT

# The program runs on the X server whatever platform the caller's environment names.
unset QT_QPA_PLATFORM QT_SCALE_FACTOR

fail() {
    echo "FAIL: $*" >&2
    echo "---- Vorlane's standard error:" >&2
    cat "$WORK/stderr.log" >&2 2>/dev/null || true
    exit 1
}

# saved KEYS TITLE FILE: the keys open a file dialog, the file's name is typed into it, Return; then
# waits for the file to be written.
saved() {
    xdotool windowfocus --sync "$window" key "$1"
    local dialog
    dialog=$(wait_for_window "^$2" 30) || fail "$1 opened no $2 dialog"
    xdotool windowfocus --sync "$dialog" key ctrl+a type --delay 20 "$3"
    xdotool key Return
    for _ in $(seq 100); do
        [ -s "$3" ] && sleep 0.5 && return 0
        sleep 0.1
    done
    fail "nothing was saved to $3"
}

# start_vorlane COMMAND...: Vorlane started afresh by the command (the one before ended), its device
# box answered with Return and its window found; PX, PY: a point well inside its picture.
start_vorlane() {
    [ -z "${APP:-}" ] || { kill "$APP"; wait "$APP" 2>/dev/null || true; }
    "$@" >>"$WORK/stdout.log" 2>>"$WORK/stderr.log" &
    APP=$!
    STARTS=$((${STARTS:-0} + 1))
    answer_device_box 120 || fail "no device box at start $STARTS"
    window=$(wait_for_window "^Vorlane by" 120) || fail "the main window did not appear at start $STARTS"
    sleep 2
    read -r PX PY < <(xdotool getwindowgeometry "$window" |
        awk '/Position/ { split($2, p, ","); print p[1] + 800, p[2] + 700 }')
}

# like_renderer NAME MAX-DIFFERING RENDER-ARGS...: the picture saved with the Save key as NAME differs
# from the renderer's of its size on at most MAX-DIFFERING pixels.
like_renderer() {
    local name=$1 most=$2 size d
    shift 2
    saved ctrl+s "Save Picture" "$WORK/$name.png"
    size=$(identify -format '%wx%h' "$WORK/$name.png")
    "$RENDER" --size "$size" "$@" --out "$WORK/$name-reference.ppm" >/dev/null || fail "the renderer failed"
    d=$(compare -metric AE "$WORK/$name.png" "$WORK/$name-reference.ppm" null: 2>&1 || true)
    echo "$name ($size): $d pixels differ from the renderer's picture"
    [ "$d" -le "$most" ] || fail "the saved $name picture is not the renderer's"
}

start_xvfb
# Started under a German locale.
start_vorlane env LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 "$VORLANE"
grep -q "Device: " "$WORK/stderr.log" || fail "the device report is missing"

# Saved as rendered: the default picture at full resolution.
like_renderer default 0

# Typed under a German locale with a decimal comma, which the program takes as its decimal point: Tab
# to the centre's X field, -0,75, Return.
xdotool windowfocus --sync "$window" key Tab Tab ctrl+a minus type --delay 20 "0,75"
xdotool key Return
sleep 1
like_renderer centred 0 --window -2.75 1.25 -2 2

# A left drag to the right, then a wheel turn away from the user (one zoom step out, by 1.15 about the
# centre). The drag may arrive as several steps, each rounded to single precision: the pictures may
# differ from the renderer's on the few pixels (under 1 %) that such rounding moves.
xdotool mousemove "$PX" "$PY" mousedown 1
for step in 1 2 3 4; do
    xdotool mousemove $((PX + 30 * step)) "$PY"
    sleep 0.3
done
xdotool mouseup 1
sleep 1
read -r width most < <(identify -format '%w %[fx:int(w*h/100)]\n' "$WORK/default.png")
shift=$(awk -v w="$width" 'BEGIN { printf "%.7f", 120 / w * 4 }')
# shellcheck disable=SC2046 # the window's four numbers, split on purpose
like_renderer dragged "$most" --window $(awk -v s="$shift" 'BEGIN { print -2.75 - s, 1.25 - s, -2, 2 }')
xdotool mousemove "$PX" "$PY" click 4
sleep 1
# shellcheck disable=SC2046
like_renderer zoomed "$most" --window $(awk -v s="$shift" 'BEGIN { print -0.75 - s - 2.3, -0.75 - s + 2.3, -2.3, 2.3 }')

# Deep: started afresh (the focus on the set box), the Mandelbrot set at the seahorse valley, the
# iterations following the depth and smooth colours, 120 notches in (2e-7 wide, past single
# precision). The last picture, once the window stops changing (the status line's progress bar moves
# while a deep render runs, over a preview that does not), is not one colour.
start_vorlane "$VORLANE"
xdotool windowfocus --sync "$window" key Down Tab Tab ctrl+a type --delay 10 -- "-0.743643887037151"
xdotool key Return Tab ctrl+a type --delay 10 "0.131825904205330"
xdotool key Return Tab Tab Tab Tab Tab space Tab Down Down
xdotool mousemove "$PX" "$PY" click --repeat 120 --delay 10 5
# settled NAME: a screenshot of the picture's middle once the window stops changing.
settled() {
    local previous="" current=""
    for _ in $(seq 120); do
        sleep 2
        import -window "$window" "$WORK/$1-window.png"
        current=$(identify -format '%#' "$WORK/$1-window.png")
        [ "$current" != "$previous" ] || break
        previous=$current
    done
    [ "$current" = "$previous" ] || fail "the $1 picture never settled"
    convert "$WORK/$1-window.png" -crop 1200x500+100+300 +repage "$WORK/$1.png"
}

settled deep
colours=$(convert "$WORK/deep.png" -format '%k' info:)
echo "deep picture after 120 notches: $colours colours"
[ "$colours" -ge 50 ] || fail "the deep picture is flat: $colours colours"

saved ctrl+shift+s "Save Position" "$WORK/place.vorlane"

# The command line: --help and --version print and leave at once, without a window or a box; the place
# just saved, named on it, opens there.
timeout 20 "$VORLANE" --help | grep -q '^Usage: Vorlane \[options\] \[FILE\]' || fail "--help printed no usage"
timeout 20 "$VORLANE" --version | grep -Eq '^Vorlane [0-9]+\.[0-9]+' || fail "--version printed no version"
start_vorlane "$VORLANE" "$WORK/place.vorlane"
settled named
named=$(compare -metric AE "$WORK/named.png" "$WORK/deep.png" null: 2>&1 || true)
echo "position on the command line: $named pixels differ from the saved place's picture"
[ "$named" = 0 ] || fail "the position named on the command line does not show the saved place"

echo "PASS"
