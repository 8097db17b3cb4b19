# Shared by the benchmark scripts: source it from the repository's top folder.

# build_bench TARGET...: a release build of the benchmark programs in build-bench.
build_bench() {
  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVALIN_BENCH=ON \
    -DCORVALIN_BUILD_GUI=OFF -DCORVALIN_BUILD_TESTS=OFF >/dev/null
  cmake --build build-bench -j2 --target "$@" >/dev/null
}

# best RUNS COMMAND...: the best wall-clock seconds of RUNS runs of a command.
best() {
  local runs=$1 b=999 s e
  shift
  for _ in $(seq "$runs"); do
    s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N)
    b=$(echo "if ($e - $s < $b) $e - $s else $b" | bc -l)
  done
  echo "$b"
}

export MAGICK_THREAD_LIMIT=1
