#!/usr/bin/env bash
# Times a whole scripted session of the test host kvst against gnuplot's fit
# of the same model to the same data, each as a whole process, and prints the
# medians and their ratio:
#
#   SESSION runs=15 points=1600 kvst_ms=... gnuplot_ms=... ratio=... kvst_cpu_ms=... ...
#
# ratio is of the wall-clock medians; cpu_ratio of the processor time (user
# and system) medians, which a machine shared with other work disturbs less.
#
# The session reads the 1600-point gauss problem of bench_compare (R), sets
# the five parameters with step 1 (V x5), fits with at most 100 evaluations
# (F 100), lists (L) and leaves without saving (E, N), with no DISPLAY and the
# default devices. gnuplot fits the same function, unweighted, from the same
# start. Every run has a fresh folder, so each does the same work; the runs
# alternate between the two programs.
#
# Usage: bench/session.sh [BUILD_DIR [RUNS]]   (default build-bench, 15)
# BUILD_DIR must hold kvst and bench_compare.
set -eu
build=$(cd "${1:-build-bench}" && pwd)
runs=${2:-15}
gnuplot=${GNUPLOT:-gnuplot}
for exe in "$build/kvst" "$build/bench_compare"; do
  [ -x "$exe" ] || { echo "session.sh: no $exe (build with -DKARVEL_BENCH=ON)" >&2; exit 1; }
done
command -v "$gnuplot" >/dev/null || { echo "session.sh: no gnuplot (Debian: gnuplot-nox)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench_compare" --write-data "$work"
mapfile -t start < "$work/gauss1600.start"

{
  printf 'R\ngauss1600.dat\n'
  for k in 1 2 3 4 5; do printf 'V %d %s 1\n' "$k" "${start[k-1]}"; done
  printf 'F 100\nL\nE\nN\n'
} > "$work/session.in"

cat > "$work/fit.gp" <<EOF
f(x) = h*exp(-0.5*((x-c)/s)**2) + a + b*x
c = ${start[0]}
s = ${start[1]}
a = ${start[2]}
b = ${start[3]}
h = ${start[4]}
fit f(x) 'gauss1600.xye' using 1:2 via c, s, a, b, h
EOF

# Runs a command and appends its wall-clock and processor seconds (user and
# system, its children included) to the file $1, to the microsecond: a
# session takes some 20 ms, so the shell's millisecond times would move the
# ratio by several per cent. The clock starts once python is up and stops
# when the command has ended; the command's standard error is discarded.
timer='
import resource, subprocess, sys, time
before = resource.getrusage(resource.RUSAGE_CHILDREN)
start = time.perf_counter()
status = subprocess.call(sys.argv[2:], stderr=subprocess.DEVNULL)
wall = time.perf_counter() - start
after = resource.getrusage(resource.RUSAGE_CHILDREN)
with open(sys.argv[1], "a") as out:
    out.write("%.6f %.6f %.6f\n" % (wall, after.ru_utime - before.ru_utime, after.ru_stime - before.ru_stime))
sys.exit(status)'
timed() {
  python3 -c "$timer" "$@"
}

run_kvst() {
  local dir=$work/kvst$1
  mkdir "$dir" && cp "$work/gauss1600.dat" "$dir/"
  (cd "$dir" && timed "$work/kvst.times" env -u DISPLAY "$build/kvst" < "$work/session.in" > out.txt)
  grep -q 'THERE ARE 1600 DATA POINTS' "$dir/out.txt" && grep -q 'ENDED' "$dir/out.txt" ||
    { echo "session.sh: the kvst session did not fit (see $dir/out.txt)" >&2; cat "$dir/out.txt" >&2; exit 1; }
  rm -rf "$dir"
}

run_gnuplot() {
  local dir=$work/gnuplot$1
  mkdir "$dir" && cp "$work/gauss1600.xye" "$work/fit.gp" "$dir/"
  (cd "$dir" && timed "$work/gnuplot.times" sh -c 'env -u DISPLAY "$0" fit.gp > out.txt 2>&1' "$gnuplot")
  grep -q 'Final set of parameters' "$dir/out.txt" ||
    { echo "session.sh: gnuplot did not fit (see below)" >&2; cat "$dir/out.txt" >&2; exit 1; }
  rm -rf "$dir"
}

# Median in milliseconds of the wall-clock (what=wall) or processor (what=cpu)
# seconds in a file of timed lines.
median_ms() {
  awk -v what="$2" '{ print (what == "wall") ? $1 : $2 + $3 }' "$1" | sort -g |
    awk '{ v[NR] = $1 } END {
      m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "%.1f", m * 1000 }'
}

run_kvst 0 && run_gnuplot 0   # warm the file cache; not counted
rm -f "$work/kvst.times" "$work/gnuplot.times"
for ((r = 1; r <= runs; r++)); do
  if ((r % 2)); then run_kvst "$r"; run_gnuplot "$r"; else run_gnuplot "$r"; run_kvst "$r"; fi
done

awk -v n="$runs" -v k="$(median_ms "$work/kvst.times" wall)" -v g="$(median_ms "$work/gnuplot.times" wall)" \
  -v kc="$(median_ms "$work/kvst.times" cpu)" -v gc="$(median_ms "$work/gnuplot.times" cpu)" 'BEGIN {
    printf "SESSION runs=%d points=1600 kvst_ms=%.1f gnuplot_ms=%.1f ratio=%.3f", n, k, g, k / g
    printf " kvst_cpu_ms=%.1f gnuplot_cpu_ms=%.1f cpu_ratio=%.3f\n", kc, gc, kc / gc }'
