#!/usr/bin/env bash
# Installs the Debian 12 packages Unitscope needs to build, run and test. Installs only what is
# missing, so running it again costs a second.
set -euo pipefail

PACKAGES=(
    g++ cmake ninja-build pkg-config clang-format
    qt6-base-dev libqt6opengl6-dev qt6-serialport-dev qt6-charts-dev
    libcjson-dev libboost-dev libgtest-dev libgmock-dev libbenchmark-dev
    xvfb x11-apps imagemagick socat iproute2
)

missing=()
for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "All build and test dependencies are installed."
    exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${missing[@]}"
