#!/usr/bin/env bash
# Pictures of every dialog under Xvfb, into docs/screens (or the folder given): the test programs
# save each dialog as they drive it against the simulated readers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/screens}")
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build-release" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build-release" -j"$(nproc)" --target tst_shell tst_admin tst_upload tst_download
mkdir -p "$out"
for t in tst_shell tst_admin tst_upload tst_download; do
    QRX_SCREENSHOTS=$out xvfb-run -a -s "-screen 0 1280x1024x24" "$root/build-release/tests/$t" >/dev/null
done
ls "$out"
