#!/usr/bin/env bash
# Replays the bundled trading day through velk-host on a fresh copy of the demo data
# directory, so that every run starts from the same condition files.
#
# With a display ($DISPLAY or $WAYLAND_DISPLAY) and a velk-host built with windows, the demo is
# velk-host's main window on that day; closing the window ends it. Otherwise (or with
# VELK_DEMO_HEADLESS=1) the day is replayed headless: the alerts are printed as they are
# recorded, then summarised, followed by a short summary of the day file that the run left
# behind. The day is then replayed a second time into the same directory: a replay starts from a
# clean alert list, so the first run's file is kept aside as YYYYMMDD.alt.1 and the new day file
# holds the second run's alerts alone, as many as the first.
# Usage: scripts/run-demo.sh <build dir>; the data directory and the printed alerts go to
# $VELK_DEMO_DIR when it is set, to the build directory otherwise.
set -euo pipefail

build_dir=${1:?usage: run-demo.sh <build dir>}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(cd "$build_dir" && pwd)
host="$build_dir/host/velk-host"
[ -x "$host" ] || { echo "run-demo: $host is missing; build first" >&2; exit 1; }

out_dir=${VELK_DEMO_DIR:-$build_dir}
root="$out_dir/demo-root"
rm -rf "$root"
cp -r "$here/data/demo-root" "$root"

# Where there is no sound card, SDL's ALSA backend has alsa-lib report each failed attempt to
# open the device, eight lines per alert; the alerts themselves are unaffected.
quiet_alsa() { grep -v '^ALSA lib ' >&2 || true; }

# A velk-host built without windows does not offer the pictures of them.
has_windows() { [[ $("$host" --help) == *--screenshots* ]]; }

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${VELK_DEMO_HEADLESS:-0}" != 1 ] && has_windows; then
  echo "== velk-host --root $root --day data/demo-day (close the window to end the demo)"
  if "$host" --root "$root" --day "$here/data/demo-day" 2> >(quiet_alsa); then
    exit 0
  fi
  echo "== the window could not be shown; the same day headless instead"
  rm -rf "$root"
  cp -r "$here/data/demo-root" "$root"
fi

alerts="$out_dir/demo-alerts.txt"
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

# The first records of the day file, latest first, in the form of the alert lines above; the
# whole file as JSON: velk-host dump-day FILE.
summarise_day_file() {
  local size
  size=$(stat -c %s "$day_file")
  echo "day file now $size bytes, $((size / 125)) records; the latest:"
  "$host" dump-day "$day_file" | awk -v limit=5 -v file="$day_file" '
    /^      "/ {
      line = $0; sub(/^      "/, "", line)
      key = line; sub(/".*/, "", key)
      value = line; sub(/^[^:]*: /, "", value); sub(/,$/, "", value); gsub(/^"|"$/, "", value)
      field[key] = value
    }
    /^    }/ {
      # Two decimals, three when the price has a third, as the alert lines show it.
      price = sprintf("%.3f", field["price"])
      if (price ~ /0$/) price = sprintf("%.2f", field["price"])
      if (n < limit)
        printf "  %s\t%s\t%s\t%s\t%s\t%.0f\t%s\n", field["time_text"], field["market"], field["code"],
               field["name"], price, field["volume"], field["reason"]
      n++
    }
    END { if (n > limit) printf "  ... %d more (velk-host dump-day %s)\n", n - limit, file }'
}

echo
echo "== day file $day_file"
summarise_day_file

echo
echo "== the same day again, silently, into the same directory"
again=$("$host" --headless --silent --root "$root" --day "$here/data/demo-day" 2> >(quiet_alsa) | wc -l)
echo "$again alerts"
summarise_day_file
if [ -f "$day_file.1" ]; then
  echo "the first run's day file is kept unchanged: $day_file.1 ($(stat -c %s "$day_file.1") bytes)"
fi
