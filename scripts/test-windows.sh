#!/usr/bin/env bash
# Builds the Windows target (scripts/build-windows.sh) and runs its tests under Wine: the test
# programs through CTest (wine as the cross-compiling emulator), the station tests against the
# Linux simulator of the Linux build given (default build-test-normal) on a pseudo-terminal that
# the prefix's dosdevices/com2 points at, then qrx-report.exe writing the same workbook as the
# Linux build's qrx-report, then the end-to-end check of the programs' folder
# (scripts/wine-e2e.sh). Every run has a Wine prefix of its own, thrown away afterwards.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
linux=$(realpath "${1:-$root/build-test-normal}")
[ -x "$linux/sim/qrx-reader-sim" ] || { echo "test-windows: no $linux/sim/qrx-reader-sim" >&2; exit 1; }
[ -x "$linux/src/qrx-report" ] || { echo "test-windows: no $linux/src/qrx-report" >&2; exit 1; }
"$root/scripts/install-deps.sh" wine wine64 python3-openpyxl
dir=$root/build-windows
stage=$("$root/scripts/build-windows.sh" "$dir")
qt=$("$root/scripts/windows-qt.sh")

# Wine's own names for Unix folders: drive Z: is the root.
dos() { printf 'Z:%s' "$1" | tr / '\\'; }
export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/qrx-wine.XXXXXX")
sheets=$(mktemp -d "${TMPDIR:-/tmp}/qrx-sheets.XXXXXX")
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX" "$sheets"
}
trap cleanup EXIT
export WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko installer dialogs in a prefix without a display.
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEPATH="$(dos "$qt/bin");$(dos /usr/lib/gcc/x86_64-w64-mingw32/12-posix);$(dos /usr/x86_64-w64-mingw32/lib)"
export QRX_LINUX_READER_SIM=$linux/sim/qrx-reader-sim
echo "== wine prefix"
DISPLAY= wineboot -i >/dev/null 2>&1
wineserver -w
echo "== windows tests (wine)"
(cd "$dir" && DISPLAY= ctest --output-on-failure --timeout 600 -j"$(nproc)")
echo "== qrx-report.exe (wine): the month's workbook, the same as the Linux build's"
check=$root/tests/report/check_workbook.py
/usr/bin/python3 "$check" --program "$linux/src/qrx-report" --out "$sheets/linux"
/usr/bin/python3 "$check" --program "wine $stage/qrx-report.exe" --dos --out "$sheets/windows" \
    --same-as "$sheets/linux/month.xlsx"
echo "== windows end to end (wine)"
"$root/scripts/wine-e2e.sh" "$stage" "$linux"
