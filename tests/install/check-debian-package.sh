#!/usr/bin/env bash
# Builds the Debian package, checks its dependencies and lintian's verdict,
# unpacks it and runs the unpacked program.
#   check-debian-package.sh BUILD_FOLDER
set -euo pipefail
here=$(dirname "$0")
source "$here/run-installed.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$1/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.log" \
    || { cat "$work/cpack.log" >&2; fail "cpack"; }
deb=$(echo "$work"/package/corvalin_*.deb)
[ -f "$deb" ] || fail "no package built"

# The dependencies come from the libraries the program is linked with.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libjpeg62-turbo zlib1g libfreetype6 libfontconfig1 libc6 libstdc++6; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library"
done
if ldd "$1/corvalin" | grep -q libQt6Widgets; then
  grep -q libqt6widgets6 <<<"$depends" || fail "Depends lacks the Qt widgets"
fi

lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

dpkg-deb -x "$deb" "$work/root"
for file in usr/bin/corvalin usr/share/man/man1/corvalin.1.gz usr/share/doc/corvalin/copyright \
    usr/share/applications/example.hestrad.Corvalin.desktop \
    usr/share/metainfo/example.hestrad.Corvalin.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/example.hestrad.Corvalin.svg; do
  [ -e "$work/root/$file" ] || fail "package lacks /$file"
done
check_installed_program "$work/root/usr/bin/corvalin" "$work"
echo "Debian package OK"
