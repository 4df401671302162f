#!/usr/bin/env bash
# Runs one session case in a fresh temporary folder and compares what it
# wrote with what the case expects.
#
# A case folder holds:
#   input            the lines typed at the terminal (standard input)
#   expected         the expected terminal output (standard output), exactly
#   expected.re      instead of expected: one line per output line, compared exactly,
#                    except that a line starting with ~ is an extended regular
#                    expression that must match the whole output line
#   expected_stderr  optional: the expected standard error, exactly
#   files/           optional: files copied into the folder before the run
#   data             optional: names (one a line) of files in tests/data to copy there too
#   expect/          optional: files that must exist afterwards with exactly this content;
#                    expect/NAME.re holds the lines of NAME as expected.re does
#   absent           optional: names (one a line) of files that must not exist afterwards
#   host             optional: the host program to run (default kvst)
#   env              optional: extra VAR=value lines for the run
#   setup            optional: a bash script run in the folder before the run (after
#                    files/ and data are copied), for what git cannot hold, such as FIFOs
#   ulimit           optional: the file-size limit of the run in blocks (ulimit -f), with
#                    SIGXFSZ ignored, so that writes past it fail; the terminal output
#                    then goes through pipes, which the limit does not touch
#   status           optional: the expected exit status (default 0)
#   make_expected.py optional: writes expected.re and expect/ into the folder given
#                    as its argument; they are made before every run
#   check            optional: a bash script run afterwards in the folder, with the
#                    tests folder as its argument; a non-zero status fails the case
set -u
build=$(cd "$1" && pwd)
case_dir=$(cd "$2" && pwd)
tests_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

host=kvst
[ -f "$case_dir/host" ] && host=$(tr -d ' \n' < "$case_dir/host")
exe="$build/$host"
[ -x "$exe" ] || { echo "no host program $exe"; exit 1; }

if [ -f "$case_dir/make_expected.py" ]; then
    made="$work/.expected"
    mkdir -p "$made"
    cp -r "$case_dir/." "$made/"
    python3 "$case_dir/make_expected.py" "$made" || { echo "cannot make the expectations"; exit 1; }
fi
[ -d "$case_dir/files" ] && cp -r "$case_dir/files/." "$work/"
if [ -f "$case_dir/data" ]; then
    while IFS= read -r name; do
        [ -n "$name" ] && cp "$tests_dir/data/$name" "$work/"
    done < "$case_dir/data"
fi

envs=(PGPLOT_ZOV_DEV_1=/NULL PGPLOT_ZOV_DEV_2=/NULL SOURCE_DATE_EPOCH=1796738709 TZ=UTC)
if [ -f "$case_dir/env" ]; then
    while IFS= read -r line; do
        [ -n "$line" ] && envs+=("$line")
    done < "$case_dir/env"
fi

if [ -f "$case_dir/setup" ]; then
    (cd "$work" && bash "$case_dir/setup") || { echo "setup failed"; exit 1; }
fi

input=/dev/null
[ -f "$case_dir/input" ] && input="$case_dir/input"
run() {
    cd "$work" && exec env -u DISPLAY -u PGPLOT_ZOV_PPAGE -u PGPLOT_ZOV_PRINT_CMD "${envs[@]}" "$exe" < "$input"
}
if [ -f "$case_dir/ulimit" ]; then
    limit=$(tr -d ' \n' < "$case_dir/ulimit")
    { { (trap '' XFSZ; ulimit -f "$limit" && run) 2>&1 1>&3 3>&-; echo $? > "$work/.status"; } \
        | cat > "$work/.stderr"; } 3>&1 | cat > "$work/.stdout"
    status=$(cat "$work/.status")
else
    (run > "$work/.stdout" 2> "$work/.stderr")
    status=$?
fi

# Compares a file line by line with its expectation, where a line starting
# with ~ is an extended regular expression for the whole line.
compare_lines() {
    local want got i w g ok=0
    mapfile -t want < "$1"
    mapfile -t got < "$2"
    if [ "${#want[@]}" != "${#got[@]}" ]; then
        echo "$3 has ${#got[@]} lines, expected ${#want[@]}"; ok=1
    fi
    for i in "${!want[@]}"; do
        w=${want[$i]}
        g=${got[$i]-<missing>}
        if [ "${w:0:1}" = "~" ]; then
            [[ "$g" =~ ^${w:1}$ ]] || { echo "$3 line $((i + 1)): '$g' does not match '${w:1}'"; ok=1; }
        elif [ "$w" != "$g" ]; then
            echo "$3 line $((i + 1)): expected '$w'"; echo "$3 line $((i + 1)):   actual '$g'"; ok=1
        fi
    done
    return $ok
}

[ -n "${made-}" ] && case_dir=$made
fail=0
want_status=0
[ -f "$case_dir/status" ] && want_status=$(tr -d ' \n' < "$case_dir/status")
if [ "$status" != "$want_status" ]; then
    echo "exit status $status, expected $want_status"; fail=1
fi
if [ -f "$case_dir/expected.re" ]; then
    compare_lines "$case_dir/expected.re" "$work/.stdout" "standard output" || fail=1
elif ! diff -u "$case_dir/expected" "$work/.stdout"; then
    echo "standard output differs (- expected, + actual)"; fail=1
fi
if [ -f "$case_dir/expected_stderr" ]; then
    if ! diff -u "$case_dir/expected_stderr" "$work/.stderr"; then
        echo "standard error differs"; fail=1
    fi
elif grep -q 'runtime error\|AddressSanitizer\|LeakSanitizer' "$work/.stderr"; then
    cat "$work/.stderr"; fail=1
fi
if [ -d "$case_dir/expect" ]; then
    for f in "$case_dir"/expect/*; do
        name=$(basename "$f")
        if [ "${name%.re}" != "$name" ]; then
            name=${name%.re}
            if [ ! -f "$work/$name" ]; then
                echo "missing file $name"; fail=1
            else
                compare_lines "$f" "$work/$name" "file $name" || fail=1
            fi
        elif [ ! -f "$work/$name" ]; then
            echo "missing file $name"; fail=1
        elif ! diff -u "$f" "$work/$name"; then
            echo "file $name differs"; fail=1
        fi
    done
fi
if [ -f "$case_dir/absent" ]; then
    while IFS= read -r name; do
        [ -n "$name" ] && [ -e "$work/$name" ] && { echo "file $name should not exist"; fail=1; }
    done < "$case_dir/absent"
fi
if [ -f "$case_dir/check" ]; then
    (cd "$work" && bash "$case_dir/check" "$tests_dir") || { echo "check failed"; fail=1; }
fi
exit $fail
