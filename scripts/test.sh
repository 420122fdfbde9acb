#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: a normal build and one with
# AddressSanitizer + UndefinedBehaviorSanitizer; then the Windows build, its tests under Wine
# against the normal build's simulator, and its setup program; then builds the Debian package
# from the normal build and checks it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
jobs=$(nproc)
for variant in normal sanitize; do
    dir=build-test-$variant
    sanitize=OFF
    [ "$variant" = sanitize ] && sanitize=ON
    echo "== $variant build"
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQRX_SANITIZE=$sanitize \
        -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
    cmake --build "$dir" -j"$jobs"
    echo "== $variant tests"
    # The test programs mostly wait on the simulated line's real time, so they share the cores.
    (cd "$dir" && ctest --output-on-failure --timeout 600 -j"$jobs")
done
echo "== windows"
scripts/test-windows.sh build-test-normal
echo "== package"
scripts/test-package.sh build-test-normal
