#!/usr/bin/env bash
# Builds the Debian package from a build folder configured with -DCMAKE_INSTALL_PREFIX=/usr and
# checks it: the files it holds, its dependencies, lintian, the desktop entry and the metainfo.
# As root with QRX_TEST_INSTALL=1 (CI), on a machine without qrx installed, it also installs the
# package with apt, checks the installed programs and removes the package again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$(realpath "${1:?usage: test-package.sh BUILD_DIR}")
"$root/scripts/install-deps.sh" dpkg-dev file lintian desktop-file-utils appstream

fail() {
    echo "test-package: $*" >&2
    exit 1
}

rm -f "$dir"/qrx_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
debs=("$dir"/qrx_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "cpack made no single qrx_*.deb"
fi
deb=${debs[0]}
echo "== $(basename "$deb")"

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
expected=(
    ./usr/bin/qrx ./usr/bin/qrx-collect ./usr/bin/qrx-report ./usr/bin/qrx-reader-sim
    ./usr/share/applications/qrx.desktop ./usr/share/applications/qrx-guide.desktop
    ./usr/share/doc/qrx/guide/guide-ko.html ./usr/share/doc/qrx/guide/main-window.png
    ./usr/share/metainfo/io.github.qrx.qrx.metainfo.xml
    ./usr/share/icons/hicolor/scalable/apps/qrx.svg
    ./usr/share/man/man1/qrx.1.gz ./usr/share/man/man1/qrx-collect.1.gz
    ./usr/share/man/man1/qrx-reader-sim.1.gz ./usr/share/man/man1/qrx-report.1.gz
    ./usr/lib/systemd/system/qrx-collect.service ./etc/default/qrx-collect
    ./usr/lib/systemd/system/qrx-report.service ./usr/lib/systemd/system/qrx-report.timer
    ./etc/default/qrx-report ./usr/share/doc/qrx/guide/time-sheet.png
    ./usr/share/doc/qrx/copyright ./usr/share/doc/qrx/changelog.gz
)
for size in 16 24 32 48 64 128 256; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/qrx.png")
done
for f in "${expected[@]}"; do
    grep -qxF "$f" <<<"$contents" || fail "$f is not in the package"
done

# Dependencies: the libraries found by dpkg-shlibdeps, and the font the columns need.
depends=$(dpkg-deb -f "$deb" Depends)
for d in fonts-nanum libqt6widgets6 libqt6core6 libxlsxwriter4 libc6; do
    grep -qE "(^|, )$d( |,|$)" <<<"$depends" || fail "Depends lacks $d: $depends"
done
[ "$(dpkg-deb -f "$deb" Recommends)" = qt6-translations-l10n ] || fail "Recommends is not qt6-translations-l10n"
[ "$(dpkg-deb -f "$deb" Package)" = qrx ] || fail "the package is not named qrx"

tree=$(mktemp -d)
installed=0
# A failed check leaves the machine as it found it.
cleanup() {
    rm -rf "$tree"
    [ "$installed" = 1 ] && apt-get purge -y -qq qrx >/dev/null
    return 0
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$tree"
desktop-file-validate "$tree/usr/share/applications/qrx.desktop"
desktop-file-validate "$tree/usr/share/applications/qrx-guide.desktop"
appstreamcli validate --no-net "$tree/usr/share/metainfo/io.github.qrx.qrx.metainfo.xml"
lintian --fail-on error "$deb" 2> >(grep -v "running with root privileges" >&2)

if [ "$(id -u)" -ne 0 ] || [ "${QRX_TEST_INSTALL:-}" != 1 ]; then
    echo "== not installed (needs root and QRX_TEST_INSTALL=1)"
    exit 0
fi
if dpkg-query -W -f='${Status}' qrx 2>/dev/null | grep -q "ok installed"; then
    echo "== not installed: qrx is installed on this machine already"
    exit 0
fi
echo "== apt-get install $(basename "$deb")"
export DEBIAN_FRONTEND=noninteractive
installed=1
apt-get install -y -qq "$deb" >/dev/null
grep -qx "Name=근태관리" /usr/share/applications/qrx.desktop || fail "the installed desktop entry does not name 근태관리"
[ -f /usr/lib/systemd/system/qrx-collect.service ] || fail "the unit is not installed"
[ "$(qrx-collect --version)" = "qrx-collect $(dpkg-deb -f "$deb" Version)" ] || fail "qrx-collect --version"
[ "$(qrx-report --version)" = "qrx-report $(dpkg-deb -f "$deb" Version)" ] || fail "qrx-report --version"
if command -v systemd-analyze >/dev/null; then
    for unit in qrx-collect.service qrx-report.service qrx-report.timer; do
        problems=$(systemd-analyze verify "/usr/lib/systemd/system/$unit" 2>&1)
        [ -z "$problems" ] || fail "systemd-analyze verify $unit: $problems"
    done
fi
echo "== apt-get remove qrx"
apt-get remove -y -qq qrx >/dev/null
for f in qrx qrx-collect qrx-report qrx-reader-sim; do
    [ ! -e "/usr/bin/$f" ] || fail "/usr/bin/$f is left after apt-get remove"
done
for unit in qrx-collect.service qrx-report.service qrx-report.timer; do
    [ ! -e "/usr/lib/systemd/system/$unit" ] || fail "$unit is left after apt-get remove"
done
installed=0
apt-get purge -y -qq qrx >/dev/null
echo "== package checks passed"
