#!/usr/bin/env bash
# Unpacks the Debian source package named into the folder given: apt-source.sh PACKAGE FOLDER.
# The source comes from the machine's own Debian archive; a deb-src entry is added beside each
# deb entry of its apt sources when there is none. Output goes to stderr.
set -euo pipefail
package=$1
folder=$2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! apt-get source --print-uris "$package" >/dev/null 2>&1; then
    src=/etc/apt/sources.list.d/qrx-deb-src
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            $sudo tee "$src.sources" >/dev/null
    else
        grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $sudo tee "$src.list" >/dev/null
    fi
    $sudo apt-get update -qq >&2
fi
(cd "$folder" && apt-get source -qq "$package" >&2)
