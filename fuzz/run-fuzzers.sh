#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each for SECONDS
# (default 60) with 1 GB of memory: an allocation bomb shows as a failure.
# Usage: fuzz/run-fuzzers.sh [SECONDS] [HARNESS...]
# Crashes land in fuzz/work/<harness>/; copy the ones fixed into
# fuzz/regressions/<harness>/ so that the test run replays them.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCORVALIN_FUZZ=ON -DCORVALIN_BUILD_GUI=OFF -DCORVALIN_BUILD_TESTS=OFF >/dev/null
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for f in fuzz/targets/*.cpp; do names+=("$(basename "$f" .cpp)"); done
fi
targets=()
for name in "${names[@]}"; do targets+=("fuzz_$name"); done
if ! cmake --build "$build" -j2 --target "${targets[@]}" >"$build/build.log" 2>&1; then
  tail -n 30 "$build/build.log"
  exit 2
fi
status=0
for name in "${names[@]}"; do
  work=fuzz/work/$name
  mkdir -p "$work/corpus"
  seeds=()
  [ -d "fuzz/seeds/$name" ] && seeds+=("fuzz/seeds/$name")
  [ -d "fuzz/regressions/$name" ] && seeds+=("fuzz/regressions/$name")
  dict=()
  [ -f "fuzz/dictionaries/$name.dict" ] && dict=(-dict="fuzz/dictionaries/$name.dict")
  # Leaks inside a format library that Corvalin cannot free are listed in
  # fuzz/suppressions/<harness>.lsan.
  lsan=detect_leaks=1
  [ -f "fuzz/suppressions/$name.lsan" ] && lsan="suppressions=fuzz/suppressions/$name.lsan"
  echo "== $name for ${seconds}s"
  if ! LSAN_OPTIONS="$lsan" "$build/fuzz/fuzz_$name" "$work/corpus" "${seeds[@]}" "${dict[@]}" -max_total_time="$seconds" \
      -rss_limit_mb=1024 -malloc_limit_mb=1024 -timeout=10 -artifact_prefix="$work/" -print_final_stats=1 2>"$work/log"; then
    echo "!! $name found a failure; see $work/log"
    status=1
  fi
  tail -n 12 "$work/log" | grep -E 'stat::number_of_executed_units|Done' || true
done
exit $status
