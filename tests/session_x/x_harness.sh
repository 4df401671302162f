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
