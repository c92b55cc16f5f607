#!/usr/bin/env bash
# The program as installed: `cmake --install` into a temporary prefix, its desktop files checked as a
# desktop's tools check them, and the installed programs run from their prefix; then the Debian
# package that cpack builds, looked inside and run from where it unpacks.
#   install_test.sh BUILD_DIR
set -euo pipefail
BUILD=$1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
ID=dev.tamsel.Vorlane

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# runs_from ROOT LIBDIR: the programs under ROOT start, and the renderer takes its libraries from LIBDIR.
runs_from() {
    "$1/bin/Vorlane" --version | grep -q '^Vorlane [0-9]' || fail "$1/bin/Vorlane --version"
    local taken
    taken=$(ldd "$1/bin/kestrine-render" | awk '$1 == "libKestrine.so" { print $3 }')
    [ "$(realpath "$taken")" = "$(realpath "$2/libKestrine.so")" ] || fail "kestrine-render under $1 takes $taken"
    "$1/bin/kestrine-render" --size 40x30 --out "$WORK/picture.ppm" >/dev/null || fail "kestrine-render under $1"
}

P=$WORK/prefix
cmake --install "$BUILD" --prefix "$P" >/dev/null
desktop-file-validate "$P/share/applications/$ID.desktop" || fail "the desktop entry"
grep -qx 'Exec=Vorlane %f' "$P/share/applications/$ID.desktop" || fail "the desktop entry opens no file"
grep -qx 'MimeType=text/x-vorlane-position;' "$P/share/applications/$ID.desktop" || fail "the desktop entry names no type"
appstreamcli validate --no-net "$P/share/metainfo/$ID.metainfo.xml" >/dev/null || fail "the AppStream metadata"
update-mime-database "$P/share/mime"
grep -q '^50:text/x-vorlane-position:\*\.vorlane$' "$P/share/mime/globs2" || fail "*.vorlane is not a position"
grep -q '^text/x-vorlane-position text/plain$' "$P/share/mime/subclasses" || fail "a position is not text"
for size in 16 32 48 64 128 256; do
    icon="$P/share/icons/hicolor/${size}x$size/apps/$ID.png"
    [ "$(identify -format '%wx%h' "$icon")" = "${size}x$size" ] || fail "the $size-pixel icon"
done
runs_from "$P" "$P/lib"

(cd "$BUILD" && cpack -G DEB -B "$WORK/package" >/dev/null) || fail "cpack -G DEB"
DEB=$(ls "$WORK"/package/*.deb)
dpkg-deb -c "$DEB" | awk '{ print $6 }' >"$WORK/contents"
for file in usr/bin/Vorlane usr/bin/kestrine-render usr/lib/libKestrine.so usr/lib/libKestrineDeep.so \
    usr/share/applications/$ID.desktop usr/share/metainfo/$ID.metainfo.xml usr/share/mime/packages/$ID.xml \
    usr/share/icons/hicolor/256x256/apps/$ID.png; do
    grep -qx "./$file" "$WORK/contents" || fail "the package holds no $file"
done
depends=$(dpkg-deb -f "$DEB" Depends)
for library in libqt6widgets6 libmpfr6; do
    [[ "$depends" == *"$library "* ]] || fail "the package does not depend on $library: $depends"
done
dpkg-deb -x "$DEB" "$WORK/root"
runs_from "$WORK/root/usr" "$WORK/root/usr/lib"
echo "installed and packaged: $(basename "$DEB"), depends on $depends"
