#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once in a
# normal build (with the windows), once with the library built with
# AddressSanitizer and UndefinedBehaviorSanitizer (its own tests, the
# end-to-end runs and the fuzz-regression replays run against it; the
# comparisons with reference tools, labelled `reference`, only in the first).
# Then a ThreadSanitizer build without the optional libraries, whose batch
# and end-to-end tests (what converts files on several threads) run.
# The core libraries build with -Wshadow and -Werror in all three.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

jobs=$(nproc)
export LC_ALL=C.UTF-8
# Line tables (-g1) are all a stack trace or a sanitizer report needs; full
# debug information would make every build a fifth slower.
# flags CONFIG "OPTIONS": the compiler options of a build type, for C and C++.
flags() { flag_list=("-DCMAKE_C_FLAGS_$1=$2" "-DCMAKE_CXX_FLAGS_$1=$2"); }
# gold links a test program in under half the time of the default linker.
linker=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=gold -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=gold)

flags RELWITHDEBINFO "-O2 -g1 -DNDEBUG"
# The fuzz inputs are replayed once, under the sanitizers, where they catch most.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVALIN_STRICT=ON -DCORVALIN_REPLAYS=OFF \
  "${flag_list[@]}" "${linker[@]}"
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

# -O1: unoptimised, the engine spends most of a sanitizer test run building
# and tearing down its pixel buffers one byte at a time.
flags DEBUG "-O1 -g1"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVALIN_SANITIZE=ON -DCORVALIN_BUILD_GUI=OFF -DCORVALIN_STRICT=ON \
  "${flag_list[@]}" "${linker[@]}"
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
export LSAN_OPTIONS="suppressions=$PWD/scripts/codec-leaks.lsan"
# The comparisons with reference tools ran in the normal build; here the
# engine's own tests, the replays and the end-to-end runs, and a test that
# starts a reference tool without its label fails.
export CORVALIN_NO_REFERENCE_TOOLS=1
(cd build-asan && ctest --output-on-failure -j"$jobs" -LE reference)

# Any report of a data race or a deadlock ends the program with status 66,
# which fails its test (the end-to-end runs inherit the options).
# -O1 is enough for ThreadSanitizer to run at speed and compiles faster.
# The batch runs it checks use none of the optional libraries, so this build
# leaves them all out and builds every test program: it also proves that a
# build without them compiles and links (scripts/minimal-build.sh runs all
# the tests of such a build).
flags RELWITHDEBINFO "-O1 -g1 -DNDEBUG"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVALIN_TSAN=ON -DCORVALIN_BUILD_GUI=OFF -DCORVALIN_STRICT=ON \
  -DCORVALIN_REPLAYS=OFF -DCORVALIN_CAMERA_FORMATS=OFF -DCORVALIN_LCMS=OFF -DCORVALIN_DE265=OFF \
  "${flag_list[@]}" "${linker[@]}"
cmake --build build-tsan -j"$jobs"
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1"
(cd build-tsan && ctest --output-on-failure -j"$jobs" -LE reference \
  -R '^(BatchRunTest|EndToEnd|ManyWorkers|BatchMemory|MemoryBudget|MemoryBudgetAccounts)\.')
