#!/usr/bin/env bash
# Installs the Debian 12 packages qrx needs to build, run and test (only the missing ones).
set -euo pipefail
packages=(cmake g++ make qt6-base-dev qt6-translations-l10n fonts-nanum xvfb xauth xdotool imagemagick openbox)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
