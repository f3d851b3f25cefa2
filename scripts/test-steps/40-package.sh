#!/usr/bin/env bash
# Builds the Debian package the way a distribution would (prefix /usr), checks what it holds
# and what it depends on, unpacks it into a scratch root and starts the unpacked program
# headless. Nothing is installed onto this machine. It packs the program the unit step built
# (configured for /usr; the tests and benchmarks built beside it are not installed).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build"
scratch=$(mktemp -d)
player_pid=""

cleanup() {
    if [ -n "$player_pid" ] && kill -0 "$player_pid" 2>/dev/null; then
        kill "$player_pid" 2>/dev/null || true
        wait "$player_pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Every issue fails, pedantic hints included, but the hint that the id holds a capital: the id
# is also the program's name on the session bus and its desktop entry's name, and application
# ids keep the capital of the program's name, as GNOME's and KDE's do.
validate_metainfo() {
    local out others rc=0
    out=$(appstreamcli validate --no-net --pedantic --strict "$1" 2>&1) || rc=$?
    echo "$out"
    others=$(grep -E '^[EWIP]: ' <<<"$out" |
        grep -vE '^P: io\.github\.quorvela\.Quorvela:[0-9]+: cid-contains-uppercase-letter ' ||
        true)
    [ "$rc" -eq 0 ] && [ -z "$others" ] || fail "appstreamcli finds fault with $1"
}
# desktop-file-validate succeeds with hints; any remark fails here.
validate_entry() {
    local out rc=0
    out=$(desktop-file-validate "$1" 2>&1) || rc=$?
    [ "$rc" -eq 0 ] && [ -z "$out" ] || { echo "$out"; fail "desktop-file-validate rejects $1"; }
}

echo "-- desktop entry and metainfo of the source tree"
validate_entry "$root/data/io.github.quorvela.Quorvela.desktop"

echo "-- package build (prefix /usr) in build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    >/dev/null
cmake --build "$build" -j"$(nproc)" >"$scratch/build.log" 2>&1 ||
    { cat "$scratch/build.log" >&2; fail "the package build does not compile"; }

# The unpacked scratch root has another prefix, so the help page's compiled-in folder is
# checked where it is decided: in the package build's compile commands.
grep -qE 'QUORVELA_DATADIR=[\\"]+/usr/share/quorvela[\\"]+ ' "$build/compile_commands.json" ||
    fail "the package build does not look for its data in /usr/share/quorvela"

validate_metainfo "$build/data/io.github.quorvela.Quorvela.metainfo.xml"

echo "-- cpack -G DEB"
(cd "$build" && cpack -G DEB -B "$scratch/pkg" >/dev/null) || fail "cpack -G DEB failed"
deb="$scratch/pkg/quorvela_1.00_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb") made; found: $(ls "$scratch/pkg")"
echo "built $(basename "$deb"), $(stat -c %s "$deb") bytes"

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
expect=(
    ./usr/bin/quorvela
    ./usr/share/applications/io.github.quorvela.Quorvela.desktop
    ./usr/share/metainfo/io.github.quorvela.Quorvela.metainfo.xml
    ./usr/share/doc/quorvela/copyright
)
# Files the source tree provides must reach the package.
for size in 16 32 48 64 128; do
    [ -f "$root/data/icons/quorvela-$size.png" ] &&
        expect+=("./usr/share/icons/hicolor/${size}x${size}/apps/quorvela.png")
done
[ -f "$root/data/icons/quorvela.svg" ] && expect+=(./usr/share/icons/hicolor/scalable/apps/quorvela.svg)
[ -f "$root/data/help.htm" ] && expect+=(./usr/share/quorvela/help.htm)
for path in "${expect[@]}"; do
    grep -qxF "$path" <<<"$contents" || fail "the package lacks $path"
done
! grep -qxF ./usr/share/applications/quorvela.desktop <<<"$contents" ||
    fail "the package still holds the entry under its old name"
echo "package holds ${#expect[@]} expected files"

for field in Package:quorvela Version:1.00 Section:sound; do
    value=$(dpkg-deb -f "$deb" "${field%%:*}")
    [ "$value" = "${field#*:}" ] || fail "${field%%:*} is '$value', not '${field#*:}'"
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
names=$(tr ',' '\n' <<<"$depends" | awk '{print $1}')
# Every library the program links must come from a package the package depends on.
arch=$(dpkg --print-architecture)
for soname in $(readelf -d "$build/src/quorvela" | awk '/\(NEEDED\)/{gsub(/[][]/, "", $NF); print $NF}'); do
    providers=$(dpkg -S "*/$soname" 2>/dev/null | grep "^[^:]*:$arch:" | cut -d: -f1 | sort -u || true)
    [ -n "$providers" ] || fail "no installed package provides $soname"
    grep -qxF -f <(echo "$providers") <<<"$names" ||
        fail "Depends names none of $(echo $providers) for $soname"
done
for pkg in libc6 libqt6widgets6 libpulse0 libmpg123-0; do
    grep -qxF "$pkg" <<<"$names" || fail "Depends does not name $pkg"
done

echo "-- unpacked into a scratch root"
dpkg-deb -x "$deb" "$scratch/root"
validate_entry "$scratch/root/usr/share/applications/io.github.quorvela.Quorvela.desktop"
validate_metainfo "$scratch/root/usr/share/metainfo/io.github.quorvela.Quorvela.metainfo.xml"

mkdir -p "$scratch/home" "$scratch/config"
HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" QT_QPA_PLATFORM=offscreen \
    QUORVELA_AUDIO_OUTPUT=null "$scratch/root/usr/bin/quorvela" >"$scratch/out.log" 2>&1 &
player_pid=$!
sleep 2
if ! kill -0 "$player_pid" 2>/dev/null; then
    rc=0
    wait "$player_pid" || rc=$?
    player_pid=""
    cat "$scratch/out.log" >&2
    fail "the installed program ended by itself within 2 s (exit status $rc)"
fi
kill -TERM "$player_pid"
rc=0
wait "$player_pid" || rc=$?
player_pid=""
# 128 + SIGTERM: it was still running and ended on the signal, not on a fault of its own.
[ "$rc" -eq 143 ] || { cat "$scratch/out.log" >&2; fail "the program ended with $rc on SIGTERM"; }
echo "installed program ran headless for 2 s and stopped on SIGTERM"
