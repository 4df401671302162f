#!/usr/bin/env bash
# The cursor read-out under a real X server: runs the test host on an /XW
# screen inside Xvfb, switches the cursor on with C, draws the data with D and
# picks positions with the keyboard through xdotool.
#
#   bash tests/session_x/cursor_test.sh [BUILD]      (default BUILD: build)
#
# The host kvcurs is kvst listing the recorded cursor positions when it ends;
# the script checks the prompt lines, the number of positions and each
# position against the world coordinates of the pixel it pointed at.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
exe="$build/kvcurs"
. "$root/tests/session_x/x_harness.sh"

# Data: 20 points, x = -1.9 .. 0.0, y = 10 .. 200.
{
    echo "CURSOR TEST SPECTRUM"
    echo "line two"
    echo "line three"
    for g in 0 1 2 3; do
        line=""
        for k in 1 2 3 4 5; do line="$line $(( (5 * g + k) * 10 )) 1"; done
        echo "$line"
    done
} > "$work/cursor.dat"
xlo=-1.9 xhi=0.0 ylo=10 yhi=200

# The X server picks a free display and reports its number.
start_x_server
start_host

prompt=" LEFT MOUSE OR TYPE SPACE FOR X,Y OR RETURN TO CONTINUE"
# The line may follow an open command prompt ("kvst> ") on the same line.
prompts() { grep -o -F -- "$prompt" "$work/stdout" 2> /dev/null | wc -l; }
wait_prompts() {
    for _ in $(seq 200); do
        [ "$(prompts)" -ge "$1" ] && return 0
        sleep 0.05
    done
    fail "cursor prompt number $1 did not appear"
}

printf 'R\ncursor.dat\nC\nD\n' >&3
wait_prompts 1
win=$(xdotool search --sync --onlyvisible --name '^giza$' 2> /dev/null | head -1)
[ -n "$win" ] || fail "no plot window"
eval "$(xdotool getwindowgeometry --shell "$win")"
# The drawing surface is 800 by 600 pixels, centred in the window.
mx=$(( (WIDTH - 800) / 2 ))
my=$(( (HEIGHT - 600) / 2 ))
[ "$mx" -ge 0 ] && [ "$my" -ge 0 ] || fail "unexpected window size ${WIDTH}x${HEIGHT}"

# Pixels (inside the frame, viewport 0.15..0.85 by 0.1..0.8) to pick.
picks=("400 300" "200 450" "650 150" "300 200")
# Real key events through the XTEST extension, with the pointer over the
# pixel: the window has the input focus (there is no window manager).
key_at() {  # key x y
    xdotool windowfocus "$win" 2> /dev/null
    xdotool mousemove --window "$win" $(( $2 + mx )) $(( $3 + my ))
    sleep 0.2
    xdotool key "$1"
    sleep 0.2
}
for p in "${picks[@]:0:3}"; do key_at space $p; done
key_at Return 10 10
# A second plot: a first Return records nothing.
printf 'D\n' >&3
wait_prompts 2
key_at Return 10 10
# A third: a lower-case a picks.
printf 'D\n' >&3
wait_prompts 3
key_at a ${picks[3]}
key_at Return 10 10
printf 'E\nN\n' >&3
end_host

[ "$(prompts)" -eq 3 ] || fail "expected 3 cursor prompt lines, found $(prompts)"
grep -q -x -F " CURSOR POSITIONS   4" "$work/stdout" || fail "expected 4 recorded positions"

# Each recorded position lies within one pixel's width of its pixel's world point.
i=0
for p in "${picks[@]}"; do
    i=$((i + 1))
    set -- $p
    line=$(grep -E "^ POSITION +$i " "$work/stdout") || fail "position $i missing"
    awk -v px="$1" -v py="$2" -v xlo=$xlo -v xhi=$xhi -v ylo=$ylo -v yhi=$yhi -v line="$line" '
        BEGIN {
            split(line, f, " ")
            x = xlo + ((px / 800 - 0.15) / 0.7) * (xhi - xlo)
            y = ylo + (((1 - py / 600) - 0.1) / 0.7) * (yhi - ylo)
            tx = (xhi - xlo) / 560; ty = (yhi - ylo) / 420
            dx = f[3] - x; dy = f[4] - y
            if (dx < 0) dx = -dx; if (dy < 0) dy = -dy
            exit !(dx <= tx && dy <= ty)
        }' || fail "position $i: got '$line', pixel ($1, $2)"
done
echo "1 passed, 0 failed"
