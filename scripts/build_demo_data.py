#!/usr/bin/env python3
"""Builds the bundled demo trading day and demo root of velk-host from real market data.

Usage: python3 scripts/build_demo_data.py [--source data/sources] [--out data]

Inputs (in --source, default data/sources of the repository):
  sh-20211201-30stocks-snapshots.csv  Level-2 snapshots of 30 Shanghai stocks, 2021-12-01 09:15-10:30
  a-share-listing.csv                 the listed A-shares of Shanghai, Shenzhen and Beijing

Outputs (in --out, default data/ of the repository):
  demo-day/   day.csv markets.csv symbols.csv trades.csv magic.csv signals.csv groups.csv EXPECTED.txt
  demo-root/SYS/  alert.cfg Magic.cfg System_alert.cfg UserInfo.cfg StataBarInfo.ini

Trades: one per snapshot whose cumulative volume grew since that stock's previous snapshot, at the
snapshot's last price, with the growth as volume. Call-auction snapshots carry no trades.

Magic signals, derived per stock from one-minute bars of its trades:
  * A bar covers [hh:mm:00, hh:mm+1:00); its signals carry the bar's end time hh:mm+1:00. The
    opening-auction trade (09:25) belongs to the 09:30 bar. Bars run from the stock's first trade
    to the 10:29 bar; the minute from 10:30:00 is incomplete and makes no bar. A minute without
    trades repeats the previous close with volume 0.
  * close = last trade price of the minute; volume = sum of the minute's trade volumes.
  * MA5, MA10 = means of the last 5 and 10 closes (from the 10th bar on).
  Rules (all evaluated on every bar, several may fire on one bar):
   0 短线金叉  MA5 > MA10 on this bar, MA5 <= MA10 on the previous bar
   1 短线死叉  MA5 < MA10 on this bar, MA5 >= MA10 on the previous bar
   2 放量上攻  volume > 3 x mean volume of the previous 10 bars, and close > previous close
   3 放量下挫  volume > 3 x mean volume of the previous 10 bars, and close < previous close
   4 盘中新高  close > highest close of the previous 30 bars (from the 31st bar on)
   5 盘中新低  close < lowest close of the previous 30 bars (from the 31st bar on)
   6 快速拉升  close >= 1.5 % above the close 5 bars earlier, and the previous bar was not
   7 快速跳水  close <= 1.5 % below the close 5 bars earlier, and the previous bar was not
  15 冲击涨停  a trade of the bar at the limit-up price, none in the previous bar
  16 打开涨停  a trade of the bar at the limit-up price, but the close below it
  17 翻红      close > previous day's close, previous bar's close <= it (first bar: open at or below)
  18 翻绿      close < previous day's close, previous bar's close >= it (first bar: open at or above)
  Numbers 8..14 are in the catalogue but have no rule here (13 and 14 have no watch switch).

Expected alerts (EXPECTED.txt) follow the engine's crossing rules on 32-bit floats, replaying the
trades in file order: price alerts against alert.cfg, new high / new low / limit-up / limit-down
against System_alert.cfg (a monitored stock's day high and low are seeded by its first trade, as
the host reports the highest and lowest trade price so far, that trade included), and magic
alerts for the signal rows of Magic.cfg's stocks whose switch is on.
"""

import argparse
import csv
import struct
import sys
from collections import defaultdict
from decimal import ROUND_HALF_UP, Decimal
from pathlib import Path

TRADE_DATE = "20211201"

MARKETS = [(1, "SH", 1), (2, "SZ", 2), (3, "BJ", 3)]
MARKET_OF_SUFFIX = {ext: market for market, ext, _ in MARKETS}

# Listed on the day but delisted since, hence absent from the listing; name as of late 2021.
EXTRA_SYMBOLS = [("600311.SH", "ST荣华", "主板")]

MAGIC_CATALOGUE = [
    (0, "短线金叉"), (1, "短线死叉"), (2, "放量上攻"), (3, "放量下挫"), (4, "盘中新高"),
    (5, "盘中新低"), (6, "快速拉升"), (7, "快速跳水"), (8, "均线多头"), (9, "均线空头"),
    (10, "底部反转"), (11, "顶部反转"), (12, "突破压力"), (15, "冲击涨停"), (16, "打开涨停"),
    (17, "翻红"), (18, "翻绿"),
]
MAGIC_NAME = dict(MAGIC_CATALOGUE)
DERIVED_SIGNALS = [0, 1, 2, 3, 4, 5, 6, 7, 15, 16, 17, 18]

