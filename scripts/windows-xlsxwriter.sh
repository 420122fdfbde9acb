#!/usr/bin/env bash
# Prints the folder of libxlsxwriter built for 64-bit Windows, building it first when it is not
# cached. It is Debian's own source package (the version of the host's libxlsxwriter-dev) built
# with MinGW-w64 as a static library, to be linked with the static zlib of libz-mingw-w64-dev:
# the programs then need no DLL of it. Kept under a folder named after the version and a hash of
# the build options and the toolchain file; QRX_CACHE names the cache's root (default:
# ~/.cache/qrx). Build output goes to stderr.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
scripts/install-deps.sh g++-mingw-w64-x86-64-posix ninja-build dpkg-dev libz-mingw-w64-dev >&2

version=$(dpkg-query -W -f='${Version}' libxlsxwriter-dev | sed 's/+.*//; s/-.*//')
toolchain=$repo/cmake/mingw-w64-x86_64.cmake
options=(-DBUILD_SHARED_LIBS=OFF -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DCMAKE_BUILD_TYPE=Release)
key=$( (echo "${options[*]}"; cat "$toolchain") | sha256sum | cut -c1-12)
cache=${QRX_CACHE:-$HOME/.cache/qrx}
prefix=$cache/xlsxwriter-$version-mingw64-$key
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/qrx-xlsxwriter-win.XXXXXX")
trap 'rm -rf "$work"' EXIT
scripts/apt-source.sh libxlsxwriter "$work"
source_dir=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'libxlsxwriter-*' | head -n1)

rm -rf "$prefix"
cmake -S "$source_dir" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${options[@]}" >&2
cmake --build "$work/build" --parallel "$(nproc)" >&2
cmake --install "$work/build" >&2
touch "$prefix/.complete"
echo "$prefix"
