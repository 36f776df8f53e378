#!/usr/bin/env bash
# `make demo` without a display: the alerts, then twice a summary of the day file with its five
# latest records in the alert lines' form and a count of the rest.
# Usage: check_demo.sh <source dir> <build dir> <work dir>
set -euo pipefail
source_dir=$1 build_dir=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY VELK_DEMO_DIR="$work" bash "$source_dir/scripts/run-demo.sh" "$build_dir" 2>/dev/null)
records=$(LC_ALL=C grep -c -P '^  \d\d:\d\d:\d\d\t\d+\t\d{6}\t[^\t]+\t\d+\.\d{2,3}\t\d+\t\S' <<<"$out" || true)
if [ "$records" -ne 10 ]; then
  echo "expected five records in each of the two day-file summaries, found $records in all:"
  tail -n 20 <<<"$out"
  exit 1
fi
# The demo day raises 267 alerts; the second run starts from a clean list, so its day file holds
# as many again, and the first run's file is kept beside it.
count=$(grep -c -F "... 262 more" <<<"$out" || true)
if [ "$count" -ne 2 ]; then
  echo "expected \"... 262 more\" after each run, found it $count times:"
  tail -n 20 <<<"$out"
  exit 1
fi
grep -q -F "... 529 more" <<<"$out" && { echo "the second run doubled the day file:"; tail -n 20 <<<"$out"; exit 1; }
grep -q -E "kept unchanged: .*\.alt\.1 \(33375 bytes\)" <<<"$out" || { echo "no kept day file:"; tail -n 20 <<<"$out"; exit 1; }