# Colours of StataBarInfo.ini, "0xBBGGRR", for signal numbers 0..18.
MAGIC_COLOURS = [
    "0x0000FF", "0x00FF00", "0x0080FF", "0xFF8000", "0x00FFFF", "0xFFFF00", "0xFF00FF",
    "0x808000", "0x4080FF", "0x408000", "0x8000FF", "0x008080", "0x80FFFF", "0xC0C0C0",
    "0x808080", "0x0000C0", "0x00C000", "0x2020FF", "0x20C020",
]

# The demo conditions. Price-alert limits are computed from the trades; the stocks are fixed here.
PRICE_ALERT_CODES = ["603299", "603421", "603663", "688233", "688339"]
# Watched stocks and the signal numbers switched on for each; a few derived numbers stay off so
# that some signal rows of watched stocks raise nothing.
MAGIC_WATCH = [
    ("600103", [0, 1, 6, 7, 15, 16]),
    ("603299", [2, 3, 4, 5, 17, 18]),
    ("688339", DERIVED_SIGNALS),
    ("688233", [0, 1, 5, 7, 15, 16, 18]),
    ("603421", [2, 3, 6, 7]),
]
SYSTEM_ALERT_CODES = ["600103", "600107", "600311", "600332", "603421", "603687", "605128",
                      "688233"]
USER_ID = "demo"
GROUPS = [
    ("自选股", ["600103", "600446", "603299", "601689", "688339"]),
    ("科创板", ["688218", "688233", "688339", "688378"]),
]

REASON_UPPER = "达到上限价"
REASON_LOWER = "达到下限价"
REASON_LIMIT_UP = "达到涨停价"
REASON_LIMIT_DOWN = "达到跌停价"
REASON_NEW_HIGH = "今日最高价"
REASON_NEW_LOW = "今日最低价"

CENT = Decimal("0.01")
# Every symbol of the listing is a stock, quoted to the cent (funds and ETFs would take 3).
STOCK_DECIMALS = 2
EARLIEST_CROSSING = 9 * 3600 + 35 * 60


def f32(value):
    return struct.unpack("<f", struct.pack("<f", float(value)))[0]


def cents(text):
    """Price text of the source (binary-float noise such as 7.900000000000001) in cents."""
    return int((Decimal(text) * 100).quantize(Decimal(1), rounding=ROUND_HALF_UP))


def price_text(cent_value):
    return "%d.%02d" % divmod(cent_value, 100)


def secs(hms):
    h, m, s = (int(x) for x in hms.split(":"))
    return h * 3600 + m * 60 + s


