#!/usr/bin/env bash
# Installs the Debian packages Zenara builds and tests with; does nothing when
# they are all there already.
set -euo pipefail

packages=(cmake g++ pkg-config qtbase5-dev qttools5-dev qttools5-dev-tools libqwt-qt5-dev
          libqt5svg5-dev libqt5opengl5-dev qtmultimedia5-dev libqt5multimedia5-plugins libsndfile1-dev
          xvfb xauth)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
