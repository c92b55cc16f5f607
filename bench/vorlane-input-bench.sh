#!/usr/bin/env bash
# How long Vorlane keeps its user waiting, with real X input on a virtual 1920 x 1200 screen, the window
# filling it: the picture after a burst of 40 wheel notches at 1000 iterations, the first repaint of a
# drag, the preview and the full picture of a deep view (4e-100 wide by 1658 notches, 20,000
# iterations) beside the deep renderer's own time for that view in the same run, and the number types
# and colours of the pictures on the way in at one point with the iterations following the depth.
#   vorlane-input-bench.sh VORLANE KESTRINE_RENDER KESTRINE_DEEP_BENCH
set -euo pipefail
VORLANE=$1
RENDER=$2
DEEP_BENCH=$3
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/x11-session.sh"
WORK=$(mktemp -d)
[ -z "${KEEP:-}" ] || echo "keeping $WORK"
trap '[ -z "${APP:-}" ] || kill "$APP" 2>/dev/null || true; stop_xvfb; [ -n "${KEEP:-}" ] || rm -rf "$WORK"' EXIT
unset QT_QPA_PLATFORM QT_SCALE_FACTOR
export QT_LOGGING_RULES="vorlane.render.debug=true"
export QT_MESSAGE_PATTERN="%{time hh:mm:ss.zzz} %{message}"

now() { date +%H:%M:%S.%3N; }
# seconds FROM TO: TO - FROM for two hh:mm:ss.zzz times of one day.
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { split(a, x, ":"); split(b, y, ":");
    printf "%.3f", (y[1] * 3600 + y[2] * 60 + y[3]) - (x[1] * 3600 + x[2] * 60 + x[3]) }'; }
# first_after TIME PATTERN: the time of the first log line after TIME that matches PATTERN.
first_after() { awk -v t="$1" -v p="$2" '$1 > t && $0 ~ p { print $1; exit }' "$WORK/log"; }
last_after() { awk -v t="$1" -v p="$2" '$1 > t && $0 ~ p { last = $1 } END { print last }' "$WORK/log"; }
count_after() { awk -v t="$1" -v p="$2" '$1 > t && $0 ~ p { n++ } END { print n + 0 }' "$WORK/log"; }
# settle SECONDS: until the last render started has shown its full picture and nothing was logged for
# half a second, or SECONDS pass.
settle() {
    local lines=-1 started shown
    for _ in $(seq $(($1 * 2))); do
        sleep 0.5
        started=$(grep -n 'Render started' "$WORK/log" | tail -n 1 | cut -d: -f1)
        shown=$(grep -n 'Picture shown: final' "$WORK/log" | tail -n 1 | cut -d: -f1)
        if [ -n "$started" ] && [ "${shown:-0}" -gt "$started" ] && [ "$(wc -l <"$WORK/log")" = "$lines" ]; then
            return 0
        fi
        lines=$(wc -l <"$WORK/log")
    done
}

start_program() {
    [ -z "${APP:-}" ] || { kill "$APP"; wait "$APP" 2>/dev/null || true; }
    "$VORLANE" 2>>"$WORK/log" >/dev/null &
    APP=$!
    answer_device_box 120 >/dev/null
    window=$(wait_for_window "^Vorlane by" 60)
    xdotool windowmove --sync "$window" 0 0 windowsize --sync "$window" 1920 1200 windowfocus --sync "$window"
    settle 20
    xdotool mousemove 960 700
}

# The Mandelbrot set in a fresh window (the set box has the focus).
start_mandelbrot() {
    start_program
    xdotool key Down
}

# notches_in COUNT DELAY SECONDS: on a settled window, COUNT wheel notches in, DELAY ms apart, timed
# from t0 to t1; then until the window settles again, or SECONDS pass.
notches_in() {
    settle 20
    t0=$(now)
    xdotool click --repeat "$1" --delay "$2" 5
    t1=$(now)
    settle "$3"
}

