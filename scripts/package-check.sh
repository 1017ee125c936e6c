#!/bin/bash
# Builds the Debian package, validates it, installs it on this machine, runs
# the installed programs from the installed files only, then removes it and
# checks that nothing of it is left. Needs root (apt-get) on Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh lintian desktop-file-utils appstream xdotool xclip x11-utils

cmake -S . -B build-pkg -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX=/usr
cmake --build build-pkg -j2
rm -f build-pkg/glimmerset_*.deb
(cd build-pkg && cpack -G DEB)
deb=$(ls "$root"/build-pkg/glimmerset_*.deb)

desktop-file-validate app/glimmerset.desktop
appstreamcli validate --no-net app/org.glimmerset.Glimmerset.metainfo.xml
lintian --allow-root --fail-on error "$deb"

work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "package check: $*" >&2; exit 1; }

if dpkg-query -W -f='${Status}' glimmerset 2>/dev/null | grep -q "install ok installed"; then
    apt-get remove --purge -y -qq glimmerset
fi
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb"
dpkg -L glimmerset > "$work/files"

# The installed glimmerset-cli, with the installed templates, writes what the build tree's does.
/usr/bin/glimmerset-cli code docs/example.ch --test-program --rest -o "$work/installed.asm"
build-pkg/glimmerset-cli code docs/example.ch --test-program --rest -o "$work/built.asm"
cmp "$work/installed.asm" "$work/built.asm" || fail "the installed glimmerset-cli writes other bytes than the build's"
# So do the named sets in the installed share folder.
for set in parallel pcf8574; do
    /usr/bin/glimmerset-cli code docs/example.ch --templates "$set" --test-program --rest -o "$work/installed-$set.asm"
    build-pkg/glimmerset-cli code docs/example.ch --templates "$set" --test-program --rest -o "$work/built-$set.asm"
    cmp "$work/installed-$set.asm" "$work/built-$set.asm" || fail "the installed set $set differs from the build's"
done
# verify loads its module from beside the real executable, through the symlink in bin/.
/usr/bin/glimmerset-cli verify docs/example.ch > "$work/verify.txt" || fail "the installed verify failed"
tail -n 1 "$work/verify.txt" | grep -qx OK || fail "the installed verify did not end in OK"
/usr/bin/glimmerset-cli verify docs/example.ch --templates pcf8574 --wiring i2c:0x27 > "$work/verify-i2c.txt" ||
    fail "the installed verify failed on the backpack's set"
for page in glimmerset glimmerset-cli; do
    zcat "/usr/share/man/man1/$page.1.gz" | grep -q "^\.TH" || fail "the manual page of $page is missing"
done

# The installed window, started through its symlink in bin/, finds the installed main.asm:
# "Character Code", "Add a Test Program" and "Copy to Clipboard", then "Create Selected".
python3 - "$work/default.ch" <<'PY'
import sys
names = b"".join(b"Character %d\r\n" % g for g in range(1, 9))
open(sys.argv[1], "wb").write(names + b" 0 \r\n" * 320)
PY
/usr/bin/glimmerset-cli code "$work/default.ch" --test-program -o "$work/expected.asm"
export DISPLAY=:97
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp &
xvfb_pid=$!
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
/usr/bin/glimmerset &
app_pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Glimmerset$' | head -n 1)
sleep 1
# Positions from the window's layout in pixels: the `action` list at (432, 192), its rows
# some 16 pixels high; "Create Selected" at (448, 296), 113 x 25.
xdotool mousemove --window "$window" 470 198 click 1
xdotool key Down Down space Down Down space
xdotool mousemove --window "$window" 504 308 click 1
sleep 1
windows=$(xdotool search --onlyvisible --name '^Glimmerset$' | wc -l)
[ "$windows" -eq 1 ] || fail "the installed window showed a message box (main.asm not found?)"
xclip -o -selection clipboard > "$work/clipboard.asm"
head -c -2 "$work/expected.asm" | cmp - "$work/clipboard.asm" ||
    fail "the installed window's code differs from the installed glimmerset-cli's"
kill "$app_pid"
app_pid=

# Removal leaves nothing of the package behind.
apt-get remove --purge -y -qq glimmerset
while read -r path; do
    # Shared folders may stay; the package's own must go with every file and link.
    case "$path" in
    /usr/libexec/glimmerset | /usr/share/glimmerset | /usr/share/doc/glimmerset) [ ! -e "$path" ] || fail "$path is left after removal" ;;
    *) if [ -L "$path" ] || { [ -e "$path" ] && [ ! -d "$path" ]; }; then fail "$path is left after removal"; fi ;;
    esac
done < "$work/files"
echo "package check: $(basename "$deb") built, validated, installed, exercised and removed"
