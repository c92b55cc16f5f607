# Running Vorlane on a virtual X server and driving it with real X input (XTEST), for the
# headless run and the end-to-end test.
# shellcheck shell=bash

# Starts Xvfb on a free display (XVFB_SCREEN, 1920x1300x24 unless set); sets DISPLAY and XVFB_PID.
start_xvfb() {
    local fd_file
    fd_file=$(mktemp)
    # -noreset: a client that ends (a dialog, a screenshot) must not reset the server under the next.
    Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1920x1300x24}" -nolisten tcp -noreset 3>"$fd_file" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do
        [ -s "$fd_file" ] && break
        sleep 0.1
    done
    DISPLAY=":$(head -n 1 "$fd_file")"
    rm -f "$fd_file"
    export DISPLAY
    [ "$DISPLAY" != ":" ] || { echo "Xvfb did not start" >&2; return 1; }
}

stop_xvfb() {
    [ -n "${XVFB_PID:-}" ] || return 0
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
}

# Prints the id of the first visible window whose name matches $1, waiting up to $2 seconds.
wait_for_window() {
    local name=$1 seconds=$2 id
    for _ in $(seq $((seconds * 10))); do
        id=$(xdotool search --onlyvisible --name "$name" 2>/dev/null | head -n 1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Answers the device box with a real Return key press.
answer_device_box() {
    local box
    box=$(wait_for_window "^tamsel" "${1:-60}") || { echo "the device box did not appear" >&2; return 1; }
    xdotool windowfocus --sync "$box" key Return
}
