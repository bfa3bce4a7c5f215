#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds
# (default 20), seeded from ../shared/testimages/<name> and tests/data/<name>.
# A longer run: scripts/fuzz.sh 600 [name...]
set -euo pipefail
cd "$(dirname "$0")/.."
SECS=${1:-20}
shift || true
ls fuzz/fuzz_*.cpp >/dev/null 2>&1 || exit 0

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORLINO_FUZZ=ON -DVORLINO_BUILD_UI=OFF -DVORLINO_BUILD_BENCH=OFF >/dev/null
targets=()
for f in fuzz/fuzz_*.cpp; do
  n=$(basename "$f" .cpp)
  if [ $# -eq 0 ] || printf '%s\n' "$@" | grep -qx "${n#fuzz_}"; then targets+=("$n"); fi
done
cmake --build build-fuzz -j2 --target "${targets[@]}"

# One target per core at a time; a failing target shows the end of its log and fails the run.
run_target() {
  local n=$1 fmt=${1#fuzz_}
  local corpus=build-fuzz/corpus/$fmt
  mkdir -p "$corpus"
  local seeds=()
  for d in ../shared/testimages/$fmt tests/data/$fmt; do [ -d "$d" ] && seeds+=("$d"); done
  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=fuzz/lsan_suppressions.txt build-fuzz/$n -max_total_time="$SECS" -rss_limit_mb=2560 \
    -timeout=10 -print_final_stats=0 "$corpus" "${seeds[@]}" >build-fuzz/$n.log 2>&1 || {
    tail -60 build-fuzz/$n.log
    echo "fuzz target $n failed"
    return 1
  }
  echo "== $n: ${SECS}s clean"
}
PARALLEL=${FUZZ_PARALLEL:-$(nproc)}
pids=()
status=0
for n in "${targets[@]}"; do
  run_target "$n" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$PARALLEL" ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for p in "${pids[@]}"; do wait "$p" || status=1; done
exit $status
