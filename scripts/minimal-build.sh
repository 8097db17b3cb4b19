#!/usr/bin/env bash
# Builds the engine and its tests without any optional library (no WebP,
# HEIF/AVIF or JPEG XL, no libde265, no LittleCMS) and runs the tests: those
# of a missing library skip themselves. Plain and without the windows, to be
# cheap; the runs of the program as scripts drive it and the package build
# are left to the full build. Extra arguments go to the configure step (e.g.
# a compiler launcher).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
export LC_ALL=C.UTF-8
cmake -S . -B build-minimal -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVALIN_STRICT=ON \
  -DCORVALIN_BUILD_GUI=OFF -DCORVALIN_REPLAYS=OFF -DCORVALIN_CAMERA_FORMATS=OFF -DCORVALIN_LCMS=OFF \
  -DCORVALIN_DE265=OFF -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=gold \
  -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=gold "$@"
cmake --build build-minimal -j"$jobs"
(cd build-minimal && ctest --output-on-failure -j"$jobs" -E '^(user_runs|output_runs|script_runs|debian_package)$')
