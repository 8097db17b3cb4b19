#!/usr/bin/env bash
# Installs what is missing, builds Corvalin and starts it. Arguments are
# passed on, so "/auto=1 /dir=FOLDER ..." runs a batch.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh >&2
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
cmake --build build -j"$(nproc)" --target corvalin >&2
exec ./build/corvalin "$@"
