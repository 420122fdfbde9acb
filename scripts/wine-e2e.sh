#!/usr/bin/env bash
# The Windows build end to end under Wine (run by test-windows.sh, in its Wine prefix):
#   1. the setup program, built from the programs' folder, installs silently (/S);
#   2. the installed qrx.exe, on an Xvfb screen with Openbox, against the Linux simulator on the
#      prefix's COM2: the main window opens, the status check runs, and a batch upload writes
#      .\DATA2\B<today>.TXT — byte for byte the file the Linux qrx writes, driven the same way,
#      for readers with the same memory;
#   3. qrx-collect.exe in the console, ended by Ctrl+C (Wine turns SIGINT into the console's
#      Ctrl+C event), and as a service of Wine's service manager: installed, started, collecting
#      the punches of the simulator into the work folder, stopped cleanly, removed.
# The pictures of both Windows screens are left in build-windows/e2e (copied to docs/ with
# --pictures).
#
#   wine-e2e.sh STAGE LINUX_BUILD [--pictures]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
stage=$(realpath "$1")
linux=$(realpath "$2")
pictures=${3:-}
: "${WINEPREFIX:?run by test-windows.sh, in its Wine prefix}"
"$root/scripts/install-deps.sh" openbox xdotool imagemagick xvfb xauth nsis
sim=$linux/sim/qrx-reader-sim
out=$root/build-windows/e2e
rm -rf "$out"
mkdir -p "$out"

fail() {
    echo "wine-e2e: $*" >&2
    exit 1
}

echo "== setup /S"
setup=$("$root/scripts/make-setup.sh" "$out")
DISPLAY= wine "$setup" /S
wineserver -w
programs=$WINEPREFIX/drive_c/Program\ Files/qrx
for f in qrx.exe qrx-collect.exe qrx-report.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll platforms/qwindows.dll \
    styles/qwindowsvistastyle.dll libstdc++-6.dll NanumGothicCoding.ttf docs/guide-ko.html uninstall.exe; do
    [ -f "$programs/$f" ] || fail "setup /S did not install $f"
done
[ -d "$WINEPREFIX/drive_c/QRX/DATA2" ] || fail "setup /S made no C:\\QRX\\DATA2"
[ -d "$WINEPREFIX/drive_c/CARD/DATA1" ] || fail "setup /S made no C:\\CARD\\DATA1"
find "$WINEPREFIX/drive_c" -name '근태관리.lnk' | grep -q . || fail "setup /S made no 근태관리 shortcut"
[ "$(DISPLAY= wine "$programs/qrx-collect.exe" --version | tr -d '\r')" = "qrx-collect $(sed -n 's/^project(qrx VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")" ] ||
    fail "the installed qrx-collect.exe does not run"
# libxlsxwriter and zlib are inside it: it starts with the folder's DLLs alone.
[ "$(DISPLAY= wine "$programs/qrx-report.exe" --version | tr -d '\r')" = "qrx-report $(sed -n 's/^project(qrx VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")" ] ||
    fail "the installed qrx-report.exe does not run"

# The readers' memory both runs start from: one reader with eight stored records.
"$sim" --readers 1 --records 8 --punch-every 0 --link "$out/template-link" --state "$out/template.state" \
    >"$out/template.out" 2>&1 &
template=$!
for _ in $(seq 100); do grep -q ' readers on ' "$out/template.out" 2>/dev/null && break; sleep 0.1; done
kill -TERM $template
wait $template || true
[ -f "$out/template.state" ] || fail "the simulator kept no memory"

# The line: COM2, 9600 bit/s, no parity, 8 data bits, 1 stop bit, one reader.
for build in linux windows; do
    mkdir -p "$out/$build/DATA2"
    printf '\001\006\000\001\000\001' >"$out/$build/QRX.CFG"
    cp "$out/template.state" "$out/$build/sim.state"
done

echo "== qrx and qrx.exe: main window, status check, batch upload"
session='
set -eu
openbox --config-file "$ROOT/scripts/openbox-rc.xml" &
wm=$!
for _ in $(seq 100); do xdotool get_num_desktops >/dev/null 2>&1 && break; sleep 0.1; done
window() { xdotool search --sync --onlyvisible --name "$1" | tail -n1; }
# Waits up to $2 seconds for a window whose title matches $1 and prints its id.
await() { timeout "$2" bash -c "$(declare -f window); window \"\$1\"" _ "$1"; }
press() {
    xdotool windowactivate --sync "$1"
    xdotool key "$2"
}
shoot() { import -window "$1" "$OUT/$2.png"; }
for build in linux windows; do
    work=$OUT/$build
    if [ $build = linux ]; then
        (cd "$work" && exec "$SIM" --readers 1 --punch-every 0 --link COM2 --state "$work/sim.state" >"$work/sim.out" 2>&1) &
    else
        (cd "$WINEPREFIX/dosdevices" && exec "$SIM" --readers 1 --punch-every 0 --link com2 --state "$work/sim.state" >"$work/sim.out" 2>&1) &
    fi
    simpid=$!
    for _ in $(seq 100); do grep -q " readers on " "$work/sim.out" 2>/dev/null && break; sleep 0.1; done
    if [ $build = linux ]; then
        # On the screen, whatever platform the tests around were given.
        # Its single-instance lock of its own: another qrx on this machine must not refuse it.
        mkdir -p -m 700 "$work/run"
        (cd "$work" && QRX_WORKDIR=$work QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work/run \
            exec "$LINUX/src/qrx" >"$work/qrx.out" 2>&1) &
    else
        (cd "$work" && exec wine "$PROGRAMS/qrx.exe" >"$work/qrx.out" 2>&1) &
    fi
    # The splash bears the title of the main window for a moment: the main window is the one left.
    await "근태관리  QRX-500" 90 >/dev/null
    sleep 3
    main=$(await "근태관리  QRX-500" 10)
    shoot "$main" "$build-main-window"
    press "$main" ctrl+c
    check=$(await "통신상태 확인" 30)
    press "$check" alt+s
    sleep 3
    shoot "$check" "$build-status-check"
    press "$check" alt+x
    sleep 1
    press "$main" ctrl+d
    batch=$(await "수집자료 올려받기 \\(일괄작업\\)" 30)
    press "$batch" alt+s
    done=$(await "^확인\$" 90)
    press "$done" Return
    sleep 1
    shoot "$batch" "$build-batch-upload"
    press "$batch" alt+x
    sleep 1
    press "$main" ctrl+x
    sleep 2
    kill $simpid 2>/dev/null || true
    wait $simpid 2>/dev/null || true
