#!/usr/bin/env bash
# Builds the Debian package qrx_<version>_<arch>.deb in build-package, or in the folder given, and
# beside it the Windows setup program qrx-setup-<version>.exe, and prints their paths. The package
# is a Release build with Debian's hardening flags, installed under /usr; a site installs it with
# `apt install ./qrx_*.deb`. The setup program installs the Windows build (scripts/make-setup.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$(realpath -m "${1:-$root/build-package}")
# dpkg-dev gives the flags and dpkg-shlibdeps, which with file finds the libraries to depend on.
"$root/scripts/install-deps.sh" dpkg-dev file
cd "$root"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$dir" -j"$(nproc)" --target qrx qrx-collect qrx-report qrx-reader-sim qrx_packaging
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$dir"/qrx_*.deb
"$root/scripts/make-setup.sh" "$dir"
