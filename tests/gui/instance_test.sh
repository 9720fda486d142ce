#!/usr/bin/env bash
# One monitor per data directory: a second start with windows hands over to the running one (it
# shows its window and answers), a headless second start ends with code 1 and says why, neither
# writes a file of the directory; once the first is killed (-9), the next start runs.
set -u
tavo=$1
work=$(mktemp -d)
first=""
third=""
cleanup() {
    for pid in $first $third; do kill -KILL "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home" "$work/runtime" "$work/data"
chmod 700 "$work/runtime"
# tavo in the test's own home, on the offscreen platform; env turns into tavo, so $!
# of a started one is tavo's.
run=(env -u DISPLAY -u WAYLAND_DISPLAY -u TAVO_DATA_DIR -u XDG_DATA_HOME -u XDG_CONFIG_HOME
    HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" TMPDIR="$work/runtime"
    QT_QPA_PLATFORM=offscreen "$tavo" --line sim --data-dir "$work/data")
# Waits until the lock file names process $1.
wait_for_lock() {
    for _ in $(seq 1 600); do
        [ "$(cat "$work/data/tavo.lock" 2>/dev/null)" = "$1" ] && return 0
        kill -0 "$1" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
files() { (cd "$work/data" && find . -type f ! -name tavo.lock -exec md5sum {} + | sort); }

fail=0
check() { # check DESCRIPTION COMMAND...
    local what=$1; shift
    if ! "$@"; then
        echo "FAILED: $what"
        fail=1
    fi
}

"${run[@]}" >"$work/first.out" 2>"$work/first.err" &
first=$!
check "the first start takes the lock" wait_for_lock "$first"
# A first hand-over is answered from the first's event loop, so its start-up (which writes its
# files) is over once one succeeds.
for _ in $(seq 1 60); do "${run[@]}" >/dev/null 2>&1 && break; sleep 0.5; done
before=$(files)

"${run[@]}" >"$work/second.out" 2>"$work/second.err"
code=$?
check "a second start with windows hands over and ends with 0 (was $code)" test "$code" -eq 0
check "it says that the running monitor shows its window" \
    grep -q "already running with the data directory .*(process $first); its window is shown" \
    "$work/second.err"

"${run[@]}" --headless >"$work/headless.out" 2>"$work/headless.err"
code=$?
check "a headless second start ends with 1 (was $code)" test "$code" -eq 1
check "it says why" grep -q "already running with the data directory .*(process $first)" \
    "$work/headless.err"
check "no log line from a second start" test ! -s "$work/headless.out"
check "no file of the running monitor written" test "$(files)" = "$before"
check "the first still runs" kill -0 "$first"

kill -KILL "$first"
wait "$first" 2>/dev/null
"${run[@]}" --headless >"$work/third.out" 2>"$work/third.err" &
third=$!
check "after kill -9 the next start takes the lock" wait_for_lock "$third"
kill -TERM "$third"
wait "$third"
code=$?
check "and ends cleanly (was $code)" test "$code" -eq 0

if [ "$fail" -ne 0 ]; then
    for f in first.err second.err headless.err third.err; do echo "--- $f"; cat "$work/$f"; done
    exit 1
fi
echo "1 passed, 0 failed"
