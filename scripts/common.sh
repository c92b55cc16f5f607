# Shared by the scripts: where things are and how the project is configured and built.
# shellcheck shell=bash

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-"$ROOT/build"}
KESTRINE_DEVICE=${KESTRINE_DEVICE:-auto}

say() { printf '==> %s\n' "$*"; }

# Configures (once, or again when the device choice changes) and builds the targets named, or
# everything when none is named.
build_project() {
    say "Configuring in $BUILD_DIR (KESTRINE_DEVICE=$KESTRINE_DEVICE)"
    mkdir -p "$BUILD_DIR"
    local log="$BUILD_DIR/configure.log"
    # shellcheck disable=SC2086 # CMAKE_EXTRA_ARGS is a list of options
    cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRINE_DEVICE="$KESTRINE_DEVICE" \
        -DKESTRINE_NATIVE="${KESTRINE_NATIVE:-OFF}" \
        ${CMAKE_EXTRA_ARGS:-} >"$log" 2>&1 || { cat "$log"; return 1; }
    grep -E 'Kestrine (device|CUDA)' "$log" || true
    local targets=()
    [ $# -eq 0 ] || targets=(--target "$@")
    say "Building${*:+ $*}"
    cmake --build "$BUILD_DIR" "${targets[@]}"
}
