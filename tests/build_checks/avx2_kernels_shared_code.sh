#!/usr/bin/env bash
# The AVX2 kernels must share no out-of-line routine with the rest of the
# library: the linker keeps one copy of each inline routine, and an AVX2
# copy kept for all callers would stop the program on a processor without
# AVX2. Every weak symbol of the AVX2 objects must be free of VEX-encoded
# instructions, which only AVX processors run.
set -eu
build=$1
objects=$(find "$build" -name '*_avx2.cpp.o')
[ -n "$objects" ] || { echo "no AVX2 kernel objects under $build"; exit 1; }
bad=0
for o in $objects; do
    for sym in $(nm "$o" | awk '$2 == "W" || $2 == "V" { print $3 }'); do
        if objdump -d --no-show-raw-insn --disassemble="$sym" "$o" | grep -qE '^ +[0-9a-f]+:\s+v[a-z]'; then
            echo "$(basename "$o"): $(echo "$sym" | c++filt) holds AVX code"
            bad=1
        fi
    done
done
exit $bad