def hms(seconds):
    return "%02d:%02d:%02d" % (seconds // 3600, seconds // 60 % 60, seconds % 60)


def gbk_field(text, width):
    """NUL-terminated GBK text cut to width - 1 bytes without splitting a double-byte character."""
    out = b""
    for ch in text:
        b = ch.encode("gbk")
        if len(out) + len(b) > width - 1:
            break
        out += b
    return out.ljust(width, b"\0")


def limit_ratio(name, board):
    if board in ("创业板", "科创板"):
        return Decimal("0.20")
    if board == "北交所":
        return Decimal("0.30")
    if name.startswith("ST") or name.startswith("*ST"):
        return Decimal("0.05")
    return Decimal("0.10")


def limits(prev_close_cents, name, board):
    ratio = limit_ratio(name, board)
    prev = Decimal(prev_close_cents) / 100
    up = (prev * (1 + ratio)).quantize(CENT, rounding=ROUND_HALF_UP)
    down = (prev * (1 - ratio)).quantize(CENT, rounding=ROUND_HALF_UP)
    return int(up * 100), int(down * 100)


def read_listing(source):
    symbols = {}
    with open(source / "a-share-listing.csv", encoding="utf-8", newline="") as f:
        rows = [(r["ts_code"], r["name"], r["board"]) for r in csv.DictReader(f)]
    for ts_code, name, board in rows + EXTRA_SYMBOLS:
        code, ext = ts_code.split(".")
        if "," in name or "," in code:
            raise SystemExit("a comma in listing row %s" % ts_code)
        symbols.setdefault((MARKET_OF_SUFFIX[ext], code), (name, board))
    return symbols


def read_snapshots(source):
    """Trades in source order and the previous close of every stock (in cents)."""
    trades = []
    prev_close = {}
    last_volume = defaultdict(int)
    order = 0
    with open(source / "sh-20211201-30stocks-snapshots.csv", encoding="utf-8", newline="") as f:
        for r in csv.DictReader(f):
            code = r["SecurityID"]
            prev_close.setdefault(code, cents(r["PreClosePx"]))
            if r["InstrumentStatus"] == "OCALL":
                continue
            volume = int(r["TotalVolumeTrade"])
            grown = volume - last_volume[code]
            if grown <= 0:
                continue
            last_volume[code] = volume
            price = cents(r["LastPx"])
            if price <= 0:
                raise SystemExit("a trade without price: %s %s" % (code, r["DateTime"]))
            date, time = r["DateTime"].split("T")
            if date.replace(".", "") != TRADE_DATE:
                raise SystemExit("a snapshot of another day: %s" % r["DateTime"])
            trades.append((secs(time[:8]), order, code, price, grown))
            order += 1
    trades.sort(key=lambda t: (t[0], t[1]))
    return trades, prev_close


def minute_bars(stock_trades):
    """[(end_seconds, close, volume, high)] from 09:31:00 to 10:30:00 for one stock."""
    first_bar = secs("09:30:00")
    last_bar = secs("10:29:00")
    per_minute = {}
    for t, price, volume in stock_trades:
        start = max(t - t % 60, first_bar)
        if start > last_bar:
            continue
        _, vol, high = per_minute.get(start, (None, 0, 0))
        per_minute[start] = (price, vol + volume, max(high, price))
    bars = []
    close = None
    for start in range(first_bar, last_bar + 60, 60):
        if start in per_minute:
            close, vol, high = per_minute[start]
        elif close is None:
            continue
        else:
            vol, high = 0, close
        bars.append((start + 60, close, vol, high))
    return bars


def derive_signals(bars, open_price, prev_close, limit_up):
    out = []
    closes = [b[1] for b in bars]
    vols = [b[2] for b in bars]

    def ma_diff(i):  # sign of MA5 - MA10 in exact integers
        if i < 9:
            return None
        return 2 * sum(closes[i - 4:i + 1]) - sum(closes[i - 9:i + 1])

    def fast(i):
        if i < 5:
            return 0
        base = closes[i - 5]
        if closes[i] * 1000 >= base * 1015:
            return 1
        if closes[i] * 1000 <= base * 985:
            return -1
        return 0

    for i, (end, close, vol, high) in enumerate(bars):
        fired = []
        prev = closes[i - 1] if i else open_price
        d, dp = ma_diff(i), ma_diff(i - 1) if i else None
        if d is not None and dp is not None:
            if d > 0 >= dp:
                fired.append(0)
            if d < 0 <= dp:
                fired.append(1)
        if i >= 10:
            window = sum(vols[i - 10:i])
            if window > 0 and vol * 10 > 3 * window:
                if close > prev:
                    fired.append(2)
                elif close < prev:
                    fired.append(3)
        if i >= 30:
            if close > max(closes[i - 30:i]):
                fired.append(4)
            if close < min(closes[i - 30:i]):
                fired.append(5)
        f, fp = fast(i), fast(i - 1) if i else 0
        if f == 1 and fp != 1:
            fired.append(6)
        if f == -1 and fp != -1:
            fired.append(7)
        if high >= limit_up and (i == 0 or bars[i - 1][3] < limit_up):
            fired.append(15)
        if high >= limit_up > close:
            fired.append(16)
        if close > prev_close >= prev:
            fired.append(17)
        if close < prev_close <= prev:
            fired.append(18)
        out.extend((end, n) for n in fired)
    return out


def choose_price_limits(trades):
    """Upper and lower limit (cents) for a price alert: the level nearest the day's extreme that
    the replay crosses the fewest times, never before EARLIEST_CROSSING (so the stock is first
    seen on the other side and the alert comes after the opening minutes)."""
    fp = [(t, f32(p / 100)) for t, p, _ in trades]
    prices = [p for _, p, _ in trades]

    def crossings(limit, upper):
        lim = f32(limit / 100)
        seen, hits = 0.0, []
        for t, p in fp:
            if (seen < lim <= p) if upper else (seen > lim >= p):
                hits.append(t)
            seen = p
        return hits

    def best(levels, upper):
        found = None
        for level in levels:
            hits = crossings(level, upper)
            if hits and hits[0] >= EARLIEST_CROSSING and (found is None or len(hits) < found[1]):
                found = (level, len(hits))
        if found is None:
            raise SystemExit("no crossing for a price alert")
        return found[0]

    return (best(range(max(prices), min(prices), -1), True),
            best(range(min(prices), max(prices)), False))


def alert_record(market, code, name, prev_close_cents, upper=0, lower=0, switches=()):
    sw = [0] * 18
    for k in switches:
        sw[k] = 1
    rec = struct.pack("<B", market) + gbk_field(code, 12) + gbk_field(name, 50)
    rec += struct.pack("<4f", prev_close_cents / 100, upper / 100, lower / 100, 0.0)
    rec += struct.pack("<18i", *sw)
    assert len(rec) == 151
    return rec


def magic_index(number):
    if 0 <= number <= 12:
        return number
    if 15 <= number <= 18:
        return number - 2
    return -1


def expected_alerts(trades, names, limits_of, price_levels, magic_rows):
    """Replays the trades through the engine's crossing rules; returns (time, code, reason, price)."""
    alerts = []
    price_seen = {code: 0.0 for code in price_levels}
    sys_state = {code: None for code in SYSTEM_ALERT_CODES}  # [high, low, seen]
    for t, _, code, price, _ in trades:
        p = f32(price / 100)
        if code in price_levels:
            u, low = (f32(x / 100) for x in price_levels[code])
            s = price_seen[code]
            if u != 0 and s < u <= p:
                alerts.append((t, 0, code, REASON_UPPER, price))
            if low != 0 and s > low >= p:
                alerts.append((t, 0, code, REASON_LOWER, price))
            price_seen[code] = p
        if code in sys_state:
            st = sys_state[code]
            if st is None:
                st = sys_state[code] = [p, p, 0.0]
            high, low, seen = st
            if p > high > 0:
                alerts.append((t, 0, code, REASON_NEW_HIGH, price))
                st[0] = p
            if p < low and low > 0:
                alerts.append((t, 0, code, REASON_NEW_LOW, price))
                st[1] = p
            up, down = (f32(x / 100) for x in limits_of[code])
            if p >= up > 0 and seen < p:
                alerts.append((t, 0, code, REASON_LIMIT_UP, price))
            if 0 < down and p <= down and seen > p:
                alerts.append((t, 0, code, REASON_LIMIT_DOWN, price))
            st[2] = p
    for t, code, number in magic_rows:
        alerts.append((t, 1, code, MAGIC_NAME[number], None))
    alerts.sort(key=lambda a: (a[0], a[1]))
    return [(hms(t), code, names[code], reason, "" if price is None else price_text(price))
            for t, _, code, reason, price in alerts]


def write_csv(path, header, rows):
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(",".join(header) + "\n")
        for row in rows:
            fields = [str(x) for x in row]
            if any("," in x or "\n" in x for x in fields):
                raise SystemExit("a field with a comma in %s: %r" % (path.name, row))
            f.write(",".join(fields) + "\n")


def main():
    repo = Path(__file__).resolve().parent.parent
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--source", type=Path, default=repo / "data" / "sources")
    ap.add_argument("--out", type=Path, default=repo / "data")
    args = ap.parse_args()

    symbols = read_listing(args.source)
    trades, prev_close = read_snapshots(args.source)

    names = {}
    limits_of = {}
    for code, pc in prev_close.items():
        if (1, code) not in symbols:
            raise SystemExit("%s is neither in the listing nor among the extra symbols" % code)
        name, board = symbols[(1, code)]
        names[code] = name
        limits_of[code] = limits(pc, name, board)

    per_stock = defaultdict(list)
    for t, _, code, price, volume in trades:
        per_stock[code].append((t, price, volume))

    signals = []
    for code in sorted(per_stock):
        st = per_stock[code]
        bars = minute_bars(st)
        for end, number in derive_signals(bars, st[0][1], prev_close[code], limits_of[code][0]):
            signals.append((end, code, number))
    signals.sort(key=lambda s: (s[0], s[1], s[2]))

    price_levels = {code: choose_price_limits(per_stock[code])
                    for code in PRICE_ALERT_CODES}

    watched = dict(MAGIC_WATCH)
    magic_rows = [(t, code, n) for t, code, n in signals if n in watched.get(code, ())]
    if not any(n >= 15 for _, _, n in magic_rows):
        raise SystemExit("no watched signal numbered 15..18")

    expected = expected_alerts(trades, names, limits_of, price_levels, magic_rows)

    day = args.out / "demo-day"
    sysdir = args.out / "demo-root" / "SYS"
    day.mkdir(parents=True, exist_ok=True)
    sysdir.mkdir(parents=True, exist_ok=True)

    write_csv(day / "day.csv", ["trade_date"], [[TRADE_DATE]])
    write_csv(day / "markets.csv", ["market", "ext", "level1"], MARKETS)
    sym_rows = []
    for (market, code), (name, _) in sorted(symbols.items()):
        if market == 1 and code in prev_close:
            up, down = limits_of[code]
            sym_rows.append([market, code, name, price_text(prev_close[code]),
                             price_text(up), price_text(down), STOCK_DECIMALS])
        else:
            sym_rows.append([market, code, name, "", "", "", STOCK_DECIMALS])
    write_csv(day / "symbols.csv", ["market", "code", "name", "prev_close", "limit_up",
                                    "limit_down", "decimals"], sym_rows)
    write_csv(day / "trades.csv", ["time", "market", "code", "price", "volume"],
              [[hms(t), 1, code, price_text(p), v] for t, _, code, p, v in trades])
    write_csv(day / "magic.csv", ["number", "name"], MAGIC_CATALOGUE)
    write_csv(day / "signals.csv", ["time", "market", "code", "number"],
              [[hms(t), 1, code, n] for t, code, n in signals])
    write_csv(day / "groups.csv", ["user", "group", "market", "code"],
              [[USER_ID, g, 1, c] for g, codes in GROUPS for c in codes])

    header = ["# Alerts the demo day should raise with demo-root/SYS, oldest first.",
              "# Replay of trades.csv in file order and of the signal rows of the watched stocks;",
              "# alerts within one second may come in another order. A monitored stock's day high",
              "# and low are taken as seeded by its first trade (items 130/131 = highest and lowest",
              "# trade price so far, that trade included).",
              "time,market,code,name,reason,price"]
    with open(day / "EXPECTED.txt", "w", encoding="utf-8", newline="") as f:
        f.write("\n".join(header) + "\n")
        for time, code, name, reason, price in expected:
            f.write("%s,1,%s,%s,%s,%s\n" % (time, code, name, reason, price))

    alert_cfg = struct.pack("<5i6f", 1, 1, 1, 1, 1, -1.0, -1.0, 50.0, 2.0, 100.0, 0.1)
    alert_cfg += struct.pack("<i260sB", 1, b"", 1)
    assert len(alert_cfg) == 309
    for code in PRICE_ALERT_CODES:
        u, low = price_levels[code]
        alert_cfg += alert_record(1, code, names[code], prev_close[code], u, low)
    (sysdir / "alert.cfg").write_bytes(alert_cfg)

    magic_cfg = b"".join(alert_record(1, code, names[code], prev_close[code],
                                      switches=[magic_index(n) for n in numbers])
                         for code, numbers in MAGIC_WATCH)
    (sysdir / "Magic.cfg").write_bytes(magic_cfg)

    system_cfg = struct.pack("<BBBi", 1, 1, 1, 2)
    system_cfg += b"".join(alert_record(1, code, names[code], prev_close[code])
                           for code in SYSTEM_ALERT_CODES)
    (sysdir / "System_alert.cfg").write_bytes(system_cfg)

    user_info = USER_ID.encode("gbk").ljust(16, b"\0") + gbk_field("演示用户", 32) + bytes(16)
    (sysdir / "UserInfo.cfg").write_bytes(user_info)

    ini = ["[SHORTMAGIC_COLOR]", "MAGICCOUNT=%d" % len(MAGIC_COLOURS)]
    ini += ["MAGICCODE%d=%s" % (i, c) for i, c in enumerate(MAGIC_COLOURS)]
    (sysdir / "StataBarInfo.ini").write_text("\r\n".join(ini) + "\r\n", encoding="ascii")

    by_reason = defaultdict(int)
    for e in expected:
        by_reason[e[3]] += 1
    print("symbols %d, trades %d, signals %d (%d on watched stocks)"
          % (len(sym_rows), len(trades), len(signals), len(magic_rows)))
    print("price alerts: " + "; ".join(
        "%s upper %s lower %s" % (c, price_text(price_levels[c][0]), price_text(price_levels[c][1]))
        for c in PRICE_ALERT_CODES))
    print("expected %d alerts: %s" % (len(expected), ", ".join(
        "%s %d" % (r, n) for r, n in sorted(by_reason.items(), key=lambda x: -x[1]))))
    for time, code, name, reason, price in expected:
        if reason not in (REASON_NEW_HIGH, REASON_NEW_LOW) and reason not in MAGIC_NAME.values():
            print("expected: %s %s %s %s at %s" % (time, code, name, reason, price))
    print("written to %s" % (day / "EXPECTED.txt"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
