#!/usr/bin/env bash
# Installs the Debian 12 packages qrx needs to build, run and test (only the missing ones), and
# the further ones named on the command line.
set -euo pipefail
# libxlsxwriter-dev writes the time sheet's workbooks; python3-openpyxl reads them back in the tests.
packages=(cmake g++ make qt6-base-dev qt6-translations-l10n fonts-nanum xvfb xauth xdotool imagemagick
    librsvg2-bin libxlsxwriter-dev python3-openpyxl "$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
