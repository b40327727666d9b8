#!/usr/bin/env bash
# Builds the Debian package from a clean clone of the committed tree (HEAD:
# changes not committed are not in it), checks it with lintian (an error or
# a warning fails), unpacks it into a folder of its own and runs the unpacked
# program from there. With --install it then installs it with apt.
# The package is left in build-package/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
out="$PWD/build-package"
rm -rf "$out"
mkdir -p "$out"
git clone -q . "$out/zenara"
echo "Building the package (log: $out/build.log)"
if ! (cd "$out/zenara" && DEB_BUILD_OPTIONS="parallel=$(nproc) noautodbgsym" \
        dpkg-buildpackage -us -uc -b >"$out/build.log" 2>&1); then
    tail -40 "$out/build.log"
    exit 1
fi
deb=$(ls "$out"/zenara_*_*.deb)
lintian --fail-on error,warning "$deb" 2>&1 | grep -v 'root privileges' || true
lintian --fail-on error,warning "$deb" >/dev/null 2>&1

# The unpacked program must find its own data: nothing of the user's, no
# build tree, no working folder with data in it.
root="$out/root"
dpkg -x "$deb" "$root"
home="$out/home"
mkdir -p "$home/run"
run() {
    (cd "$home/run" && env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 \
        XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_DATA_DIRS="$home/none" \
        QT_QPA_PLATFORM=offscreen "$root/usr/bin/zenara" "$@")
}
version=$(run --version)
satellites=$(run --print-satellites)
echo "$version; --print-satellites: $(echo "$satellites" | wc -l) satellites"
grep -q "zenara 2" <<<"$version"
grep -q "19.2" <<<"$satellites"
echo "Package: $deb"
if [ "${1:-}" = "--install" ]; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "$deb"
fi
