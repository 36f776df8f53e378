#!/usr/bin/env bash
# The adapter example of docs/feed.md, run on a small sample: velk-host takes every line it
# writes, so the example stays true.
# Usage: check_feed_adapter.sh <source dir> <velk-host> <work dir>
set -euo pipefail
source_dir=$1 host=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
sed -n '/<!-- adapter-begin -->/,/<!-- adapter-end -->/p' "$source_dir/docs/feed.md" |
  grep -v -e '^<!--' -e '^```' >"$work/csv-to-feed"
[ -s "$work/csv-to-feed" ] || { echo "no adapter example in docs/feed.md"; exit 1; }
cat >"$work/quotes.csv" <<'CSV'
symbol,timestamp,last,size
SH600000,2021-12-01T09:30:00.120,10.50,1200
SZ000001,2021-12-01T09:30:00.480,16.02,300
SH600000,2021-12-01T09:30:01.000,10.52,800
SH600000,2021-12-01T09:30:02.250,10.49,500
CSV
sh "$work/csv-to-feed" 20211201 <"$work/quotes.csv" >"$work/feed.jsonl"
"$host" --headless --silent --feed - --root "$work/root" <"$work/feed.jsonl" >"$work/alerts.txt" 2>"$work/err.txt"
if grep -q skipped "$work/err.txt" || ! grep -q "feed ended: 8 messages, 4 trades" "$work/err.txt"; then
  echo "velk-host did not take every line of the adapter:"; cat "$work/err.txt"; cat "$work/feed.jsonl"; exit 1
fi
echo ok
