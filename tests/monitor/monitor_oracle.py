#!/usr/bin/env python3
"""The market monitor's alerts of a trading day, computed from the day's files alone.

Reads the day folder (symbols.csv, trades.csv) and a system directory (alert.cfg for the
thresholds, System_alert.cfg for the monitored stocks) and prints, oldest first, the alert lines
velk-host --headless prints for the monitor's own reasons:
    HH:MM:SS<TAB>market<TAB>code<TAB>name<TAB>price<TAB>volume<TAB>reason
Prices, volumes and thresholds travel as 32-bit floats, as the quote service and the records
hold them. --repeat REASON=once|Ns applies the noise control to one of those reasons.
"""
import argparse
import csv
import math
import struct
import sys

LIMIT_UP_OPENED, LIMIT_DOWN_OPENED = "涨停板打开", "跌停板打开"
RISE, FALL, SINGLE = "达到涨幅比率", "达到跌幅比率", "单比涨跌报警"
VOLUME_RATIO, LARGE_AMOUNT, LARGE_VOLUME = "量比达到限制", "大金额成交", "大笔成交"
NAMES = {"limit_up_opened": LIMIT_UP_OPENED, "limit_down_opened": LIMIT_DOWN_OPENED,
         "rise": RISE, "fall": FALL, "single_trade": SINGLE, "volume_ratio": VOLUME_RATIO,
         "large_amount": LARGE_AMOUNT, "large_volume": LARGE_VOLUME}


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def seconds(text):
    h, m, s = text.split(":")
    return int(h) * 3600 + int(m) * 60 + int(s)


def minutes_of_trading(t):
    morning = min(max(t - (9 * 3600 + 1800), 0), 7200)
    afternoon = min(max(t - 13 * 3600, 0), 7200)
    return max(1.0, (morning + afternoon) / 60.0)


def read_settings(sysdir):
    with open(f"{sysdir}/alert.cfg", "rb") as f:
        fields = struct.unpack("<5i6f", f.read(44))
    with open(f"{sysdir}/System_alert.cfg", "rb") as f:
        data = f.read()
    stocks = set()
    for i in range(7, len(data) - 150, 151):
        code = data[i + 1:i + 13].split(b"\0")[0].decode()
        stocks.add((data[i], code))
    return fields, stocks


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("day")
    ap.add_argument("sysdir")
    ap.add_argument("--repeat", action="append", default=[])
    args = ap.parse_args()
    (_, _, _, _, limit_switch, rise, fall, vratio, single, amount, share), stocks = \
        read_settings(args.sysdir)
    repeat = {}
    for item in args.repeat:
        name, value = item.split("=")
        repeat[NAMES[name]] = value

    info = {}
    with open(f"{args.day}/symbols.csv", encoding="utf-8") as f:
        for r in csv.DictReader(f):
            key = (int(r["market"]), r["code"])
            if key in stocks:
                num = lambda c: float(r.get(c) or 0)
                info[key] = dict(name=r["name"], close=f32(num("prev_close")),
                                 up=f32(num("limit_up")), down=f32(num("limit_down")),
                                 per_minute=float(round(num("five_day_volume_per_minute"))),
                                 shares=float(round(num("circulating_shares"))))

    state = {}
    alerted = {}
    out = []

    def alert(key, t, price_text, volume, reason):
        rule = repeat.get(reason, "every")
        last = alerted.get((key, reason))
        if rule == "once" and last is not None:
            return
        if rule.endswith("s") and last is not None and t - last < int(rule[:-1]):
            return
        alerted[(key, reason)] = t
        out.append("%s\t%d\t%s\t%s\t%s\t%.0f\t%s" % (
            "%02d:%02d:%02d" % (t // 3600, t // 60 % 60, t % 60), key[0], key[1],
            info[key]["name"], price_text, volume, reason))

    cumulative = {}
    with open(f"{args.day}/trades.csv", encoding="utf-8") as f:
        for r in csv.DictReader(f):
            key = (int(r["market"]), r["code"])
            cumulative[key] = cumulative.get(key, 0) + int(r["volume"])
            if key not in info:
                continue
            s = info[key]
            t = seconds(r["time"])
            p = f32(float(r["price"]))
            text = "%.*f" % (3 if len(r["price"].split(".")[-1]) == 3 else 2, p)
            vol = f32(cumulative[key])
            st = state.setdefault(key, dict(last=None, vol=0.0, ratio=0.0, up=False, down=False))
            trade = vol - st["vol"]

            if limit_switch:
                if s["up"] > 0 and p >= s["up"]:
                    st["up"] = True
                elif st["up"]:
                    st["up"] = False
                    alert(key, t, text, vol, LIMIT_UP_OPENED)
                if s["down"] > 0 and p <= s["down"]:
                    st["down"] = True
                elif st["down"]:
                    st["down"] = False
                    alert(key, t, text, vol, LIMIT_DOWN_OPENED)
            close = s["close"]
            if close > 0:
                before = st["last"] if st["last"] is not None else close
                change = (p - close) / close * 100.0
                change_before = (before - close) / close * 100.0
                if rise >= 0 and change_before < rise <= change:
                    alert(key, t, text, vol, RISE)
                if fall >= 0 and change_before > -fall >= change:
                    alert(key, t, text, vol, FALL)
            if st["last"] is not None and single >= 0:
                if abs(p - st["last"]) / st["last"] * 100.0 >= single:
                    alert(key, t, text, vol, SINGLE)
            if s["per_minute"] > 0 and vratio >= 0:
                ratio = vol / minutes_of_trading(t) / s["per_minute"]
                if st["ratio"] < vratio <= ratio:
                    alert(key, t, text, vol, VOLUME_RATIO)
                st["ratio"] = ratio
            if trade > 0:
                if amount >= 0 and p * trade >= amount * 10000.0:
                    alert(key, t, text, vol, LARGE_AMOUNT)
                if s["shares"] > 0 and share >= 0 and trade >= share / 100.0 * s["shares"]:
                    alert(key, t, text, vol, LARGE_VOLUME)
            st["last"], st["vol"] = p, vol

    sys.stdout.write("".join(line + "\n" for line in out))


if __name__ == "__main__":
    main()
