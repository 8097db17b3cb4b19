#!/usr/bin/env bash
# Installs what Corvalin needs to build, run and test on Debian 12.
# Safe to run again: only missing packages are installed.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libjpeg62-turbo-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core libcairo2-dev
  qt6-base-dev libgl-dev qt6-translations-l10n
  # the desktop's trash for replaced originals (GIO)
  libglib2.0-dev
  # camera and web formats (optional at build time: a missing library leaves its rows unusable)
  libheif-dev libwebp-dev libjxl-dev
  # HEVC pictures decoded on all cores (optional: without it libheif decodes them in one thread)
  libde265-dev
  # colour management (optional at build time: without it no conversion to sRGB)
  liblcms2-dev
  # tests, sanitizers and fuzzing
  libgtest-dev clang libclang-rt-14-dev
  # the JSON Lines of scripted runs, and the sharded-run test
  nlohmann-json3-dev parallel
  # independent reference tools used by the tests
  imagemagick python3-pil libtiff-tools pngcheck giflib-tools libjpeg-turbo-progs libwmf-bin inkscape
  libimage-exiftool-perl
  webp libheif-examples libavif-bin libjxl-tools colord-data libgs-common
  # window tests and screenshots
  xvfb xauth x11-apps openbox xdotool
  # installing and packaging, and the tools that check the installed files
  librsvg2-bin desktop-file-utils appstream groff-base man-db lintian dpkg-dev file
  # benchmarks
  time bc libvips-tools
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
