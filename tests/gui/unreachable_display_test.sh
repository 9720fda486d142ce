#!/usr/bin/env bash
# A display that is named but gone (the desktop session ended, the environment stayed): the
# monitor runs headless with the usual note instead of aborting.
set -u
tavo=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"

env -u QT_QPA_PLATFORM -u TAVO_DATA_DIR -u XDG_DATA_HOME -u XDG_CONFIG_HOME \
    DISPLAY=:59017 WAYLAND_DISPLAY=wayland-gone HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" \
    "$tavo" --demo >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 1 300); do
    grep -q -- '-->>' "$work/out" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -TERM "$pid" 2>/dev/null
wait "$pid"
code=$?
if [ "$code" -ne 0 ] || ! grep -qx 'no display: running headless' "$work/err" ||
    ! grep -q -- '-->>' "$work/out"; then
    echo "FAILED: exit code $code"; echo "--- stdout"; cat "$work/out"; echo "--- stderr"; cat "$work/err"
    exit 1
fi
echo "1 passed, 0 failed"
