#!/usr/bin/env bash
# Builds the Windows setup program qrx-setup-<version>.exe with NSIS from the Windows build's
# programs folder (scripts/build-windows.sh) into the folder given (default build-package), and
# prints its path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/build-package}")
"$root/scripts/install-deps.sh" nsis >&2
stage=$("$root/scripts/build-windows.sh" "${QRX_WINDOWS_BUILD:-$root/build-windows}")
version=$(sed -n 's/^project(qrx VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
mkdir -p "$out"
setup=$out/qrx-setup-$version.exe
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$setup" \
    "$root/packaging/windows/qrx.nsi" >&2
echo "$setup"
