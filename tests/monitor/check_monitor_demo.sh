#!/usr/bin/env bash
# The market monitor on recorded days, through velk-host as a user runs it:
#  1. the demo day with the monitor on and thresholds that make every rule work: the monitor's
#     alert lines equal, line for line, those that monitor_oracle.py computes from the day's
#     files alone (600103's limit-board openings among them);
#  2. with repeat rules: a cooldown gives the oracle's count, "once" one limit-up for 600103;
#  3. with the monitor off, or its setting at the defaults, the output and the day file of the
#     demo day and of a generated whole-market day are byte for byte those of a run without it.
# Usage: check_monitor_demo.sh <source dir> <velk-host> <velk-gen-market-day or ""> <work dir>
set -euo pipefail
source_dir=$1 host=$2 gen=$3 work=$4
rm -rf "$work"
mkdir -p "$work"
day=$source_dir/data/demo-day
oracle=$source_dir/tests/monitor/monitor_oracle.py
monitor_reasons='\t(涨停板打开|跌停板打开|达到涨幅比率|达到跌幅比率|单比涨跌报警|量比达到限制|大金额成交|大笔成交)$'
fail() { echo "FAIL: $*"; exit 1; }

# A root with the demo's conditions, thresholds patched: rise 3 %, fall 1 %, volume ratio 1.5,
# single trade 0.5 %, 1,000,000 yuan, 0.002 % of the circulating shares.
root() {
  rm -rf "$1"; mkdir -p "$1"
  cp -r "$source_dir/data/demo-root/SYS" "$1/"
  python3 - "$1/SYS/alert.cfg" <<'PY'
import struct, sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
data[20:44] = struct.pack("<6f", 3.0, 1.0, 1.5, 0.5, 100.0, 0.002)
open(path, "wb").write(bytes(data))
PY
}
replay() { # root day -> stdout of the headless run
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen \
    "$host" --headless --silent --root "$1" --day "$2" 2>/dev/null
}
monitor_lines() { LC_ALL=C.UTF-8 grep -P "$monitor_reasons" || true; }

# 1. every rule against the oracle
root "$work/on"
"$host" monitor --root "$work/on" on
replay "$work/on" "$day" >"$work/on.out"
monitor_lines <"$work/on.out" >"$work/on.monitor"
python3 "$oracle" "$day" "$work/on/SYS" >"$work/on.oracle"
diff -u "$work/on.oracle" "$work/on.monitor" >"$work/on.diff" || { head -20 "$work/on.diff"; fail "monitor alerts differ from the oracle's"; }
for reason in 涨停板打开 达到涨幅比率 达到跌幅比率 单比涨跌报警 量比达到限制 大金额成交 大笔成交; do
  grep -q -P "\t$reason\$" "$work/on.oracle" || fail "the demo day raises no $reason: the comparison proves little"
done
openings=$(grep -c -P '\t600103\t.*\t涨停板打开$' "$work/on.monitor" || true)
[ "$openings" -ge 2 ] || fail "600103's board opened $openings times, expected it several times"
limit_ups=$(grep -c -P '\t600103\t.*\t达到涨停价$' "$work/on.out" || true)
[ "$limit_ups" -ge 2 ] || fail "600103 reached its limit-up $limit_ups times without noise control"

# 2. repeat rules
root "$work/noise"
"$host" monitor --root "$work/noise" on
"$host" monitor --root "$work/noise" set limit_up=once large_volume=120s single_trade=45s
replay "$work/noise" "$day" >"$work/noise.out"
monitor_lines <"$work/noise.out" >"$work/noise.monitor"
python3 "$oracle" "$day" "$work/noise/SYS" --repeat large_volume=120s --repeat single_trade=45s >"$work/noise.oracle"
diff -u "$work/noise.oracle" "$work/noise.monitor" >"$work/noise.diff" || { head -20 "$work/noise.diff"; fail "alerts under cooldowns differ from the oracle's"; }
for reason in 大笔成交 单比涨跌报警; do
  all=$(grep -c -P "\t$reason\$" "$work/on.oracle" || true)
  kept=$(grep -c -P "\t$reason\$" "$work/noise.oracle" || true)
  [ "$kept" -lt "$all" ] || fail "the cooldown of $reason held nothing back ($kept of $all)"
done
once=$(grep -c -P '\t600103\t.*\t达到涨停价$' "$work/noise.out" || true)
[ "$once" -eq 1 ] || fail "limit_up=once gave $once limit-up alerts for 600103"

# 3. off and at the defaults: byte-identical
# day folder and its system directory (with the pop-up option on, so that a day file comes about)
pairs=("$day:$source_dir/data/demo-root/SYS")
if [ -n "$gen" ]; then
  "$gen" "$work/market" --stocks 3000 --trades 300000 --price-alerts 300 >/dev/null
  pairs+=("$work/market/day:$work/market/popup/SYS")
fi
for pair in "${pairs[@]}"; do
  d=${pair%%:*} sys=${pair#*:}
  date=$(sed -n 2p "$d/day.csv")
  for variant in none off defaults; do
    r=$work/identity-$variant
    rm -rf "$r"; mkdir -p "$r"
    cp -r "$sys" "$r/SYS"
    case $variant in
      off) "$host" monitor --root "$r" off ;;
      defaults) "$host" monitor --root "$r" set enabled=0 limit_up=every new_high_step=0 ;;
    esac
    replay "$r" "$d" >"$r.out"
  done
  [ -s "$work/identity-none.out" ] || fail "$d raised no alert at all"
  [ -s "$work/identity-none/Dat/Alert/$date.alt" ] || fail "$d: no day file written"
  for variant in off defaults; do
    cmp -s "$work/identity-none.out" "$work/identity-$variant.out" || fail "$d: output with the monitor $variant differs"
    cmp -s "$work/identity-none/Dat/Alert/$date.alt" "$work/identity-$variant/Dat/Alert/$date.alt" ||
      fail "$d: day file with the monitor $variant differs"
  done
  cp "$work/identity-none.out" "$work/$(basename "$(dirname "$d")")-$(basename "$d").off.out"
done
echo "monitor: $(wc -l <"$work/on.monitor") alerts as the oracle's, $(wc -l <"$work/noise.monitor") under cooldowns"
