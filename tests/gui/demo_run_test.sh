#!/usr/bin/env bash
# Runs `tavo --demo` without a display for a few calls and checks what a user would see: the
# fallback note, the sample calls with names, area-code splits and withheld callers, a clean
# exit on SIGTERM, and nothing left in the user's own directories or the demo's directory.
set -u
tavo=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"

env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u TAVO_DATA_DIR -u XDG_DATA_HOME \
    -u XDG_CONFIG_HOME HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" \
    "$tavo" --demo >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 1 300); do
    [ "$(grep -c -- '-->>' "$work/out")" -ge 3 ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -TERM "$pid" 2>/dev/null
wait "$pid"
code=$?

fail=0
check() { # check DESCRIPTION COMMAND...
    local what=$1; shift
    if ! "$@"; then
        echo "FAILED: $what"
        fail=1
    fi
}
check "exit code 0 after SIGTERM (was $code)" test "$code" -eq 0
check "the fallback note" grep -qx 'no display: running headless' "$work/err"
check "only log lines on stdout" test -z "$(grep -v -- ' -->> ' "$work/out")"
check "a known caller with name and number" \
    grep -q -- ' - Anna Berger  0301234567 -->> Office/telephony(5551)$' "$work/out"
check "an unknown international caller" \
    grep -q -- ' - 004989765432 -->> Private/speech(5552)$' "$work/out"
check "a withheld caller" grep -q -- ' - << unknown >> -->> Office/telephony(5551)$' "$work/out"
check "the user's data directory untouched" test ! -e "$work/home/.local/share/TAVO"
check "the user's settings untouched" test ! -e "$work/home/.config/TAVO"
# (other libraries may leave their own entries there, e.g. the sound server's)
check "the demo directory removed" test -z "$(ls "$work/runtime" | grep TAVO-demo)"
if [ "$fail" -ne 0 ]; then
    echo "--- stdout"; cat "$work/out"; echo "--- stderr"; grep -v '^ALSA' "$work/err"
    exit 1
fi
echo "1 passed, 0 failed"
