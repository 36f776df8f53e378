#!/usr/bin/env bash
# Replays the bundled trading day through velk-host on a fresh copy of the demo data
# directory, so that every run starts from the same condition files, then summarises the
# alerts and shows the day file that the run left behind. The day is then replayed a second
# time into the same directory: the alert list window reads the day file when it opens, so
# the file ends up with both runs' alerts.
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

# Where there is no sound card, SDL's ALSA backend has alsa-lib report each failed attempt to
# open the device, eight lines per alert; the alerts themselves are unaffected.
quiet_alsa() { grep -v '^ALSA lib ' >&2 || true; }

alerts="$build_dir/demo-alerts.txt"
echo "== velk-host --headless --root $root --day data/demo-day"
"$host" --headless --root "$root" --day "$here/data/demo-day" 2> >(quiet_alsa) | tee "$alerts"

echo
echo "== $(wc -l < "$alerts") alerts, by reason"
cut -f7 "$alerts" | sort | uniq -c | sort -rn

trade_date=$(sed -n '2p' "$here/data/demo-day/day.csv" | tr -d '\r ')
day_file="$root/Dat/Alert/$trade_date.alt"
if [ ! -f "$day_file" ]; then
  echo
  echo "== no day file: the alert list window writes it, and that window opens only in a build"
  echo "   with the user interface when the pop-up option of alert.cfg is on"
  exit 0
fi

size=$(stat -c %s "$day_file")
echo
echo "== day file $day_file: $size bytes, $((size / 125)) records"
"$host" dump-day "$day_file"

echo
echo "== the same day again, silently, into the same directory"
again=$("$host" --headless --silent --root "$root" --day "$here/data/demo-day" | wc -l)
size=$(stat -c %s "$day_file")
echo "$again alerts; day file now $size bytes, $((size / 125)) records"
