#!/usr/bin/env bash
# The fuzz targets of the file readers (clang, libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer), in their own build folder.
#
#   fuzz.sh build              configure and build the targets
#   fuzz.sh replay             every committed seed and regression input, once
#   fuzz.sh run SECONDS        each target for SECONDS, at most FUZZ_PARALLEL at once
#   fuzz.sh long SECONDS       the same, niced, going on past faults (fork mode);
#                              faults kept in $BUILD/fuzz-long/<target>/
#   fuzz.sh corpus             seeds written by the project's writers, minimised
#                              into tests/fuzz/corpus/
# FUZZ_TARGETS limits the targets (default: all).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${FUZZ_BUILD:-build-fuzz}
TARGETS=(${FUZZ_TARGETS:-bmp tr mts prj mapobj map ini model_prj model_mts model_map tarndat rtf zip wmf})
PARALLEL=${FUZZ_PARALLEL:-4}
BIN=$BUILD/tests/fuzz

# Limits of every run: memory, time per input, input length per target.
# The model targets open a demo city per input: on a busy machine, and
# niced in long runs, their inputs take seconds each, and an input over the
# limit drops out of the seed pass (its coverage is lost), so theirs is longer.
RSS_MB=2048
TIMEOUT=10
MODEL_TIMEOUT=${FUZZ_MODEL_TIMEOUT:-120}
timeout_of() {
  case $1 in
    model_*) echo "$MODEL_TIMEOUT" ;;
    *) echo "$TIMEOUT" ;;
  esac
}
max_len() {
  case $1 in
    tr) echo 140000 ;;
    model_*) echo 40000 ;;
    tarndat) echo 65536 ;;
    zip) echo 65536 ;;
    wmf) echo 1048576 ;;  # the largest metafile the player must draw in time
    rtf) echo 262144 ;;
    bmp|mts|ini) echo 16384 ;;
    *) echo 8192 ;;
  esac
}

build() {
  if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S . -B "$BUILD" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_FUZZ=ON -DTARN_BENCH=OFF
  fi
  local t targets=("$@")
  for t in "${TARGETS[@]}"; do targets+=("fuzz_$t"); done
  cmake --build "$BUILD" -j"${JOBS:-$(nproc)}" --target "${targets[@]}"
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$ROOT/tests/lsan.supp}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
# The raster and ini targets write files through fsync: keep them in memory.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

