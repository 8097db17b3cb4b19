#!/usr/bin/env bash
# Installs Corvalin into a temporary prefix and checks the installed desktop
# entry, icons, AppStream metadata and manual pages with the desktop's own
# validators and groff.
#   check-installed-data.sh BUILD_FOLDER
set -euo pipefail
here=$(dirname "$0")
source "$here/run-installed.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

prefix="$work/prefix"
cmake --install "$1" --prefix "$prefix" >/dev/null
id=example.hestrad.Corvalin
share="$prefix/share"

desktop="$share/applications/$id.desktop"
desktop-file-validate "$desktop" || fail "desktop entry"
grep -qx 'Exec=corvalin %F' "$desktop" || fail "desktop entry does not hand folders over"
for type in inode/directory image/bmp image/gif image/vnd.microsoft.icon image/jpeg \
    image/x-photo-cd image/vnd.adobe.photoshop image/vnd.zbrush.pcx image/png image/tiff image/wmf \
    image/webp image/heic image/heif image/avif image/jxl; do
  grep -q "^MimeType=.*$type;" "$desktop" || fail "desktop entry lacks $type"
done

appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml" || fail "AppStream metadata"
grep -q "<image>http.*/main-window.png</image>" "$share/metainfo/$id.metainfo.xml" \
    || fail "AppStream screenshot"

icons="$share/icons/hicolor"
[ -s "$icons/scalable/apps/$id.svg" ] || fail "no scalable icon"
for size in 16 22 24 32 48 64 128 256; do
  [ "$(/usr/bin/identify -format '%wx%h' "$icons/${size}x${size}/apps/$id.png")" = "${size}x${size}" ] \
      || fail "icon of size $size"
done

# "man -l" renders through groff; every warning counts.
for page in "$share/man/man1/corvalin.1.gz" "$share/man/en/man1/corvalin.1.gz"; do
  messages=$(zcat "$page" | preconv -e UTF-8 | groff -man -ww -z -Tutf8 2>&1)
  [ -z "$messages" ] || fail "$page: $messages"
  rendered=$(MANWIDTH=80 man -l "$page" 2>&1)
  for switch in /auto /recursiv /copy /dir /height /width /quality /adapt /rotate /format \
      /target /colors /text /textpos /textsize /opacity /logo --help --version Corvalin.conf; do
    grep -qF -- "$switch" <<<"$rendered" || fail "$page does not describe $switch"
  done
done
echo "installed data files OK"
