#!/usr/bin/env bash
# The screen window lost under a real X server: runs the test host on an /XW
# screen inside Xvfb with the cursor switched on, and between drawings
#   1. destroys its window (xdotool windowclose),
#   2. kills its connection (xdotool windowkill, as a window manager does),
#   3. ends the X server itself.
# Each next D must say once that the screen was lost and go on (a new window
# for 1 and 2, no screen for 3); nothing hangs, E still asks the save
# question, and the X errors of the lost window never reach the user.
#
#   bash tests/session_x/screen_lost_test.sh [BUILD]      (default BUILD: build)
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
exe="$build/kvst"
. "$root/tests/session_x/x_harness.sh"

cp "$root/tests/data/exact.dat" "$work/"
start_x_server
start_host

count() { grep -o -F -- "$1" "$work/stdout" 2> /dev/null | wc -l; }
wait_count() {  # text number what
    for _ in $(seq 200); do
        [ "$(count "$1")" -ge "$2" ] && return 0
        sleep 0.05
    done
    fail "$3 did not appear"
}
window() { xdotool search --sync --onlyvisible --name '^giza$' 2> /dev/null | head -1; }
prompt=" LEFT MOUSE OR TYPE SPACE FOR X,Y OR RETURN TO CONTINUE"
again=" %PGPLOT, screen window lost: a new one is opened"
none=" %PGPLOT, screen window lost: screen plots are not shown"
# Ends a cursor wait with RETURN in the window.
answer() {
    local win
    win=$(window)
    [ -n "$win" ] || fail "no plot window for cursor prompt $1"
    xdotool windowfocus "$win" 2> /dev/null
    xdotool mousemove --window "$win" 10 10
    sleep 0.2
    xdotool key Return
}

printf 'R\nexact.dat\nC\nD\n' >&3
wait_count "$prompt" 1 "cursor prompt 1"
answer 1
for way in windowclose windowkill; do
    n=$(( $(count "$prompt") + 1 ))
    win=$(window)
    [ -n "$win" ] || fail "no plot window before $way"
    xdotool "$way" "$win"
    sleep 0.5
    printf 'D\n' >&3
    wait_count "$prompt" "$n" "cursor prompt $n after $way"
    answer "$n"
done
[ "$(count "$again")" -eq 2 ] || fail "expected the new-window line twice"

# Without an X server the screen goes on as the null device.
kill "$xvfb_pid"
wait "$xvfb_pid" 2> /dev/null
xvfb_pid=""
printf 'D\nD\nE\nN\n' >&3
end_host

[ "$(count "$none")" -eq 1 ] || fail "expected the no-screen line once"
[ "$(count "$prompt")" -eq 5 ] || fail "expected 5 cursor prompts, found $(count "$prompt")"
[ "$(count " DO YOU WISH TO SAVE THE CURRENT PARAMETER VALUES (Y/N)[N] : ")" -eq 1 ] ||
    fail "the save question was not asked"
# The only error line is the library's own failed attempt at a new window.
grep -v -F -e "giza_open_device" -e "cannot open display" "$work/stderr" | grep -q . &&
    fail "unexpected error output"
echo "1 passed, 0 failed"
