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

now() { date +%s.%N; }

# measure COMMAND...: runs a command with its output in "$work" (which the
# script sets) and sets run_s (wall clock), run_status, run_rss_kb (peak
# resident memory) and run_cpu_s (user + system seconds, which a busy machine
# disturbs less than the wall clock), from /usr/bin/time.
measure() {
  local start
  start=$(now)
  run_status=0
  /usr/bin/time -f '%M %U %S' -o "$work/time.txt" "$@" > "$work/result.txt" 2> "$work/errors.txt" || run_status=$?
  run_s=$(echo "$(now) - $start" | bc -l)
  read -r run_rss_kb user_s system_s < <(tail -1 "$work/time.txt")
  run_cpu_s=$(echo "$user_s + $system_s" | bc -l)
}
