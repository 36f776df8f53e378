#!/usr/bin/env bash
# Replays the bundled trading day through velk-host on a fresh copy of the demo data
# directory, so that every run starts from the same condition files, then summarises the
# alerts and shows the day file that the run left behind.
# Usage: scripts/run-demo.sh <build dir>
set -euo pipefail

build_dir=${1:?usage: run-demo.sh <build dir>}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(cd "$build_dir" && pwd)
host="$build_dir/host/velk-host"
[ -x "$host" ] || { echo "run-demo: $host is missing; build first" >&2; exit 1; }

root="$build_dir/demo-root"
rm -rf "$root"
cp -r "$here/data/demo-root" "$root"

alerts="$build_dir/demo-alerts.txt"
echo "== velk-host --headless --root $root --day data/demo-day"
"$host" --headless --root "$root" --day "$here/data/demo-day" | tee "$alerts"

echo
echo "== $(wc -l < "$alerts") alerts, by reason"
cut -f7 "$alerts" | sort | uniq -c | sort -rn

trade_date=$(sed -n '2p' "$here/data/demo-day/day.csv" | tr -d '\r ')
day_file="$root/Dat/Alert/$trade_date.alt"
if [ -f "$day_file" ]; then
  echo
  echo "== day file $day_file"
  "$host" dump-day "$day_file"
else
  echo
  echo "== no day file: it is written by the alert list window, which a headless run does not open"
fi
