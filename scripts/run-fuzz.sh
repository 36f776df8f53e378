#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a number of seconds each, at most JOBS at a
# time, at low priority. Each target starts from its committed corpus (fuzz/corpus/<target>)
# and keeps what it learns in BUILD_DIR/corpus/<target>; a crash leaves its input in
# BUILD_DIR/artifacts/<target>/ and fails the run. Prints executions per target at the end.
#   scripts/run-fuzz.sh BUILD_DIR SECONDS [JOBS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?build directory}
seconds=${2:?seconds per target}
jobs=${3:-2}
shift $(( $# < 3 ? $# : 3 ))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

# The targets write their scratch files often; memory is faster than disk for that.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

run_one() {
  local name=$1
  local work="$build/corpus/$name" artifacts="$build/artifacts/$name/" log="$build/logs/$name.log"
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  local dict=()
  [ -f "fuzz/dict/$name.dict" ] && dict=(-dict="fuzz/dict/$name.dict")
  # The timeout is generous: at the lowest priority on a busy machine a target may wait
  # seconds for the processor, and that is no hang of ours.
  if nice -n 19 "$build/fuzz/$name" "${dict[@]}" -max_total_time="$seconds" -timeout=60 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts" \
      "$work" "fuzz/corpus/$name" >"$log" 2>&1; then
    echo "ok     $name"
  else
    echo "FAILED $name (see $log, input in $artifacts)"
    return 1
  fi
}

status=0
pids=()
names=()
for name in "${targets[@]}"; do
  [ -x "$build/fuzz/$name" ] || { echo "no fuzz target $name in $build" >&2; exit 1; }
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || status=1; done
  run_one "$name" &
done
while [ "$(jobs -rp | wc -l)" -gt 0 ]; do wait -n || status=1; done

printf '\n%-24s %12s %10s %8s\n' target executions exec/s corpus
for name in "${targets[@]}"; do
  log="$build/logs/$name.log"
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  size=$(find "$build/corpus/$name" -type f | wc -l)
  printf '%-24s %12s %10s %8s\n' "$name" "$execs" "$rate" "$size"
done
exit $status
