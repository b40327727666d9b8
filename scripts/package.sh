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
# Everything a user expects of an installed program is in it.
contents=$(dpkg -c "$deb")
for file in usr/bin/zenara usr/share/zenara/satlist.znr usr/share/zenara/lock.wav \
    usr/share/zenara/Translations/zenara_ru.qm usr/share/man/man1/zenara.1.gz \
    usr/share/applications/net.tavarin.Zenara.desktop \
    usr/share/metainfo/net.tavarin.Zenara.metainfo.xml \
    usr/share/icons/hicolor/48x48/apps/net.tavarin.Zenara.png \
    usr/share/doc/zenara/README.md.gz usr/share/doc/zenara/copyright; do
    grep -q " \./$file\$" <<<"$contents" || { echo "The package lacks /$file" >&2; exit 1; }
done
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
[ "$version" = "zenara $(dpkg-deb -f "$deb" Version)" ] || { echo "Version: $version" >&2; exit 1; }
# The unpacked program, not the build tree it was made in.
if strings "$root/usr/bin/zenara" | grep -qF "$out/zenara/obj-"; then
    echo "The program still names its build folder" >&2
    exit 1
fi
grep -q "19.2" <<<"$satellites"
echo "Package: $deb"
if [ "${1:-}" = "--install" ]; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "$deb"
fi
