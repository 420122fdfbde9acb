#!/usr/bin/env bash
# Prints the folder of Qt built for 64-bit Windows, building it first when it is not cached.
#
# Qt for the Windows target is not a Debian package: qtbase is built from Debian's own source
# package (the same 6.4.2 as the host Qt, whose moc and rcc it uses) with MinGW-w64. The result
# is kept under a folder named after the Qt version and a hash of the configure line and the
# toolchain file, so only a fresh machine (or a changed configure line) pays for the build.
# QRX_CACHE names the cache's root (default: ~/.cache/qrx). Build output goes to stderr.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
scripts/install-deps.sh g++-mingw-w64-x86-64-posix ninja-build dpkg-dev zstd >&2

version=$(dpkg-query -W -f='${Version}' qt6-base-dev | sed 's/+.*//; s/-.*//')
toolchain=$repo/cmake/mingw-w64-x86_64.cmake
configure=(-release -shared -nomake examples -nomake tests -no-dbus -no-opengl -no-icu -no-glib
    -no-feature-sql -no-feature-network -no-feature-printsupport -no-feature-concurrent
    -no-feature-xml -no-feature-vulkan -no-libjpeg -qt-zlib -qt-pcre -qt-libpng -qt-freetype
    -qt-harfbuzz -qt-doubleconversion -no-feature-direct2d1_1 -no-feature-tabletevent)
key=$( (echo "${configure[*]}"; cat "$toolchain") | sha256sum | cut -c1-12)
cache=${QRX_CACHE:-$HOME/.cache/qrx}
prefix=$cache/qt-$version-mingw64-$key
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/qrx-qt-win.XXXXXX")
trap 'rm -rf "$work"' EXIT
scripts/apt-source.sh qt6-base "$work"
source_dir=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'qt6-base-*' | head -n1)

rm -rf "$prefix"
mkdir -p "$work/build"
(cd "$work/build" &&
    "$source_dir/configure" -prefix "$prefix" -platform linux-g++ -xplatform win32-g++ \
        -qt-host-path /usr "${configure[@]}" -- -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >&2 &&
    cmake --build . --parallel "$(nproc)" >&2 &&
    cmake --install . >&2)
touch "$prefix/.complete"
echo "$prefix"
