#!/usr/bin/env bash
# Installs Corvalin into a temporary prefix and runs the installed program.
#   check-installed-program.sh BUILD_FOLDER
set -euo pipefail
here=$(dirname "$0")
source "$here/run-installed.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$1" --prefix "$work/prefix" >/dev/null
check_installed_program "$work/prefix/bin/corvalin" "$work"
echo "installed program OK"
