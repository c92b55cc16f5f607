#!/usr/bin/env bash
# What kestrine-render does to the files it is told to write: whole or not at all. Past a file-size
# limit (a full disk to the tool) it fails naming the reason, and the old file of that name stays
# whole, nothing partial beside it; a FIFO stays a FIFO and gets the picture; a link keeps pointing
# where it did, and its target gets the picture.
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
echo "files written whole or not at all"