done
kill $wm
'
ROOT=$root OUT=$out SIM=$sim LINUX=$linux PROGRAMS=$programs \
    xvfb-run -a -n $((200 + $$ % 500)) -s "-screen 0 1280x1024x24" bash -c "$session"
wineserver -w

today=$(date +%Y%m%d)
for build in linux windows; do
    [ -s "$out/$build/DATA2/B$today.TXT" ] || fail "the $build batch upload wrote no DATA2/B$today.TXT"
done
cmp "$out/linux/DATA2/B$today.TXT" "$out/windows/DATA2/B$today.TXT" ||
    fail "the Windows batch file differs from the Linux one"
[ "$(grep -c $'\r$' "$out/windows/DATA2/B$today.TXT")" = 8 ] || fail "the batch file does not hold 8 CR LF lines"
echo "== the batch files of both builds are the same 8 lines"
echo "== qrx-collect.exe in the console and as a service"
service=$out/service
mkdir -p "$service/DATA2"
printf '\001\006\000\001\000\002' >"$service/QRX.CFG"
(cd "$WINEPREFIX/dosdevices" &&
    exec "$sim" --readers 2 --records 0 --punch-every 1 --link com2 --punch-log "$service/punches" \
        >"$service/sim.out" 2>&1) &
simpid=$!
console=$out/console
mkdir -p "$console/DATA2"
cp "$service/QRX.CFG" "$console/"
(cd "$console" && DISPLAY= exec wine "$programs/qrx-collect.exe" >"$console/log" 2>&1) &
collector=$!
for _ in $(seq 120); do [ "$(grep -sc $'\r$' "$console/DATA2/A$today.TXT")" -ge 2 ] 2>/dev/null && break; sleep 0.5; done
kill -INT $collector
wait $collector || fail "qrx-collect.exe ended by Ctrl+C with exit code $?"
grep -aqE ' stopped.?$' "$console/log" || fail "qrx-collect.exe did not stop cleanly on Ctrl+C"
[ "$(grep -c $'\r$' "$console/DATA2/A$today.TXT")" -ge 2 ] || fail "qrx-collect.exe collected nothing"
echo "== qrx-collect.exe collected in the console and ended cleanly on Ctrl+C"

# Wine ends its service processes a few seconds after its last ordinary process: a persistent
# server (started afresh, which ends the prefix's processes) keeps the service running meanwhile.
wineserver -k || true
wineserver -p
DISPLAY= wine "$programs/qrx-collect.exe" --install-service --workdir "$(printf 'Z:%s' "$service" | tr / '\\')"
DISPLAY= wine sc start qrx-collect >/dev/null
online=$service/DATA2/A$today.TXT
for _ in $(seq 120); do [ "$(grep -sc $'\r$' "$online")" -ge 3 ] 2>/dev/null && break; sleep 0.5; done
DISPLAY= wine sc stop qrx-collect >/dev/null
for _ in $(seq 60); do grep -q "service stopped" "$service/qrx-collect.log" 2>/dev/null && break; sleep 0.5; done
DISPLAY= wine "$programs/qrx-collect.exe" --remove-service
wineserver -k
kill $simpid
wait $simpid || true
grep -q "service started" "$service/qrx-collect.log" || fail "the service did not start"
grep -q "service stopped" "$service/qrx-collect.log" || fail "the service did not stop cleanly"
[ "$(grep -c $'\r$' "$online")" -ge 3 ] || fail "the service collected no punches into $online"
# Every line the service wrote is a punch the simulator made (reader and sequence number).
while IFS= read -r line; do
    grep -qxF "$(printf '%s' "${line:0:9}" | tr - ' ')" "$service/punches" || fail "not a punch made: $line"
done <"$online"
echo "== the service collected $(grep -c . "$online") punches and stopped"
if [ "$pictures" = --pictures ]; then
    for picture in main-window status-check batch-upload; do
        cp "$out/windows-$picture.png" "$root/docs/windows-$picture.png"
    done
fi
