#!/usr/bin/env bash
# Makes every picture in docs/ from the current build, without a screen:
#   docs/make-pictures.sh [BUILD]      (BUILD: the build folder, default build)
# fit.png   the example session of the README (examples/session.txt), its
#           hardcopy written to a PNG file;
# kpl.png   the same fit between channels 5 and 25, written by W and drawn
#           by docs/kpl.gp (gnuplot; Debian: gnuplot-nox, see `make pictures`).
# Each session runs in a fresh scratch folder with the screen on the null device.
set -euo pipefail
docs=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$docs")
build=$(cd "${1:-$root/build}" && pwd)
kvst=$build/kvst
[ -x "$kvst" ] || { echo "make-pictures: no program $kvst; build first" >&2; exit 1; }
command -v gnuplot >/dev/null ||
    { echo "make-pictures: gnuplot is needed for kpl.png (apt-get install gnuplot-nox)" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Runs kvst in a new folder under the scratch folder, with the hardcopy device
# $2 and the lines of standard input $3; the transcript goes to session.log there.
session() {
    mkdir "$scratch/$1"
    cp "$root/examples/peak.dat" "$scratch/$1/"
    (cd "$scratch/$1" && env -u DISPLAY -u PGPLOT_ZOV_PPAGE -u PGPLOT_ZOV_PRINT_CMD \
        PGPLOT_ZOV_DEV_1=/NULL PGPLOT_ZOV_DEV_2="$2" "$kvst" < "$3" > session.log 2>&1)
}

session fit fit.png/PNG "$root/examples/session.txt"
[ -s "$scratch/fit/fit.png" ] || { echo "make-pictures: the session made no fit.png" >&2; exit 1; }
cp "$scratch/fit/fit.png" "$docs/fit.png"

cat > "$scratch/kpl.txt" <<'END'
R
peak.dat
V 1 14 1
V 2 1.5 1
V 3 100 1
V 4 -1 1
V 5 700 1
O 5 25
F 100
W fit1
E
N
END
session kpl /NULL "$scratch/kpl.txt"
(cd "$scratch/kpl" && gnuplot -e "file='fit1.kpl'; out='kpl.png'" "$docs/kpl.gp")
cp "$scratch/kpl/kpl.png" "$docs/kpl.png"
echo "made $docs/fit.png and $docs/kpl.png"
