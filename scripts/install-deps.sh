#!/usr/bin/env bash
# Installs the Debian packages Zenara builds and tests with; does nothing when
# they are all there already.
set -euo pipefail

packages=(cmake g++ pkg-config qtbase5-dev qttools5-dev qttools5-dev-tools libqwt-qt5-dev
          libqt5svg5-dev libqt5opengl5-dev qtmultimedia5-dev libqt5multimedia5-plugins libsndfile1-dev libdvbv5-dev libudev-dev
          xvfb xauth desktop-file-utils appstream man-db groff-base clang libclang-rt-14-dev
          openbox x11-utils qttranslations5-l10n umockdev libumockdev-dev
          libmicrohttpd-dev libqrencode-dev chromium chromium-driver python3-selenium
          debhelper dpkg-dev fakeroot lintian)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
fi

# A locale with a decimal comma, so that the tests can show that the data files
# do not follow the user's number format.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
    if ! dpkg-query -W -f='${Status}' locales 2>/dev/null | grep -q 'install ok installed'; then
        "${sudo[@]}" apt-get update -qq
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq locales
    fi
    "${sudo[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "Could not make the de_DE.UTF-8 locale"
fi
