#!/usr/bin/env bash
# A day played as a live feed raises exactly the alerts of the same day replayed from its folder,
# and leaves the same day file: over standard input, TCP and NATS, for the demo day and a
# generated whole-market day (and a Unix socket for the demo day).
# Usage: check_feed_equivalence.sh <source dir> <bin dir of velk-host and velk-feed> <gen tool> <work dir>
set -euo pipefail
source_dir=$1 bin=$2 gen=$3 work=$4
host=$bin/velk-host feed=$bin/velk-feed
rm -rf "$work"
mkdir -p "$work"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

fail() { echo "FAIL: $*"; exit 1; }

# compare NAME DAY ROOT OUT: the feed's run in $work/NAME against the replay of DAY.
replay() { # replay DAY ROOT
  rm -rf "$work/replay"; cp -r "$2" "$work/replay"
  "$host" --headless --silent --day "$1" --root "$work/replay" >"$work/replay.txt"
}
compare() { # compare NAME
  local name=$1
  [ -s "$work/replay.txt" ] || fail "the replay raised no alert; the comparison would prove nothing"
  cmp -s "$work/$name.txt" "$work/replay.txt" ||
    { diff "$work/$name.txt" "$work/replay.txt" | head -n 10; fail "$name: alert lines differ"; }
  local a b
  a=$(cd "$work/replay/Dat/Alert" && ls)
  b=$(cd "$work/$name/Dat/Alert" && ls)
  [ "$a" = "$b" ] || fail "$name: day files $b, replay $a"
  for f in $a; do
    cmp -s "$work/replay/Dat/Alert/$f" "$work/$name/Dat/Alert/$f" || fail "$name: day file $f differs"
  done
  echo "ok: $name ($(wc -l <"$work/$name.txt") alerts)"
}

# Waits until the file holds the text, at most 20 s.
wait_for() {
  for _ in $(seq 200); do grep -q -- "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  fail "no \"$2\" in $1: $(cat "$1")"
}

"$gen" "$work/market" --stocks 5000 --trades 100000 >/dev/null
nats=$(command -v nats-server || true)

