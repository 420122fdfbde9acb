#!/usr/bin/env bash
# Builds the Windows programs and their tests with MinGW-w64 against the cross-built Qt (made and
# cached by windows-qt.sh), in build-windows or the folder given, and installs the programs'
# folder (programs, DLLs, plugins, fonts, user guide) into <folder>/stage. Prints the stage folder.
# Build output goes to stderr.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$(realpath -m "${1:-$root/build-windows}")
"$root/scripts/install-deps.sh" g++-mingw-w64-x86-64-posix ninja-build fonts-nanum qt6-translations-l10n >&2
qt=$("$root/scripts/windows-qt.sh")
xlsxwriter=$("$root/scripts/windows-xlsxwriter.sh")
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DQRX_WINDOWS_QT="$qt" -DCMAKE_PREFIX_PATH="$qt" -DQRX_WINDOWS_XLSXWRITER="$xlsxwriter" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_CROSSCOMPILING_EMULATOR=wine >&2
cmake --build "$dir" -j"$(nproc)" >&2
rm -rf "$dir/stage"
cmake --install "$dir" --prefix "$dir/stage" --strip >&2
echo "$dir/stage"
