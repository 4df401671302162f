# Shared set-up of the tests under a real X server, sourced after `exe` is set
# to the host program: checks the tools, makes the scratch folder $work, and
# gives the clean-up on exit and the fail routine that shows what the host
# printed.
[ -x "$exe" ] || { echo "no host program $exe"; exit 1; }
for tool in Xvfb xdotool; do
    command -v "$tool" > /dev/null || { echo "$tool is not installed"; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=""
host_pid=""
cleanup() {
    { exec 3>&-; } 2> /dev/null
    [ -n "$host_pid" ] && kill "$host_pid" 2> /dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null
    wait 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    echo "--- terminal output:"
    cat "$work/stdout" 2> /dev/null
    echo "--- error output:"
    cat "$work/stderr" 2> /dev/null
    echo "0 passed, 1 failed"
    exit 1
}

# Starts the X server on a free display, which it reports, and exports DISPLAY.
start_x_server() {
    Xvfb -displayfd 4 -screen 0 1280x1024x24 -nolisten tcp 4> "$work/display" 2> "$work/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || fail "Xvfb did not start"
    export DISPLAY=":$(head -1 "$work/display")"
}

# Starts the host in $work with the screen unit on /XW and the hardcopy unit
# on /NULL; its terminal input is a FIFO held open on descriptor 3.
start_host() {
    mkfifo "$work/stdin"
    (cd "$work" && env -u PGPLOT_ZOV_PPAGE -u PGPLOT_ZOV_PRINT_CMD PGPLOT_ZOV_DEV_1=/XW \
        PGPLOT_ZOV_DEV_2=/NULL "$exe" < "$work/stdin" > "$work/stdout" 2> "$work/stderr") &
    host_pid=$!
    exec 3> "$work/stdin"
}

# Closes the host's input and waits for it to end with status 0.
end_host() {
    exec 3>&-
    for _ in $(seq 100); do kill -0 "$host_pid" 2> /dev/null || break; sleep 0.1; done
    kill -0 "$host_pid" 2> /dev/null && fail "the host did not end"
    local status=0
    wait "$host_pid" || status=$?
    host_pid=""
    [ "$status" -eq 0 ] || fail "exit status $status"
}
