#!/usr/bin/env bash
# Every function that a lane set's object defines for the linker to pick (weak or global) must be the
# set's own, with the set's namespace in its name: a function of the same name in two sets, compiled
# for two instruction sets, would be merged by the linker into one of them, and a CPU without AVX2
# could end up running the AVX2 copy.
#   lane_symbols.sh NM OBJECT...   (each object built in namespace Lanes_<set>, named in its path)
set -euo pipefail
NM=$1
shift
status=0
for object in "$@"; do
    set_name=$(echo "$object" | sed -n 's/.*_Lanes_\([A-Za-z0-9_]*\)\.dir.*/\1/p')
    [ -n "$set_name" ] || { echo "cannot tell the lane set of $object"; exit 2; }
    # DW.ref.* is the compiler's shared pointer to the exception personality routine: data, the same
    # in every object, so merging it is harmless.
    foreign=$("$NM" -C --defined-only "$object" | awk '$2 ~ /^[TWV]$/ && $3 !~ /^DW\.ref\./' |
        grep -v "Lanes_$set_name::" || true)
    if [ -n "$foreign" ]; then
        echo "$object defines code outside Lanes_$set_name:"
        echo "$foreign"
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "every lane object keeps its code in its own namespace"
exit "$status"
