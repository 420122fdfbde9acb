#!/usr/bin/env bash
# Pictures of every dialog, into docs/screens (or the folder given): the test programs save each
# dialog as they drive it against the simulated readers. They run on an Xvfb screen with the
# Openbox window manager, so that windows are framed and placed as on a desktop. The README's
# pictures, cut from the screen along the window's frame, are copied to docs/: the main window
# with the status check, a batch upload under way, the on-line upload and the time sheet.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/screens}")
tests=(tst_shell tst_admin tst_upload tst_download tst_report)
readme=(main-window batch-upload online-upload time-sheet)
"$root/scripts/install-deps.sh" openbox
cmake -S "$root" -B "$root/build-release" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build-release" -j"$(nproc)" --target "${tests[@]}"
mkdir -p "$out"
rm -f "${readme[@]/#/$out/}"

# Inside the X session: the window manager first (it is up once it has announced its desktops),
# then the test programs one after the other.
session='
openbox --config-file "$ROOT/scripts/openbox-rc.xml" &
wm=$!
for _ in $(seq 100); do xdotool get_num_desktops >/dev/null 2>&1 && break; sleep 0.1; done
status=0
for t in $TESTS; do
    QRX_SCREENSHOTS=$OUT "$ROOT/build-release/tests/$t" >/dev/null || { echo "$t failed"; status=1; }
done
kill $wm
exit $status
'
ROOT=$root OUT=$out TESTS="${tests[*]}" xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "$session"
for picture in "${readme[@]}"; do cp "$out/$picture.png" "$root/docs/$picture.png"; done
ls "$out"
