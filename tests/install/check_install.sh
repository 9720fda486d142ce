#!/usr/bin/env bash
# Usage: check_install.sh BUILD_DIR — install into a temporary prefix and check the result.
set -u
build=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$stage/usr" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }

for f in bin/tavo bin/tavo-capi-peer; do
    [ -x "$stage/usr/$f" ] || fail "$f missing or not executable"
done
for f in share/applications/tavo.desktop share/man/man1/tavo.1.gz share/man/man1/tavo-capi-peer.1.gz \
         lib/systemd/user/tavo.service share/icons/hicolor/scalable/apps/tavo.svg \
         share/doc/tavo/copyright share/doc/tavo/changelog.gz; do
    [ -f "$stage/usr/$f" ] || fail "$f missing"
done
for size in 16 22 32 48 64 128 256; do
    [ -f "$stage/usr/share/icons/hicolor/${size}x${size}/apps/tavo.png" ] || fail "icon ${size} missing"
done

desktop-file-validate "$stage/usr/share/applications/tavo.desktop" || fail "desktop entry invalid"
grep -qx 'Categories=Network;Telephony;' "$stage/usr/share/applications/tavo.desktop" ||
    fail "desktop entry category"

man_text=$(MANWIDTH=100 man -l "$stage/usr/share/man/man1/tavo.1.gz" 2>&1) || fail "man page does not render"
peer_text=$(MANWIDTH=100 man -l "$stage/usr/share/man/man1/tavo-capi-peer.1.gz" 2>&1) ||
    fail "tavo-capi-peer man page does not render"
for option in $("$stage/usr/bin/tavo-capi-peer" --help | grep -o -- '--[a-z-]*' | sort -u); do
    printf '%s\n' "$peer_text" | grep -q -- "$option" || fail "tavo-capi-peer man page lacks $option"
done
# The man page documents every option the program knows.
help=$("$stage/usr/bin/tavo" --help) || fail "tavo --help"
for option in $(printf '%s\n' "$help" | grep -o -- '--[a-z-]*' | sort -u); do
    printf '%s\n' "$man_text" | grep -q -- "$option" || fail "man page lacks $option"
done
for word in TAVO_DATA_DIR XDG_CONFIG_HOME caller.his names.dat msn.dat areacode.lst "EXIT STATUS"; do
    printf '%s\n' "$man_text" | grep -q -- "$word" || fail "man page lacks $word"
done

grep -qx "ExecStart=.*/bin/tavo --headless" "$stage/usr/lib/systemd/user/tavo.service" ||
    fail "user unit does not run tavo --headless"
grep -qx 'Restart=on-failure' "$stage/usr/lib/systemd/user/tavo.service" || fail "user unit restart"

[ "$("$stage/usr/bin/tavo" --version)" = "TAVO 1.3.3" ] || fail "tavo --version"

if [ "$failures" -eq 0 ]; then
    echo "1 passed, 0 failed"
    exit 0
fi
echo "0 passed, 1 failed"
exit 1