# type_into KEYS-BEFORE TEXT: keys to reach a field, then the text replacing its own, then Return.
type_into() {
    # shellcheck disable=SC2086 # the keys, split on purpose
    xdotool key $1 ctrl+a
    xdotool type --delay 5 -- "$2"
    xdotool key Return
}

XVFB_SCREEN=1920x1200x24 start_xvfb
echo "Vorlane on $(nproc) cores, window 1920 x 1200, software device unless a GPU is found"

# 1. The Mandelbrot set about 0, inside it, at 1000 iterations (the float engine's slowest pictures):
#    40 notches in about a second.
start_mandelbrot
type_into "Tab Tab Tab Tab Tab Tab Tab" 1000 # to the iteration count
notches_in 40 25 30
first=$(first_after "$t0" 'Render started')
echo "40 notches in $(seconds "$t0" "$t1") s: $(count_after "$t0" 'Render started') renders of" \
     "$(seconds "$first" "$(first_after "$first" 'Picture shown: final')") s each," \
     "the last picture $(seconds "$t1" "$(last_after "$t0" 'Picture shown: final')") s after the last notch"

# 2. A drag: from the first move to the first repaint of the moved picture.
xdotool mousedown 1
sleep 0.3
t0=$(now)
xdotool mousemove_relative 12 0
sleep 2
moved=$(first_after "$t0" 'Picture moved')
echo "drag: the moved picture painted $(seconds "$t0" "$(first_after "$moved" 'Viewport painted')") s after the first move"
xdotool mousemove_relative 12 0 mouseup 1
settle 30

# 3. The Mandelbrot set at the deep benchmark's Misiurewicz point, 20,000 iterations, 4e-100 wide.
read -r RE IM < <("$DEEP_BENCH" --centre)
start_mandelbrot
type_into "Tab Tab" "$RE"
type_into "Tab" "$IM"
type_into "Tab Tab Tab Tab" 20000
notches_in 1658 1 120
started=$(last_after "$t0" 'Render started: deep')
line=$(grep "^$started Render started: deep" "$WORK/log" | tail -n 1)
width=$(sed -E 's/.*width ([^ ]+) .*/\1/' <<<"$line")
size=$(sed -E 's/.*size ([0-9]+) ([0-9]+).*/\1x\2/' <<<"$line")
echo "1658 notches in $(seconds "$t0" "$t1") s to width $width at $size: preview" \
     "$(seconds "$t1" "$(first_after "$started" 'Picture shown: preview')") s and the full picture" \
     "$(seconds "$t1" "$(first_after "$started" 'Picture shown: final')") s after the last notch"
"$RENDER" --mandelbrot --center "$RE" "$IM" --width "$width" --size "$size" --iterations 20000 --engine deep \
    --stats --out "$WORK/reference.png" 2>&1 | grep -e '^render' -e '^reference' | sed 's/^/  the renderer alone: /'

grep -v -e 'Viewport painted' -e 'Picture moved' "$WORK/log" | awk -v t="$started" '$1 >= t' | head -n 3 | sed 's/^/  /'

# 4. 200 notches at the seahorse valley with the iterations following the depth, smooth colours: after
#    every 20 notches, the number type and the colours of the picture.
start_mandelbrot
type_into "Tab Tab" -0.743643887037151
type_into "Tab" 0.131825904205330
xdotool key Tab Tab Tab Tab Tab space Tab Down Down # follow the depth; smooth colouring
settle 30
for step in $(seq 10); do
    xdotool click --repeat 20 --delay 20 5
    t0=$(now)
    settle 120
    # The picture's middle, clear of the controls above it.
    import -window "$window" -crop 1600x700+150+300 "$WORK/step.png"
    echo "after $((20 * step)) notches: $(grep 'Render started' "$WORK/log" | tail -n 1 | cut -d' ' -f2-)," \
         "$(grep 'Picture shown: final' "$WORK/log" | tail -n 1 | awk '{ print $NF }'), $(identify -format '%k' "$WORK/step.png") colours"
done
