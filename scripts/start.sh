#!/usr/bin/env bash
# Installs what is missing, builds qrx and starts it.
#
# The program runs in $QRX_WORKDIR (default ~/qrx): QRX.CFG, DATA1 and DATA2 live there, and a
# link COM1..COM4 there names the serial device (ln -s /dev/ttyUSB0 ~/qrx/COM1). When that folder
# holds no QRX.CFG, no real line is set up: qrx starts in ~/qrx-demo against four simulated
# readers on COM2 at 9600 bit/s, with sample input files.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build-release" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build-release" -j"$(nproc)" --target qrx qrx-reader-sim

workdir=${QRX_WORKDIR:-$HOME/qrx}
sim_pid=""
if [ ! -f "$workdir/QRX.CFG" ]; then
    workdir=$HOME/qrx-demo
    mkdir -p "$workdir/DATA1" "$workdir/DATA2"
    cd "$workdir"
    printf '\x01\x03\x00\x01\x00\x04' > QRX.CFG
    [ -f DATA1/TDATA.TXT ] || printf '%s\r\n' "1 08:30 09:00 1" "2 12:00 13:00 3" "3 13:00 13:30 4" \
        "4 18:00 23:59 2" > DATA1/TDATA.TXT
    "$root/build-release/sim/qrx-reader-sim" --readers 4 --link COM2 > "$workdir/reader-sim.log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 50); do [ -e COM2 ] && break; sleep 0.1; done
    echo "qrx: no QRX.CFG in ${QRX_WORKDIR:-$HOME/qrx}; running in $workdir against simulated readers (log: reader-sim.log)"
fi
export QRX_WORKDIR=$workdir
status=0
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "$root/build-release/src/qrx" || status=$?
else
    echo "qrx: no display; running under Xvfb"
    xvfb-run -a "$root/build-release/src/qrx" || status=$?
fi
[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
exit $status