replay() {
  local t failed=0 passed=0 broken=0
  for t in "${TARGETS[@]}"; do
    local inputs=()
    local d f
    for d in tests/fuzz/corpus/$t tests/fixtures/$t; do
      [ -d "$d" ] || continue
      while IFS= read -r -d '' f; do inputs+=("$f"); done < <(find "$d" -type f ! -name '*.md' -print0 | sort -z)
    done
    if [ ${#inputs[@]} -eq 0 ]; then
      echo "fuzz replay $t: no inputs" >&2
      failed=1
      broken=$((broken + 1))
      continue
    fi
    if "$BIN/fuzz_$t" -rss_limit_mb=$RSS_MB -timeout="$(timeout_of "$t")" "${inputs[@]}" > "$BUILD/replay-$t.log" 2>&1; then
      echo "fuzz replay $t: ${#inputs[@]} inputs passed"
      passed=$((passed + 1))
    else
      echo "fuzz replay $t: FAILED (see $BUILD/replay-$t.log)" >&2
      tail -n 40 "$BUILD/replay-$t.log" >&2
      failed=1
      broken=$((broken + 1))
    fi
  done
  echo "replay: $passed passed, $broken failed"
  return $failed
}

run_one() {
  local t=$1 seconds=$2
  local work=$BUILD/fuzz-corpus/$t art=$BUILD/fuzz-artifacts/$t
  mkdir -p "$work" "$art"
  local seeds=(tests/fuzz/corpus/$t)
  [ -d tests/fixtures/$t ] && seeds+=(tests/fixtures/$t)
  "$BIN/fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=$RSS_MB -timeout="$(timeout_of "$t")" \
    -max_len="$(max_len "$t")" -artifact_prefix="$art/" -print_final_stats=1 \
    "$work" "${seeds[@]}" > "$BUILD/fuzz-$t.log" 2>&1
}

run() {
  local seconds=$1 t pids=() names=() failed=0 i passed=0 broken=0
  for t in "${TARGETS[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$PARALLEL" ]; do sleep 1; done
    run_one "$t" "$seconds" &
    pids+=($!)
    names+=("$t")
  done
  for i in "${!pids[@]}"; do
    t=${names[$i]}
    local rc=0
    wait "${pids[$i]}" || rc=$?
    local execs speed
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$BUILD/fuzz-$t.log" | grep -o '[0-9]*$' || true)
    speed=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$BUILD/fuzz-$t.log" | grep -o '[0-9]*$' || true)
    if [ "$rc" -eq 0 ]; then
      echo "fuzz $t: ${seconds}s, ${execs:-?} inputs, ${speed:-?}/s, no fault"
      passed=$((passed + 1))
    else
      broken=$((broken + 1))
      echo "fuzz $t: FAULT after ${execs:-?} inputs (log $BUILD/fuzz-$t.log, input in $BUILD/fuzz-artifacts/$t/)" >&2
      grep -E 'ERROR|SUMMARY|runtime error|EFuzzCheck|what\(\)' "$BUILD/fuzz-$t.log" | head -n 10 >&2 || true
      failed=1
    fi
  done
  echo "fuzz: $passed passed, $broken failed"
  return $failed
}

long_one() {
  local t=$1 seconds=$2
  local work=$BUILD/fuzz-corpus/$t art=$BUILD/fuzz-long/$t
  mkdir -p "$work" "$art"
  local seeds=(tests/fuzz/corpus/$t)
  [ -d tests/fixtures/$t ] && seeds+=(tests/fixtures/$t)
  nice -n 19 "$BIN/fuzz_$t" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -max_total_time="$seconds" -rss_limit_mb=$RSS_MB -timeout="$(timeout_of "$t")" -max_len="$(max_len "$t")" \
    -artifact_prefix="$art/" "$work" "${seeds[@]}" > "$BUILD/fuzz-long-$t.log" 2>&1 || true
  local last
  last=$(grep -E '^#[0-9]+: ' "$BUILD/fuzz-long-$t.log" | tail -n 1)
  echo "fuzz long $t: ${seconds}s: ${last:-no statistics} ($(ls "$art" | wc -l) inputs kept)"
}

long() {
  local seconds=$1 t
  for t in "${TARGETS[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$PARALLEL" ]; do sleep 1; done
    long_one "$t" "$seconds" &
  done
  wait
}

corpus() {
  local seeds=$BUILD/fuzz-seeds t
  rm -rf "$seeds"
  "$BIN/tarn_fuzz_seeds" "$seeds"
  for t in "${TARGETS[@]}"; do
    rm -rf "tests/fuzz/corpus/$t"
    mkdir -p "tests/fuzz/corpus/$t"
    "$BIN/fuzz_$t" -merge=1 -rss_limit_mb=$RSS_MB -timeout="$(timeout_of "$t")" -max_len="$(max_len "$t")" \
      "tests/fuzz/corpus/$t" "$seeds/$t" > "$BUILD/merge-$t.log" 2>&1
    echo "corpus $t: $(ls "tests/fuzz/corpus/$t" | wc -l) of $(ls "$seeds/$t" | wc -l) seeds kept"
  done
}

case ${1:-} in
  build) build ;;
  replay) build && replay ;;
  run) build && run "${2:-60}" ;;
  long) build && long "${2:-1800}" ;;
  corpus) build tarn_fuzz_seeds && corpus ;;
  *) sed -n '2,13p' "$0"; exit 2 ;;
esac