for case in demo market; do
  if [ $case = demo ]; then day=$source_dir/data/demo-day root=$source_dir/data/demo-root
  else day=$work/market/day root=$work/market/popup; fi
  replay "$day" "$root"

  # Standard input.
  cp -r "$root" "$work/$case-stdin"
  "$feed" --stdout --speed max "$day" |
    "$host" --headless --silent --feed - --root "$work/$case-stdin" >"$work/$case-stdin.txt"
  compare "$case-stdin"

  # TCP: velk-feed serves the day, the host connects and ends at the day's end.
  cp -r "$root" "$work/$case-tcp"
  "$feed" "$day" --speed max --listen tcp://127.0.0.1:0 >"$work/listen.txt" &
  pids+=($!)
  wait_for "$work/listen.txt" "listening on"
  address=$(sed -n 's/^listening on //p' "$work/listen.txt")
  "$host" --headless --silent --feed "$address" --root "$work/$case-tcp" >"$work/$case-tcp.txt"
  kill "${pids[-1]}"; wait "${pids[-1]}" || true
  compare "$case-tcp"

  # A Unix socket, for the demo day.
  if [ $case = demo ]; then
    cp -r "$root" "$work/$case-unix"
    "$feed" "$day" --speed max --listen "unix:$work/feed.sock" >"$work/listen.txt" &
    pids+=($!)
    wait_for "$work/listen.txt" "listening on"
    "$host" --headless --silent --feed "unix:$work/feed.sock" --root "$work/$case-unix" >"$work/$case-unix.txt"
    kill "${pids[-1]}"; wait "${pids[-1]}" || true
    compare "$case-unix"
  fi

  # NATS: a server on 127.0.0.1, the host subscribed before the day is published.
  if [ -z "$nats" ]; then
    echo "skipped: NATS (nats-server is not installed)"
    continue
  fi
  "$nats" -a 127.0.0.1 -p -1 >"$work/nats.log" 2>&1 &
  pids+=($!)
  nats_pid=${pids[-1]}
  wait_for "$work/nats.log" "Listening for client connections"
  port=$(sed -n 's/.*Listening for client connections on 127.0.0.1:\([0-9]*\).*/\1/p' "$work/nats.log")
  cp -r "$root" "$work/$case-nats"
  "$host" --headless --silent --feed "nats://127.0.0.1:$port" --root "$work/$case-nats" \
    >"$work/$case-nats.txt" 2>"$work/$case-nats.err" &
  host_pid=$!
  pids+=($host_pid)
  wait_for "$work/$case-nats.err" "connected"
  "$feed" "$day" --speed max --publish "nats://127.0.0.1:$port"
  wait "$host_pid" || fail "nats: velk-host ended with $?"
  compare "$case-nats"

  # Two hosts, each with one market's share: each gets the hello and the end (it ends by
  # itself), and between them they raise exactly the whole day's alerts. (The demo day trades
  # in one market only: its second host ends with nothing to say.)
  if true; then
    share_pids=()
    for market in 1 2; do
      cp -r "$root" "$work/$case-share$market"
      "$host" --headless --silent --feed "nats://127.0.0.1:$port/quotes.$market.>" \
        --root "$work/$case-share$market" >"$work/$case-share$market.txt" \
        2>"$work/$case-share$market.err" &
      share_pids+=($!)
      pids+=($!)
      wait_for "$work/$case-share$market.err" "connected"
    done
    "$feed" "$day" --speed max --publish "nats://127.0.0.1:$port"
    for p in "${share_pids[@]}"; do
      # Without the end on its subject a share's host would wait for ever.
      for _ in $(seq 200); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
      kill -0 "$p" 2>/dev/null && fail "share: a host did not get the end"
      wait "$p" || fail "share: velk-host ended with $?"
    done
    grep -q "feed ended" "$work/$case-share1.err" || fail "share 1: $(cat "$work/$case-share1.err")"
    grep -q "feed ended" "$work/$case-share2.txt" "$work/$case-share2.err" ||
      fail "share 2: $(cat "$work/$case-share2.err")"
    if [ $case = market ]; then
      [ -s "$work/$case-share1.txt" ] && [ -s "$work/$case-share2.txt" ] ||
        fail "share: a market's host raised nothing"
    fi
    cat "$work/$case-share1.txt" "$work/$case-share2.txt" | sort >"$work/$case-shares.txt"
    sort "$work/replay.txt" | cmp -s - "$work/$case-shares.txt" ||
      fail "share: the two shares' alerts are not the day's"
    echo "ok: $case-shares ($(wc -l <"$work/$case-share1.txt") + $(wc -l <"$work/$case-share2.txt") alerts)"
  fi
  kill "$nats_pid"; wait "$nats_pid" || true
done

# The market monitor follows the feed as it follows the replay: the demo day with the monitor on
# (the same MarketMonitor.cfg) and thresholds low enough for every rule, the rules that need the
# symbol lines' volume per minute and circulating shares among them.
day=$source_dir/data/demo-day
mroot=$work/monitor-root
mkdir -p "$mroot"
cp -r "$source_dir/data/demo-root/SYS" "$mroot/"
python3 - "$mroot/SYS/alert.cfg" <<'PY'
import struct, sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
data[20:44] = struct.pack("<6f", 3.0, 1.0, 1.5, 0.5, 100.0, 0.002)
open(path, "wb").write(bytes(data))
PY
"$host" monitor --root "$mroot" on >/dev/null
replay "$day" "$mroot"
for reason in 量比达到限制 大笔成交 涨停板打开; do
  grep -q "$reason" "$work/replay.txt" || fail "the replay with the monitor on raised no $reason"
done
cp -r "$mroot" "$work/monitor-stdin"
"$feed" --stdout --speed max "$day" |
  "$host" --headless --silent --feed - --root "$work/monitor-stdin" >"$work/monitor-stdin.txt"
compare monitor-stdin
